#pragma once

#include <cstdint>

namespace norvale::stack {

// The stack clock: a 32-bit millisecond tick counter extended past its 2^32
// wrap. The default tick source is CLOCK_MONOTONIC in milliseconds truncated
// to 32 bits; tests install their own to move time or force a wrap.
using TickSource = std::uint32_t (*)();

struct StackTime {
    std::int64_t seconds;
    std::int64_t microseconds;
};

// Current stack time. Safe from any thread; never goes backwards as long as
// the tick source is read at least once per wrap period (49.7 days).
StackTime StackClock_Now();

// Current stack time in milliseconds: seconds x 1000 + microseconds / 1000.
std::int64_t StackClock_NowMs();

// Installs `source` (null restores the monotonic clock) and forgets the
// extension state, as at process start.
void StackClock_SetTickSource(TickSource source);

}  // namespace norvale::stack
