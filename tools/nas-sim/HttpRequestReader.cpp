// Reads HTTP/1.x requests:
//   request-line = method SP request-target SP "HTTP/1." ("0" / "1") CRLF
//   header-field = field-name ":" OWS field-value OWS CRLF   (a bare LF ends a line too;
//                  a line starting with SP or HTAB continues the previous value)
//   CRLF, then exactly Content-Length body bytes (absent: no body). Chunked request bodies
//   are refused. Limits: 16 KiB of head, 1 MiB of body.

#include "tools/nas-sim/HttpRequestReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nassim {

namespace {

// Position just after the blank line ending the head, or npos.
size_t headEnd(const std::string& head, size_t from) {
    for (size_t i = from; i < head.size(); ++i) {
        if (head[i] != '\n') continue;
        if (i + 1 < head.size() && head[i + 1] == '\n') return i + 2;
        if (i + 2 < head.size() && head[i + 1] == '\r' && head[i + 2] == '\n') return i + 3;
    }
    return std::string::npos;
}

}  // namespace

const std::string* HttpRequest::header(std::string_view name) const {
    return findHeader(headers, name);
}

bool HttpRequest::wantsKeepAlive() const {
    const std::string* connection = header("Connection");
    std::string value = connection ? *connection : "";
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (version == "1.0") return value.find("keep-alive") != std::string::npos;
    return value.find("close") == std::string::npos;
}

HttpRequestReader::State HttpRequestReader::fail(const char* why) {
    state_ = State::Failed;
    error_ = why;
    return state_;
}

void HttpRequestReader::reset() {
    if (state_ == State::Failed) return;
    state_ = State::NeedMore;
    inBody_ = false;
    bodyLength_ = 0;
    head_.clear();
    request_ = HttpRequest{};
}

bool HttpRequestReader::parseHead() {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < head_.size()) {
        size_t nl = head_.find('\n', start);
        std::string line = head_.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = nl + 1;
        if (line.empty()) break;
        lines.push_back(line);
    }
    if (lines.empty()) return false;
    const std::string& first = lines[0];
    size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
    if (sp1 == std::string::npos || sp1 == sp2 || sp1 == 0) return false;
    request_.method = first.substr(0, sp1);
    request_.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string version = first.substr(sp2 + 1);
    if (version != "HTTP/1.0" && version != "HTTP/1.1") return false;
    request_.version = version.substr(5);
    if (request_.target.empty() || request_.target.find(' ') != std::string::npos) return false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line[0] == ' ' || line[0] == '\t') {
            if (request_.headers.empty()) return false;
            std::string& value = request_.headers.back().second;
            value += ' ';
            value += trimBlanks(line);
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) return false;
        request_.headers.emplace_back(line.substr(0, colon), trimBlanks(line.substr(colon + 1)));
    }
    return true;
}

HttpRequestReader::State HttpRequestReader::feed(const char* data, size_t length,
                                                 size_t* consumed) {
    *consumed = 0;
    if (state_ != State::NeedMore) return state_;
    if (!inBody_) {
        size_t old = head_.size();
        size_t take = std::min(length, kMaxHeadBytes + 4 - old);
        head_.append(data, take);
        size_t end = headEnd(head_, old >= 3 ? old - 3 : 0);
        if (end == std::string::npos) {
            *consumed = take;
            if (head_.size() > kMaxHeadBytes) return fail("request head too long");
            return state_;
        }
        *consumed = end - old;
        head_.resize(end);
        if (!parseHead()) return fail("malformed request head");
        if (request_.header("Transfer-Encoding")) return fail("chunked request bodies are refused");
        const std::string* cl = request_.header("Content-Length");
        if (cl) {
            if (cl->empty() || cl->size() > 9 ||
                !std::all_of(cl->begin(), cl->end(),
                             [](unsigned char c) { return std::isdigit(c); }))
                return fail("bad Content-Length");
            bodyLength_ = std::stoul(*cl);
            if (bodyLength_ > kMaxBodyBytes) return fail("request body too long");
        }
        inBody_ = true;
        data += *consumed;
        length -= *consumed;
    }
    size_t take = std::min(length, bodyLength_ - request_.body.size());
    request_.body.append(data, take);
    *consumed += take;
    if (request_.body.size() == bodyLength_) state_ = State::Complete;
    return state_;
}

}  // namespace nassim
