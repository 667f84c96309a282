#pragma once

#include <atomic>

namespace norvale::stack {

// A counting semaphore (initial count 1, maximum 64) used as a mutex by the
// stack's containers and timer lists. It is not re-entrant: a thread that
// locks it twice without unlocking deadlocks. Copying is meaningless.
// An unlock with nobody waiting makes no system call (std::counting_semaphore
// wakes the futex on every release, which costs more than the work it guards).
class StackSemaphore {
  public:
    StackSemaphore() = default;
    StackSemaphore(const StackSemaphore&) = delete;
    StackSemaphore& operator=(const StackSemaphore&) = delete;

    void Lock() {
        int available = count_.load(std::memory_order_relaxed);
        for (;;) {
            if (available > 0) {
                if (count_.compare_exchange_weak(available, available - 1,
                                                 std::memory_order_acquire,
                                                 std::memory_order_relaxed)) {
                    return;
                }
            } else {
                count_.wait(available, std::memory_order_relaxed);
                available = count_.load(std::memory_order_relaxed);
            }
        }
    }
    void Unlock() {
        count_.fetch_add(1, std::memory_order_release);
        count_.notify_one();
    }

    // Satisfies BasicLockable so std::lock_guard / std::scoped_lock work.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

  private:
    std::atomic<int> count_{1};
};

}  // namespace norvale::stack
