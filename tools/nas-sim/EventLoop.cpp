#include "tools/nas-sim/EventLoop.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <stdexcept>

namespace nassim {

namespace {

int64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

EventLoop::EventLoop(Clock clock) : clock_(clock ? std::move(clock) : Clock(monotonicMs)) {}

void EventLoop::watch(int fd, short events, IoHandler handler) {
    watches_[fd] = Watch{events, nextId_++, std::move(handler)};
}

void EventLoop::setEvents(int fd, short events) {
    auto it = watches_.find(fd);
    if (it != watches_.end()) it->second.events = events;
}

void EventLoop::unwatch(int fd) {
    watches_.erase(fd);
}

uint64_t EventLoop::after(int64_t delayMs, std::function<void()> fn) {
    uint64_t id = nextId_++;
    int64_t due = now() + (delayMs > 0 ? delayMs : 0);
    timers_[{due, id}] = std::move(fn);
    timerDue_[id] = due;
    return id;
}

void EventLoop::cancel(uint64_t timerId) {
    auto it = timerDue_.find(timerId);
    if (it == timerDue_.end()) return;
    timers_.erase({it->second, timerId});
    timerDue_.erase(it);
}

void EventLoop::defer(std::function<void()> fn) {
    deferred_.push_back(std::move(fn));
}

void EventLoop::runTimers() {
    int64_t t = now();
    while (!timers_.empty() && timers_.begin()->first.first <= t && !stopped_) {
        auto it = timers_.begin();
        std::function<void()> fn = std::move(it->second);
        timerDue_.erase(it->first.second);
        timers_.erase(it);
        fn();
    }
}

void EventLoop::runDeferred() {
    while (!deferred_.empty()) {
        std::vector<std::function<void()>> batch;
        batch.swap(deferred_);
        for (auto& fn : batch) fn();
    }
}

void EventLoop::run() {
    std::vector<pollfd> fds;
    std::vector<uint64_t> generations;
    while (!stopped_) {
        fds.clear();
        generations.clear();
        for (const auto& [fd, w] : watches_) {
            fds.push_back(pollfd{fd, w.events, 0});
            generations.push_back(w.generation);
        }
        int timeout = -1;
        if (!timers_.empty()) {
            int64_t wait = timers_.begin()->first.first - now();
            timeout = wait < 0 ? 0 : static_cast<int>(wait < INT_MAX ? wait : INT_MAX);
        }
        int n = poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR) throw std::runtime_error("poll failed");
        runTimers();
        for (size_t i = 0; i < fds.size() && n > 0 && !stopped_; ++i) {
            if (fds[i].revents == 0) continue;
            auto it = watches_.find(fds[i].fd);
            if (it == watches_.end() || it->second.generation != generations[i]) continue;
            IoHandler handler = it->second.handler;  // the handler may unwatch itself
            handler(fds[i].revents);
        }
        runDeferred();
    }
}

}  // namespace nassim
