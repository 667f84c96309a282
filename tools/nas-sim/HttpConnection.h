#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "tools/nas-sim/EventLoop.h"
#include "tools/nas-sim/HttpRequestReader.h"

namespace nassim {

// What a connection sends for one request.
struct HttpReply {
    std::string bytes;
    int delayMs = 0;       // wait before the first byte
    bool close = false;    // end the connection after this reply
    bool drop = false;     // end the connection at once, sending nothing
    int dribbleBytes = 0;  // >0: write at most this many bytes per step...
    int dribbleMs = 0;     // ...with this pause between steps
};

// One accepted TCP connection of a device's HTTP server. Requests are answered in order
// (a delayed reply holds back the ones after it). When the connection is finished it calls
// `onFinished` once, from a deferred step; the owner then destroys it.
class HttpConnection {
  public:
    using Router = std::function<HttpReply(const HttpRequest&)>;

    // Takes ownership of the connected, non-blocking fd.
    HttpConnection(EventLoop& loop, int fd, Router router, std::function<void()> onFinished);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    static constexpr int64_t kIdleTimeoutMs = 30000;
    static constexpr int64_t kDrainTimeoutMs = 2000;

  private:
    struct Pending {
        HttpReply reply;
        int64_t readyAt = 0;
        size_t sent = 0;
    };
    void onEvents(short revents);
    void readInput();
    void handleInput(const char* data, size_t length);
    void pump();
    bool writeSome(Pending& p);
    void expectContinue();  // "100 Continue" once the head of a request asking for it is in
    void finishReply();
    void finish();
    void armTimer(int64_t delayMs);
    void armIdleTimer();
    void updateInterest();

    EventLoop& loop_;
    int fd_;
    Router router_;
    std::function<void()> onFinished_;
    HttpRequestReader reader_;
    std::deque<Pending> pending_;
    bool closing_ = false;   // no more requests are read as requests
    bool draining_ = false;  // our side is shut; waiting for the peer's end
    bool finished_ = false;
    bool peerClosed_ = false;
    bool continueSent_ = false;  // the peer has sent its last byte
    int64_t nextWriteAt_ = 0;
    uint64_t timer_ = 0;
    uint64_t idleTimer_ = 0;
};

}  // namespace nassim
