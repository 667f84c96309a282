#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/StackSemaphore.h"

namespace norvale::stack {

class EventChain;

// A timer callback; receives the data pointer given to LifetimeMonitor_Add.
using TimerCallback = void (*)(void* data);

// Timed callbacks on a chain. Every entry ends in exactly one call: on_expire
// when its time has passed (strictly earlier than now), or on_destroy when it
// is removed, flushed or the chain ends. Among equal expiries the entry added
// last runs first. Callbacks run on the chain thread without monitor locks
// held, so they may add and remove timers. Owned by its chain.
class LifetimeMonitor : public ChainedObject {
  public:
    explicit LifetimeMonitor(EventChain* chain) : chain_(chain) {}
    ~LifetimeMonitor() override;

    // Schedules `onExpire(data)` after `delayMs`. Safe from any thread.
    void Add(void* data, std::int64_t delayMs, TimerCallback onExpire, TimerCallback onDestroy);
    // Cancels every entry holding `data`, calling their on_destroy. An entry
    // already taken for dispatch in this pass turns its expiry into a destroy.
    void Remove(void* data);
    // Cancels all entries the same way.
    void Flush();
    // Number of scheduled entries (for tests and benchmarks).
    std::size_t Count();

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnDestroy() override;

  private:
    struct Entry {
        void* data;
        std::uint64_t sequence;  // insertion counter, orders equal expiries
        TimerCallback onExpire;
        TimerCallback onDestroy;
    };
    using Timeline = std::multimap<std::int64_t, Entry>;

    void Dispatch(std::int64_t now);
    bool TakePending(void* data);
    std::vector<Entry> TakeDue(std::int64_t now);

    EventChain* chain_;
    StackSemaphore timelineLock_;  // taken before pendingLock_
    StackSemaphore pendingLock_;
    Timeline timeline_;                                          // ascending expiry
    std::unordered_multimap<void*, Timeline::iterator> byData_;  // removal index
    std::vector<void*> pending_;  // removals asked for while their entry was dispatched
    std::uint64_t nextSequence_ = 0;
    bool destroyed_ = false;
};

// Creates a monitor and adds it to `chain`, which owns it.
LifetimeMonitor* LifetimeMonitor_Create(EventChain* chain);
void LifetimeMonitor_Add(LifetimeMonitor* monitor, void* data, std::int64_t delayMs,
                         TimerCallback onExpire, TimerCallback onDestroy);
void LifetimeMonitor_Remove(LifetimeMonitor* monitor, void* data);
void LifetimeMonitor_Flush(LifetimeMonitor* monitor);

}  // namespace norvale::stack
