#include "upnp/stack/EventChain.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "upnp/stack/LifetimeMonitor.h"

namespace norvale::stack {
namespace {

// Guards every chain's wake state, shared by all chains of the process.
std::mutex& WakeLock() {
    static std::mutex lock;
    return lock;
}

short ReadEvents() {
    return POLLIN;
}
short WriteEvents() {
    return POLLOUT;
}

pollfd* FindOrAdd(std::vector<pollfd>& set, int fd) {
    for (pollfd& entry : set) {
        if (entry.fd == fd) return &entry;
    }
    set.push_back(pollfd{fd, 0, 0});
    return &set.back();
}

}  // namespace

EventChain::EventChain() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) std::abort();  // no descriptors left: nothing can run
    auto monitor = std::make_unique<LifetimeMonitor>(this);
    timers_ = monitor.get();
    AddObject(std::move(monitor));
}

EventChain::~EventChain() {
    // A stop or wake from another thread may still be inside its locked
    // section: the chain goes only after it has left.
    std::lock_guard<std::mutex> guard(WakeLock());
    if (wakeFd_ >= 0) close(wakeFd_);
}

void EventChain::AddObject(std::unique_ptr<ChainedObject> object) {
    if (object != nullptr) objects_.push_back(std::move(object));
}

// The stop flag is set under the wake lock, so the chain thread cannot see
// it, tear down and free the chain while this call still touches it.
void EventChain::RequestStop() {
    std::lock_guard<std::mutex> guard(WakeLock());
    stop_.store(1);
    WakeLocked();
}

void EventChain::Wake() {
    std::lock_guard<std::mutex> guard(WakeLock());
    WakeLocked();
}

void EventChain::WakeLocked() {
    if (woken_) return;
    woken_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wakeFd_, &one, sizeof one);
}

void EventChain::Run() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    running_.store(true);
    SocketSet readSet, writeSet, errorSet;
    while (stop_.load() == 0) {
        readSet.Clear();
        writeSet.Clear();
        errorSet.Clear();
        int waitMs = kMaxWaitMs;
        // Objects added by a hook are visited in the same pass.
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            objects_[i]->OnPrepare(readSet, writeSet, errorSet, waitMs);
        }
        {
            std::lock_guard<std::mutex> guard(WakeLock());
            if (woken_) waitMs = 0;
        }
        const int result = Wait(readSet, writeSet, errorSet, waitMs);
        {
            std::lock_guard<std::mutex> guard(WakeLock());
            if (woken_) {
                std::uint64_t count = 0;
                [[maybe_unused]] ssize_t got = read(wakeFd_, &count, sizeof count);
                woken_ = false;
            }
        }
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            objects_[i]->OnReady(result, readSet, writeSet, errorSet);
        }
    }
    Teardown();
}

void EventChain::CollectPollSet(const SocketSet& readSet, const SocketSet& writeSet,
                                const SocketSet& errorSet) {
    pollSet_.clear();
    pollSet_.push_back(pollfd{wakeFd_, POLLIN, 0});
    for (int i = 0; i < readSet.Count(); ++i)
        FindOrAdd(pollSet_, readSet.At(i))->events |= ReadEvents();
    for (int i = 0; i < writeSet.Count(); ++i)
        FindOrAdd(pollSet_, writeSet.At(i))->events |= WriteEvents();
    // Errors and hang-ups are always reported by poll; nothing to ask for.
    for (int i = 0; i < errorSet.Count(); ++i)
        FindOrAdd(pollSet_, errorSet.At(i))->events |= POLLPRI;
}

// Waits like select(): on return each set holds only its ready descriptors
// and the result counts them (0 on time-out, -1 on error with empty sets).
int EventChain::Wait(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet, int timeoutMs) {
    CollectPollSet(readSet, writeSet, errorSet);
    const int polled = poll(pollSet_.data(), pollSet_.size(), timeoutMs < 0 ? 0 : timeoutMs);
    SocketSet readyRead, readyWrite, readyError;
    if (polled < 0) {
        readSet.Clear();
        writeSet.Clear();
        errorSet.Clear();
        return -1;
    }
    for (std::size_t i = 1; i < pollSet_.size(); ++i) {
        const pollfd& entry = pollSet_[i];
        const short ev = entry.revents;
        if (ev == 0) continue;
        if (readSet.Contains(entry.fd) && (ev & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
            readyRead.Add(entry.fd);
        if (writeSet.Contains(entry.fd) && (ev & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)))
            readyWrite.Add(entry.fd);
        if (errorSet.Contains(entry.fd) && (ev & (POLLERR | POLLHUP | POLLPRI | POLLNVAL)))
            readyError.Add(entry.fd);
    }
    readSet = readyRead;
    writeSet = readyWrite;
    errorSet = readyError;
    return readSet.Count() + writeSet.Count() + errorSet.Count();
}

// Every object's OnDestroy runs before any object is freed, so a hook may
// still reach an object added earlier (a socket removing its timers).
void EventChain::Teardown() {
    for (std::size_t i = 0; i < objects_.size(); ++i) objects_[i]->OnDestroy();
    objects_.clear();
    timers_ = nullptr;
    running_.store(false);
}

EventChain* EventChain_Create() {
    return new EventChain();
}

void EventChain_AddObject(EventChain* chain, ChainedObject* object) {
    chain->AddObject(std::unique_ptr<ChainedObject>(object));
}

void EventChain_Run(EventChain* chain) {
    chain->Run();
    delete chain;
}

void EventChain_RequestStop(EventChain* chain) {
    if (chain != nullptr) chain->RequestStop();
}

void EventChain_Wake(EventChain* chain) {
    if (chain != nullptr) chain->Wake();
}

LifetimeMonitor* EventChain_Timers(EventChain* chain) {
    return chain->Timers();
}

}  // namespace norvale::stack
