#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace norvale::app {

// Checks map names away from the discovery thread: does a host-name lookup
// of a device's name give the device's address? Names come from the network,
// so only valid host names are looked up (IsLookupName). A few lookup
// threads (never more) work through a queue; an answer that takes longer
// than the bound counts as no match. The system's resolver is given up at
// the bound as well (ResolveIpv4Within), so a name service that never
// answers holds no lookup thread longer than the bound. Created, fed
// and destroyed on any one thread at a time; `done` runs on a lookup thread.
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

    // A null resolver is the system's (ResolveIpv4Within, with the bound).
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
    // queue is full or `name` is no host name to look up (IsLookupName).
    bool Submit(std::string name, std::string address, Done done);

    // Threads inside the resolver now (for tests).
    int BusyThreads() const;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;  // also held by every lookup thread
    std::vector<std::thread> threads_;
};

// The system's resolver (getaddrinfo, IPv4 only); blocks as long as the name
// service takes.
bool ResolveIpv4(const std::string& name, std::string* address);

// The same lookup, given up after `bound` (false then): it runs on a
// resolver thread of its own, which a lookup that outlives the bound leaves
// to end alone. At most 8 such threads live at once in the process; while
// that many are still held by a name service, a lookup fails at once.
bool ResolveIpv4Within(const std::string& name, std::string* address,
                       std::chrono::milliseconds bound);

// Whether a device name may be looked up: a host name of letters, digits,
// hyphens and dots (labels of 1 to 63 characters, not starting or ending
// with a hyphen, 253 characters at most). A name in ".local" only when
// `multicastResolver` says the resolver asks multicast DNS (otherwise the
// query goes to the unicast name servers, which must not see local names).
bool IsLookupName(const std::string& name, bool multicastResolver);

// Whether the system's host lookups include multicast DNS (an "mdns" or
// "resolve" source on the hosts line of /etc/nsswitch.conf); read once.
bool SystemResolvesMulticastNames();

}  // namespace norvale::app
