#pragma once

#include <semaphore>

namespace norvale::stack {

// A counting semaphore (initial count 1, maximum 64) used as a mutex by the
// stack's containers and timer lists. It is not re-entrant: a thread that
// locks it twice without unlocking deadlocks. Copying is meaningless.
class StackSemaphore {
public:
    StackSemaphore() = default;
    StackSemaphore(const StackSemaphore&) = delete;
    StackSemaphore& operator=(const StackSemaphore&) = delete;

    void Lock() { sem_.acquire(); }
    void Unlock() { sem_.release(); }

    // Satisfies BasicLockable so std::lock_guard / std::scoped_lock work.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::counting_semaphore<64> sem_{1};
};

}  // namespace norvale::stack
