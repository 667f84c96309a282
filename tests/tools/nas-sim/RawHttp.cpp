#include "RawHttp.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace nassim::test {

namespace {

size_t headEnd(const std::string& data) {
    size_t end = data.find("\r\n\r\n");
    return end == std::string::npos ? end : end + 4;
}

// Decodes a chunked body (extensions and trailers ignored); false while incomplete.
bool dechunk(const std::string& raw, std::string* body) {
    body->clear();
    size_t at = 0;
    for (;;) {
        size_t nl = raw.find("\r\n", at);
        if (nl == std::string::npos) return false;
        size_t size = std::strtoul(raw.substr(at, nl - at).c_str(), nullptr, 16);
        at = nl + 2;
        if (size == 0) return raw.find("\r\n\r\n", nl) != std::string::npos;
        if (raw.size() < at + size + 2) return false;
        body->append(raw, at, size);
        at += size + 2;
    }
}

}  // namespace

RawResponse httpExchange(const std::string& address, int port, const std::string& request) {
    RawResponse response;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        close(fd);
        return response;
    }
    std::string data;
    for (;;) {
        size_t end = headEnd(data);
        if (end != std::string::npos) {
            response.head = data.substr(0, end);
            response.rawBody = data.substr(end);
            size_t cl = response.head.find("Content-Length: ");
            if (cl != std::string::npos &&
                response.rawBody.size() >= std::stoul(response.head.substr(cl + 16)))
                break;
            if (response.head.find("chunked") != std::string::npos &&
                dechunk(response.rawBody, &response.body))
                break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 3000) <= 0) break;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            response.closedByPeer = true;
            break;
        }
        data.append(chunk, static_cast<size_t>(n));
    }
    size_t end = headEnd(data);
    if (end != std::string::npos) {
        response.head = data.substr(0, end);
        response.rawBody = data.substr(end);
        if (response.head.find("chunked") == std::string::npos) response.body = response.rawBody;
    }
    close(fd);
    return response;
}

}  // namespace nassim::test
