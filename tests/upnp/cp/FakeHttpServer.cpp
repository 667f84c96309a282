#include "FakeHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace norvale::cp::testing {

FakeHttpServer::FakeHttpServer(const char* address, Route route, int port)
    : address_(address), route_(std::move(route)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address, &local.sin_addr);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        local.sin_port = 0;
        port_ = 0;
        thread_ = std::thread([] {});
        return;
    }
    listen(listenFd_, 16);
    socklen_t length = sizeof local;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&local), &length);
    port_ = ntohs(local.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeHttpServer::~FakeHttpServer() {
    Stop();
}

void FakeHttpServer::Stop() {
    if (stop_.exchange(true)) return;
    thread_.join();
    close(listenFd_);
    for (int fd : held_) close(fd);
}

std::string FakeHttpServer::Url(const std::string& path) const {
    return "http://" + address_ + ":" + std::to_string(port_) + path;
}

std::vector<std::string> FakeHttpServer::Requests() {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::string FakeHttpServer::Answer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Type: text/xml\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void FakeHttpServer::Serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const int fd = accept(listenFd_, nullptr, nullptr);
        if (fd >= 0) Handle(fd);
    }
}

void FakeHttpServer::Handle(int fd) {
    std::string request;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    std::size_t total = 0;
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos &&
            (headEnd = request.find("\r\n\r\n")) != std::string::npos) {
            const std::size_t at = request.find("Content-Length: ");
            const std::size_t body = at == std::string::npos || at > headEnd
                                         ? 0
                                         : std::strtoul(request.c_str() + at + 16, nullptr, 10);
            total = headEnd + 4 + body;
        }
        if (headEnd != std::string::npos && request.size() >= total) break;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        requests_.push_back(request);
    }
    const std::size_t space = request.find(' ');
    const std::string path =
        space == std::string::npos
            ? ""
            : request.substr(space + 1, request.find(' ', space + 1) - space - 1);
    const std::string answer = route_(path);
    if (answer.empty()) {
        held_.push_back(fd);
        return;
    }
    [[maybe_unused]] ssize_t written = write(fd, answer.data(), answer.size());
    shutdown(fd, SHUT_WR);
    close(fd);
}

}  // namespace norvale::cp::testing
