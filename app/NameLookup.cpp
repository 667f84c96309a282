#include "app/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace norvale::app {

// State shared by the service, its slots and its lookup threads; a lookup
// thread that outlives the service keeps it alive.
struct NameLookup::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
    int running = 0;  // lookup threads that have not returned yet
};

namespace {

// One lookup's result, written by its thread under the shared lock.
struct Attempt {
    bool finished = false;
    bool resolved = false;
    std::string address;
};

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

NameLookup::NameLookup(Resolver resolver, int slots, std::chrono::milliseconds bound)
    : resolver_(resolver != nullptr ? resolver : &ResolveIpv4),
      bound_(bound),
      shared_(std::make_shared<Shared>()) {
    for (int i = 0; i < std::max(slots, 1); ++i) slots_.emplace_back([this] { SlotLoop(); });
}

NameLookup::~NameLookup() {
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->stopping = true;
        queue_.clear();
    }
    shared_->changed.notify_all();
    for (std::thread& slot : slots_) slot.join();
}

bool NameLookup::Submit(std::string name, std::string address, Done done) {
    if (name.empty()) return false;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        if (shared_->stopping || queue_.size() >= kMaxQueued) return false;
        queue_.push_back(Job{std::move(name), std::move(address), std::move(done)});
    }
    shared_->changed.notify_all();
    return true;
}

int NameLookup::RunningLookups() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->running;
}

void NameLookup::SlotLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(shared_->lock);
            shared_->changed.wait(lock, [&] { return shared_->stopping || !queue_.empty(); });
            if (shared_->stopping) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        const bool matches = Run(job);
        if (job.done) job.done(matches);
    }
}

// Runs the lookup on a thread of its own and waits for it at most the bound;
// a lookup that takes longer is left to finish alone.
bool NameLookup::Run(const Job& job) {
    auto attempt = std::make_shared<Attempt>();
    std::unique_lock<std::mutex> lock(shared_->lock);
    shared_->changed.wait(lock, [&] { return shared_->stopping || shared_->running < kMaxStray; });
    if (shared_->stopping) return false;
    ++shared_->running;
    lock.unlock();
    try {
        std::thread([shared = shared_, attempt, resolver = resolver_, name = job.name] {
            std::string address;
            const bool resolved = resolver(name, &address);
            std::lock_guard<std::mutex> guard(shared->lock);
            attempt->finished = true;
            attempt->resolved = resolved;
            attempt->address = std::move(address);
            --shared->running;
            shared->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> guard(shared_->lock);
        --shared_->running;
        return false;
    }
    lock.lock();
    shared_->changed.wait_for(lock, bound_, [&] { return shared_->stopping || attempt->finished; });
    return attempt->finished && attempt->resolved &&
           strcasecmp(attempt->address.c_str(), job.address.c_str()) == 0;
}

}  // namespace norvale::app
