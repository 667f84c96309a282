#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <poll.h>

#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/SocketSet.h"

namespace norvale::stack {

class LifetimeMonitor;

// The stack's event loop: an ordered list of chained objects sharing one
// wait. Objects are visited in the order they were added; the chain owns
// them. A chain is created, filled, run once and consumed by its run.
class EventChain {
  public:
    EventChain();
    EventChain(const EventChain&) = delete;
    EventChain& operator=(const EventChain&) = delete;
    ~EventChain();

    // Longest wait of one pass: one day.
    static constexpr int kMaxWaitMs = 86400 * 1000;

    void AddObject(std::unique_ptr<ChainedObject> object);
    void Run();
    void RequestStop();
    void Wake();
    bool IsRunning() const { return running_.load(); }
    LifetimeMonitor* Timers() const { return timers_; }

  private:
    int Wait(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet, int timeoutMs);
    void CollectPollSet(const SocketSet& readSet, const SocketSet& writeSet,
                        const SocketSet& errorSet);
    void Teardown();
    void WakeLocked();  // the wake lock must be held

    std::atomic<int> stop_{0};
    std::atomic<bool> running_{false};
    int wakeFd_ = -1;     // eventfd written by Wake()
    bool woken_ = false;  // guarded by the process-wide wake lock
    LifetimeMonitor* timers_ = nullptr;
    std::vector<std::unique_ptr<ChainedObject>> objects_;
    std::vector<pollfd> pollSet_;
};

// Creates a chain with its own timer service (the first object). The caller
// owns the result until it passes it to EventChain_Run.
EventChain* EventChain_Create();

// Appends `object` to the chain, which takes ownership. Call before
// EventChain_Run or from the chain thread.
void EventChain_AddObject(EventChain* chain, ChainedObject* object);

// Runs the loop on the calling thread until a stop is requested, then calls
// every object's OnDestroy, frees the objects and the chain. `chain` must not
// be used afterwards, from any thread.
void EventChain_Run(EventChain* chain);

// Asks a running (or not yet started) chain to stop; null is ignored. Safe
// from any thread while the chain exists.
void EventChain_RequestStop(EventChain* chain);

// Ends the current wait (or makes the next one zero). Safe from any thread
// while the chain exists.
void EventChain_Wake(EventChain* chain);

// The chain's own timer service; owned by the chain.
LifetimeMonitor* EventChain_Timers(EventChain* chain);

}  // namespace norvale::stack
