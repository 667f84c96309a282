#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace norvale::app {

// Checks map names away from the discovery thread: does a host-name lookup
// of a device's name give the device's address? A few lookups run at a time,
// each bounded: a name server that never answers delays nothing but the
// lookup itself, whose late answer is then ignored. Created, fed and
// destroyed on any one thread at a time; `done` runs on a lookup thread.
class NameLookup {
  public:
    // The first IPv4 address `name` resolves to, as dotted text; false when
    // the lookup fails. May block for as long as the name service takes.
    using Resolver = bool (*)(const std::string& name, std::string* address);
    // The outcome of one lookup: true when the name resolved to the address
    // within the bound; false when it failed, gave another address, ran out
    // of time or the lookup service is being destroyed.
    using Done = std::function<void(bool matches)>;

    static constexpr int kDefaultSlots = 4;
    static constexpr std::chrono::milliseconds kDefaultBound{2000};
    // Lookups waiting for a slot; more are refused.
    static constexpr std::size_t kMaxQueued = 1024;
    // Lookups that ran out of time but still hold a thread; no new lookup
    // starts while there are this many.
    static constexpr int kMaxStray = 32;

    // A null resolver is the system's (ResolveIpv4).
    explicit NameLookup(Resolver resolver, int slots = kDefaultSlots,
                        std::chrono::milliseconds bound = kDefaultBound);
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;
    // Ends the slots without waiting for a lookup in progress; queued
    // lookups are dropped and no `done` runs after it returns.
    ~NameLookup();

    // Queues a lookup of `name` to be compared with `address` (dotted text,
    // compared without case). False, and `done` is never called, when the
    // queue is full or `name` is empty.
    bool Submit(std::string name, std::string address, Done done);

    // Lookup threads still running, stray ones included (for tests).
    int RunningLookups() const;

    struct Shared;

  private:
    struct Job {
        std::string name;
        std::string address;
        Done done;
    };

    void SlotLoop();
    bool Run(const Job& job);

    Resolver resolver_;
    std::chrono::milliseconds bound_;
    std::shared_ptr<Shared> shared_;  // also held by every lookup thread
    std::deque<Job> queue_;           // guarded by shared_->lock
    std::vector<std::thread> slots_;
};

// The system's resolver (getaddrinfo, IPv4 only).
bool ResolveIpv4(const std::string& name, std::string* address);

}  // namespace norvale::app
