#include "tools/nas-sim/HttpConnection.h"

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "tools/nas-sim/HttpResponseWriter.h"

namespace nassim {

HttpConnection::HttpConnection(EventLoop& loop, int fd, Router router,
                               std::function<void()> onFinished)
    : loop_(loop), fd_(fd), router_(std::move(router)), onFinished_(std::move(onFinished)) {
    loop_.watch(fd_, POLLIN, [this](short revents) { onEvents(revents); });
    armIdleTimer();
}

void HttpConnection::armIdleTimer() {
    if (idleTimer_) loop_.cancel(idleTimer_);
    idleTimer_ = loop_.after(kIdleTimeoutMs, [this] {
        idleTimer_ = 0;
        // A reply held back by a long delay keeps the connection.
        if (pending_.empty())
            finish();
        else
            armIdleTimer();
    });
}

HttpConnection::~HttpConnection() {
    loop_.unwatch(fd_);
    if (timer_) loop_.cancel(timer_);
    if (idleTimer_) loop_.cancel(idleTimer_);
    close(fd_);
}

void HttpConnection::onEvents(short revents) {
    if (finished_) return;
    if (revents & (POLLHUP | POLLERR)) {  // nothing can be written any more
        finish();
        return;
    }
    if (revents & POLLIN) readInput();
    if (!finished_ && (revents & POLLOUT)) pump();
}

void HttpConnection::readInput() {
    char buffer[16384];
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        // The peer is gone (or done sending): what is still queued cannot matter to it
        // when it has closed; a half-closed peer still gets its replies.
        if (draining_ || pending_.empty() || n < 0) {
            finish();
        } else {
            peerClosed_ = true;
            closing_ = true;
            updateInterest();
        }
        return;
    }
    if (draining_) return;
    armIdleTimer();
    handleInput(buffer, static_cast<size_t>(n));
}

void HttpConnection::handleInput(const char* data, size_t length) {
    while (length > 0 && !closing_) {
        size_t used = 0;
        HttpRequestReader::State state = reader_.feed(data, length, &used);
        data += used;
        length -= used;
        if (state == HttpRequestReader::State::NeedMore) {
            expectContinue();
            break;
        }
        continueSent_ = false;
        HttpReply reply;
        if (state == HttpRequestReader::State::Failed) {
            HttpAnswer answer{400, "text/plain", {}, reader_.error() + "\n"};
            reply.bytes = frameResponse(answer, HttpShape{}, true);
            reply.close = true;
        } else {
            reply = router_(reader_.request());
            reader_.reset();
        }
        closing_ = reply.close || reply.drop;
        pending_.push_back(Pending{std::move(reply), loop_.now(), 0});
        pending_.back().readyAt += pending_.back().reply.delayMs;
    }
    pump();
}

bool HttpConnection::writeSome(Pending& p) {
    size_t left = p.reply.bytes.size() - p.sent;
    size_t step = p.reply.dribbleBytes > 0 ? std::min(left, size_t(p.reply.dribbleBytes)) : left;
    ssize_t n = send(fd_, p.reply.bytes.data() + p.sent, step, MSG_NOSIGNAL);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
        finish();
        return false;
    }
    p.sent += static_cast<size_t>(n);
    if (p.reply.dribbleBytes > 0 && p.sent < p.reply.bytes.size()) {
        nextWriteAt_ = loop_.now() + p.reply.dribbleMs;
        return false;
    }
    return static_cast<size_t>(n) == step;
}

void HttpConnection::pump() {
    while (!finished_ && !draining_ && !pending_.empty()) {
        Pending& p = pending_.front();
        int64_t wait = std::max(p.readyAt, nextWriteAt_) - loop_.now();
        if (wait > 0) {
            armTimer(wait);
            break;
        }
        if (p.reply.drop) {
            finish();
            return;
        }
        if (p.sent < p.reply.bytes.size() && !writeSome(p)) {
            if (!finished_ && nextWriteAt_ > loop_.now()) continue;
            break;
        }
        if (p.sent >= p.reply.bytes.size()) finishReply();
    }
    if (!finished_ && !draining_ && pending_.empty() && peerClosed_) finish();
    updateInterest();
}

void HttpConnection::expectContinue() {
    if (continueSent_ || !reader_.headComplete()) return;
    const std::string* expect = reader_.request().header("Expect");
    if (!expect || strcasecmp(expect->c_str(), "100-continue") != 0) return;
    continueSent_ = true;
    HttpReply interim;
    interim.bytes = "HTTP/1.1 100 Continue\r\n\r\n";
    pending_.push_back(Pending{std::move(interim), loop_.now(), 0});
}

void HttpConnection::finishReply() {
    bool close = pending_.front().reply.close;
    pending_.pop_front();
    if (!close) return;
    // Close our side only and read until the peer ends, so that unread request bytes do
    // not turn the close into a reset that could destroy the reply in flight.
    shutdown(fd_, SHUT_WR);
    draining_ = true;
    pending_.clear();
    if (idleTimer_) loop_.cancel(idleTimer_);
    idleTimer_ = loop_.after(kDrainTimeoutMs, [this] {
        idleTimer_ = 0;
        finish();
    });
}

void HttpConnection::armTimer(int64_t delayMs) {
    if (timer_) loop_.cancel(timer_);
    timer_ = loop_.after(delayMs, [this] {
        timer_ = 0;
        pump();
    });
}

void HttpConnection::updateInterest() {
    if (finished_) return;
    bool wantWrite = !draining_ && !pending_.empty() && pending_.front().readyAt <= loop_.now() &&
                     nextWriteAt_ <= loop_.now();
    loop_.setEvents(fd_,
                    static_cast<short>((peerClosed_ ? 0 : POLLIN) | (wantWrite ? POLLOUT : 0)));
}

void HttpConnection::finish() {
    if (finished_) return;
    finished_ = true;
    loop_.unwatch(fd_);
    loop_.defer([cb = onFinished_] { cb(); });
}

}  // namespace nassim
