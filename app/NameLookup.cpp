#include "app/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
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
        const bool resolved = shared->resolver(job.name, &address);
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

bool ResolveIpv4(const std::string& name, std::string* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    *address = text;
    return true;
}

NameLookup::NameLookup(Resolver resolver, int threads, std::chrono::milliseconds bound)
    : shared_(std::make_shared<Shared>()) {
    shared_->resolver = resolver != nullptr ? resolver : &ResolveIpv4;
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
    if (name.empty()) return false;
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
