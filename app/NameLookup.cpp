#include "app/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>

namespace norvale::app {
namespace {

struct Job {
    std::string name;
    std::string address;
    NameLookup::Done done;
};

}  // namespace

// State of the service and its threads; a thread left blocked in the
// resolver keeps it alive after the service has gone. What the waits test is
// atomic as well as guarded, so a woken thread sees everything written before
// it was set, whichever way the wake came.
struct NameLookup::Shared {
    NameLookup::Resolver resolver = nullptr;
    std::chrono::milliseconds bound{0};
    std::mutex lock;  // guards the queue
    std::condition_variable changed;
    std::deque<Job> queue;
    std::atomic<std::size_t> queued{0};
    std::atomic<bool> stopping{false};
    std::atomic<int> busy{0};
    // Held while a `done` runs, and by the end, so none runs after it.
    std::mutex doneLock;
    std::vector<std::unique_ptr<std::atomic<bool>>> inResolver;  // one per thread
};

namespace {

// Waits for a job; marks the thread as in the resolver before the end can
// look (under the lock), so the end never joins a thread about to block.
bool TakeJob(NameLookup::Shared& shared, std::atomic<bool>& inResolver, Job* job) {
    std::unique_lock<std::mutex> guard(shared.lock);
    shared.changed.wait(guard, [&] { return shared.stopping || shared.queued > 0; });
    if (shared.stopping) return false;
    *job = std::move(shared.queue.front());
    shared.queue.pop_front();
    shared.queued = shared.queue.size();
    inResolver = true;
    ++shared.busy;
    return true;
}

void LookupLoop(std::shared_ptr<NameLookup::Shared> shared, std::size_t index) {
    std::atomic<bool>& inResolver = *shared->inResolver[index];
    for (Job job; TakeJob(*shared, inResolver, &job);) {
        const auto started = std::chrono::steady_clock::now();
        std::string address;
        const bool resolved = shared->resolver != nullptr
                                  ? shared->resolver(job.name, &address)
                                  : ResolveIpv4Within(job.name, &address, shared->bound);
        --shared->busy;
        inResolver = false;
        const bool inTime = std::chrono::steady_clock::now() - started <= shared->bound;
        const bool matches =
            resolved && inTime && strcasecmp(address.c_str(), job.address.c_str()) == 0;
        std::lock_guard<std::mutex> guard(shared->doneLock);
        if (shared->stopping) return;
        if (job.done) job.done(matches);
    }
}

void KeepForGood(std::shared_ptr<NameLookup::Shared> shared) {
    static std::mutex lock;
    static auto* const kept = new std::vector<std::shared_ptr<NameLookup::Shared>>;
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(std::move(shared));
}

}  // namespace

namespace {

addrinfo Ipv4Hints() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    return hints;
}

// The first address of `found` as dotted text; false for none.
bool FirstAddress(const addrinfo* found, std::string* address) {
    if (found == nullptr || found->ai_addr == nullptr) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    *address = text;
    return true;
}

// One system lookup on a resolver thread of its own, shared by the thread
// and the caller waiting for it.
struct Resolution {
    std::mutex lock;
    std::condition_variable done;
    std::atomic<bool> finished{false};  // written under the lock as well
    bool resolved = false;
    std::string address;
};

// Resolver threads alive in the process. A lookup given up at its bound
// leaves its thread to end when the name service gives up; while this many
// are still at work, further lookups fail at once instead of starting more.
constexpr int kMaxResolverThreads = 8;
std::atomic<int> g_resolverThreads{0};

// Lines of /etc/nsswitch.conf name the sources of each database.
bool HostsLineHasMulticast(const std::string& line) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, 6, "hosts:") != 0) return false;
    return line.find("mdns", at) != std::string::npos ||
           line.find("resolve", at) != std::string::npos;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

bool ResolveIpv4(const std::string& name, std::string* address) {
    const addrinfo hints = Ipv4Hints();
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
    const bool ok = FirstAddress(found, address);
    freeaddrinfo(found);
    return ok;
}

bool ResolveIpv4Within(const std::string& name, std::string* address,
                       std::chrono::milliseconds bound) {
    if (++g_resolverThreads > kMaxResolverThreads) {
        --g_resolverThreads;
        return false;
    }
    auto resolution = std::make_shared<Resolution>();
    try {
        std::thread([resolution, name] {
            std::string found;
            const bool resolved = ResolveIpv4(name, &found);
            {
                std::lock_guard<std::mutex> guard(resolution->lock);
                resolution->resolved = resolved;
                resolution->address = std::move(found);
                resolution->finished = true;
            }
            resolution->done.notify_all();
            --g_resolverThreads;
        }).detach();
    } catch (const std::system_error&) {
        --g_resolverThreads;
        return false;
    }
    std::unique_lock<std::mutex> guard(resolution->lock);
    if (!resolution->done.wait_for(guard, bound, [&] { return resolution->finished.load(); })) {
        return false;  // the thread ends by itself
    }
    if (resolution->resolved) *address = resolution->address;
    return resolution->resolved;
}

bool IsLookupName(const std::string& name, bool multicastResolver) {
    if (name.empty() || name.size() > 253) return false;
    std::size_t label = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '.') {
            if (!IsNameCharacter(name[i])) return false;
            continue;
        }
        const std::size_t length = i - label;
        if (length == 0 || length > 63 || name[label] == '-' || name[i - 1] == '-') return false;
        label = i + 1;
    }
    const std::size_t last = name.rfind('.');
    const bool local = last != std::string::npos && strcasecmp(name.c_str() + last, ".local") == 0;
    return multicastResolver || !local;
}

bool SystemResolvesMulticastNames() {
    static const bool multicast = [] {
        std::ifstream config("/etc/nsswitch.conf");
        for (std::string line; std::getline(config, line);) {
            if (HostsLineHasMulticast(line)) return true;
        }
        return false;
    }();
    return multicast;
}

NameLookup::NameLookup(Resolver resolver, int threads, std::chrono::milliseconds bound)
    : shared_(std::make_shared<Shared>()) {
    shared_->resolver = resolver;  // null: ResolveIpv4Within with the bound
    shared_->bound = bound;
    const auto count = static_cast<std::size_t>(std::max(threads, 1));
    for (std::size_t i = 0; i < count; ++i) {
        shared_->inResolver.push_back(std::make_unique<std::atomic<bool>>(false));
    }
    for (std::size_t i = 0; i < count; ++i) threads_.emplace_back(LookupLoop, shared_, i);
}

NameLookup::~NameLookup() {
    // Which threads are in the resolver is read under the locks: no thread
    // enters it once stopping is set, and one that leaves it takes the done
    // lock before it may free the shared state, after this read.
    std::vector<bool> inResolver;
    {
        std::lock_guard<std::mutex> done(shared_->doneLock);
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->queue.clear();
        shared_->queued = 0;
        shared_->stopping = true;
        for (const auto& flag : shared_->inResolver) inResolver.push_back(flag->load());
    }
    shared_->changed.notify_all();
    bool detached = false;
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        // One blocked in the resolver ends by itself once it returns.
        if (inResolver[i]) {
            threads_[i].detach();
            detached = true;
        } else {
            threads_[i].join();
        }
    }
    // The state a detached thread still uses is kept for the life of the
    // process (a few hundred bytes), so that no thread ever frees it while
    // another may have read it last.
    if (detached) KeepForGood(shared_);
}

bool NameLookup::Submit(std::string name, std::string address, Done done) {
    if (!IsLookupName(name, SystemResolvesMulticastNames())) return false;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        if (shared_->stopping || shared_->queue.size() >= kMaxQueued) return false;
        shared_->queue.push_back(Job{std::move(name), std::move(address), std::move(done)});
        shared_->queued = shared_->queue.size();
    }
    shared_->changed.notify_one();
    return true;
}

int NameLookup::BusyThreads() const {
    return shared_->busy;
}

}  // namespace norvale::app
