#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace norvale::cp::testing {

// A tiny blocking HTTP server on its own thread for canned answers: every
// request (head plus Content-Length body) is recorded byte for byte and
// answered with what the route function returns for its path, then the
// connection is closed. A route answering "" keeps the connection open
// without an answer until Stop().
class FakeHttpServer {
  public:
    using Route = std::function<std::string(const std::string& path)>;

    // Listens on address:port (0: any free port); Port() is 0 when binding failed.
    FakeHttpServer(const char* address, Route route, int port = 0);
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    std::vector<std::string> Requests();
    void Stop();

    // An HTTP/1.1 answer with Content-Length and Connection: close.
    static std::string Answer(int status, const std::string& body);

  private:
    void Serve();
    void Handle(int fd);

    std::string address_;
    Route route_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<int> held_;
    std::thread thread_;
};

}  // namespace norvale::cp::testing
