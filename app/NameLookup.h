#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace norvale::app {

// Checks map names away from the discovery thread: does a host-name lookup
// of a device's name give the device's address? A few lookup threads work
// through a queue; an answer that takes longer than the bound counts as no
// match, and a name service that never answers holds up nothing but its own
// lookup thread. Created, fed and destroyed on any one thread at a time;
// `done` runs on a lookup thread.
class NameLookup {
  public:
    // The first IPv4 address `name` resolves to, as dotted text; false when
    // the lookup fails. May block for as long as the name service takes.
    using Resolver = bool (*)(const std::string& name, std::string* address);
    // The outcome of one lookup: true when the name resolved to the address
    // within the bound; false when it failed, gave another address or came
    // too late.
    using Done = std::function<void(bool matches)>;

    static constexpr int kDefaultThreads = 4;
    static constexpr std::chrono::milliseconds kDefaultBound{2000};
    // Lookups waiting for a thread; more are refused.
    static constexpr std::size_t kMaxQueued = 1024;

    // A null resolver is the system's (ResolveIpv4).
    explicit NameLookup(Resolver resolver, int threads = kDefaultThreads,
                        std::chrono::milliseconds bound = kDefaultBound);
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;
    // Drops the queued lookups and returns at once: idle threads are joined,
    // a thread blocked in the resolver is left to end by itself. No `done`
    // runs after it returns.
    ~NameLookup();

    // Queues a lookup of `name` to be compared with `address` (dotted text,
    // compared without case). False, and `done` is never called, when the
    // queue is full or `name` is empty.
    bool Submit(std::string name, std::string address, Done done);

    // Threads inside the resolver now (for tests).
    int BusyThreads() const;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;  // also held by every lookup thread
    std::vector<std::thread> threads_;
};

// The system's resolver (getaddrinfo, IPv4 only).
bool ResolveIpv4(const std::string& name, std::string* address);

}  // namespace norvale::app
