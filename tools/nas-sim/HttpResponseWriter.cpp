// Frames HTTP/1.x responses:
//   "HTTP/1.x" SP status SP reason CRLF, headers CRLF, CRLF, then the body as
//   - Content-Length: the bytes as they are;
//   - chunked: size-in-hex [";ext=value"] CRLF data CRLF ... "0" CRLF [trailer CRLF] CRLF;
//   - until-close: the bytes, then the connection closes (no length at all).

#include "tools/nas-sim/HttpResponseWriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "tools/nas-sim/DescriptionWriter.h"

namespace nassim {

namespace {

const char* const kServer = "Linux/6.1 UPnP/1.0 NorvaleNasSim/1.0";

std::string chunked(const std::string& body, const HttpShape& shape) {
    std::string out;
    for (size_t at = 0; at < body.size(); at += shape.chunkSize) {
        size_t n = std::min(body.size() - at, static_cast<size_t>(shape.chunkSize));
        char size[32];
        std::snprintf(size, sizeof size, "%zx", n);
        out += size;
        if (shape.chunkExtensions) out += ";piece=" + std::to_string(at / shape.chunkSize);
        out += "\r\n";
        out.append(body, at, n);
        out += "\r\n";
    }
    out += shape.chunkExtensions ? "0;last=1\r\n" : "0\r\n";
    if (shape.trailer) out += "X-Sim-Trailer: done\r\n";
    out += "\r\n";
    return out;
}

void header(std::string& out, std::string name, const std::string& value, bool upper) {
    if (upper)
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::toupper(c); });
    out += name + ": " + value + "\r\n";
}

}  // namespace

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 412:
            return "Precondition Failed";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string frameResponse(const HttpAnswer& answer, const HttpShape& shape, bool close) {
    int status = shape.status ? shape.status : answer.status;
    std::string body = shape.body ? *shape.body : answer.body;
    if (shape.malformed) body = breakXml(body);
    if (shape.empty) body.clear();
    bool upper = shape.upperCaseHeaders;
    std::string out = "HTTP/" + shape.version + " " + std::to_string(status) + " " +
                      reasonPhrase(status) + "\r\n";
    header(out, "Server", kServer, upper);
    if (!body.empty() || shape.mode != BodyMode::ContentLength)
        header(out, "Content-Type", shape.contentType.value_or(answer.contentType), upper);
    for (const auto& [name, value] : answer.headers) header(out, name, value, upper);
    if (shape.mode == BodyMode::ContentLength)
        header(out, "Content-Length", std::to_string(body.size()), upper);
    if (shape.mode == BodyMode::Chunked) header(out, "Transfer-Encoding", "chunked", upper);
    if (close)
        header(out, "Connection", "close", upper);
    else if (shape.version == "1.0" || shape.connection == "keep-alive")
        header(out, "Connection", "keep-alive", upper);
    out += "\r\n";
    out += shape.mode == BodyMode::Chunked ? chunked(body, shape) : body;
    return out;
}

}  // namespace nassim
