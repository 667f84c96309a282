#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace nassim {

// A single-threaded poll(2) loop with millisecond timers. Handlers may watch, unwatch,
// add and cancel timers freely, also for themselves; work that must not run inside the
// current handler (destroying the handler's owner) goes through defer().
class EventLoop {
  public:
    using Clock = std::function<int64_t()>;  // milliseconds, monotonic
    using IoHandler = std::function<void(short revents)>;

    // Without a clock the loop uses CLOCK_MONOTONIC.
    explicit EventLoop(Clock clock = {});
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls `handler` when poll reports `events` (or an error) on fd. One handler per fd.
    void watch(int fd, short events, IoHandler handler);
    void setEvents(int fd, short events);
    void unwatch(int fd);

    // Runs `fn` once, delayMs from now; the id cancels it. Timers due at the same time run
    // in the order they were added.
    uint64_t after(int64_t delayMs, std::function<void()> fn);
    void cancel(uint64_t timerId);

    // Runs `fn` after the current round of handlers.
    void defer(std::function<void()> fn);

    int64_t now() const { return clock_(); }
    // Runs until stop(); returns at once when stop() was called before.
    void run();
    void stop() { stopped_ = true; }

  private:
    struct Watch {
        short events;
        uint64_t generation;
        IoHandler handler;
    };
    void runTimers();
    void runDeferred();

    Clock clock_;
    bool stopped_ = false;
    uint64_t nextId_ = 1;
    std::map<int, Watch> watches_;
    std::map<std::pair<int64_t, uint64_t>, std::function<void()>> timers_;  // (due, id)
    std::map<uint64_t, int64_t> timerDue_;
    std::vector<std::function<void()>> deferred_;
};

}  // namespace nassim
