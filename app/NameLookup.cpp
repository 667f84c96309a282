#include "app/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <fstream>
#include <mutex>

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

// One lookup on the C library's lookup threads; must stay in place until
// the library is done with it.
struct AsyncLookup {
    std::string name;
    addrinfo hints = Ipv4Hints();
    gaicb request{};
    ~AsyncLookup() {
        if (request.ar_result != nullptr) freeaddrinfo(request.ar_result);
    }
};

// Lookups given up while the library still worked on them: freed by a later
// call once they have ended (a name service that never answers is given up
// by the library after its own time-outs).
struct Strays {
    std::mutex lock;
    std::vector<std::unique_ptr<AsyncLookup>> lookups;
};
// Never destroyed: the library may still write into a stray while the
// process exits.
Strays& TheStrays() {
    static Strays* const strays = new Strays;
    return *strays;
}

void KeepUntilEnded(std::unique_ptr<AsyncLookup> lookup) {
    Strays& strays = TheStrays();
    std::lock_guard<std::mutex> guard(strays.lock);
    std::erase_if(strays.lookups,
                  [](const auto& l) { return gai_error(&l->request) != EAI_INPROGRESS; });
    strays.lookups.push_back(std::move(lookup));
}

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
    auto lookup = std::make_unique<AsyncLookup>();
    lookup->name = name;
    lookup->request.ar_name = lookup->name.c_str();
    lookup->request.ar_request = &lookup->hints;
    gaicb* list[1] = {&lookup->request};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (gai_error(&lookup->request) == EAI_INPROGRESS) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) break;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        gai_suspend(list, 1, &wait);  // ends early on completion, a signal or the time
    }
    if (gai_error(&lookup->request) == EAI_INPROGRESS && gai_cancel(&lookup->request) != EAI_CANCELED) {
        KeepUntilEnded(std::move(lookup));
        return false;
    }
    return gai_error(&lookup->request) == 0 && FirstAddress(lookup->request.ar_result, address);
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
    {
        std::lock_guard<std::mutex> done(shared_->doneLock);
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->queue.clear();
        shared_->queued = 0;
        shared_->stopping = true;
    }
    shared_->changed.notify_all();
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        // One blocked in the resolver ends by itself once it returns.
        if (*shared_->inResolver[i]) {
            threads_[i].detach();
        } else {
            threads_[i].join();
        }
    }
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
