#include "upnp/stack/StackClock.h"

#include <ctime>
#include <mutex>

namespace norvale::stack {
namespace {

std::uint32_t MonotonicTick() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

struct ClockState {
    std::mutex mutex;
    TickSource source = MonotonicTick;
    std::int64_t wraps = -1;  // -1: not read yet
    std::uint32_t previousTick = 0;
};

ClockState& State() {
    static ClockState state;
    return state;
}

}  // namespace

StackTime StackClock_Now() {
    ClockState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    const std::uint32_t raw = state.source();
    if (state.wraps < 0) {
        state.wraps = 0;
    } else if (raw < state.previousTick) {
        // The counter wrapped. Every later reading carries the whole 2^32 ms
        // (4294967 s + 296 ms), not only this one, so time never steps back.
        ++state.wraps;
    }
    state.previousTick = raw;
    const std::int64_t ms = (state.wraps << 32) + static_cast<std::int64_t>(raw);
    return StackTime{ms / 1000, (ms % 1000) * 1000};
}

std::int64_t StackClock_NowMs() {
    const StackTime now = StackClock_Now();
    return now.seconds * 1000 + now.microseconds / 1000;
}

void StackClock_SetTickSource(TickSource source) {
    ClockState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.source = source != nullptr ? source : MonotonicTick;
    state.wraps = -1;
    state.previousTick = 0;
}

}  // namespace norvale::stack
