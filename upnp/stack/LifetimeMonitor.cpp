#include "upnp/stack/LifetimeMonitor.h"

#include <algorithm>
#include <mutex>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/StackClock.h"

namespace norvale::stack {

LifetimeMonitor::~LifetimeMonitor() {
    Flush();
}

void LifetimeMonitor::Add(void* data, std::int64_t delayMs, TimerCallback onExpire,
                          TimerCallback onDestroy) {
    const std::int64_t expiry = StackClock_NowMs() + delayMs;
    bool becameHead = false;
    {
        std::lock_guard<StackSemaphore> guard(timelineLock_);
        if (!destroyed_) {
            // Before every entry of the same expiry: the newest runs first.
            auto at = timeline_.emplace_hint(timeline_.lower_bound(expiry), expiry,
                                             Entry{data, nextSequence_++, onExpire, onDestroy});
            byData_.emplace(data, at);
            becameHead = at == timeline_.begin();
            if (becameHead) chain_->Wake();
            return;
        }
    }
    // The chain has ended: the entry can never expire, so it is destroyed now.
    if (onDestroy != nullptr) onDestroy(data);
}

void LifetimeMonitor::Remove(void* data) {
    std::vector<std::pair<std::int64_t, Entry>> taken;
    {
        std::lock_guard<StackSemaphore> guard(timelineLock_);
        auto [first, last] = byData_.equal_range(data);
        for (auto it = first; it != last; ++it)
            taken.emplace_back(it->second->first, it->second->second);
        for (auto it = first; it != last; ++it) timeline_.erase(it->second);
        byData_.erase(first, last);
        if (taken.empty()) {
            std::lock_guard<StackSemaphore> pendingGuard(pendingLock_);
            pending_.push_back(data);
        }
    }
    // In timeline order: ascending expiry, the newest first among equals.
    std::sort(taken.begin(), taken.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.sequence > b.second.sequence;
    });
    for (const auto& [expiry, entry] : taken) {
        if (entry.onDestroy != nullptr) entry.onDestroy(entry.data);
    }
}

void LifetimeMonitor::Flush() {
    std::vector<Entry> taken;
    {
        std::lock_guard<StackSemaphore> guard(timelineLock_);
        taken.reserve(timeline_.size());
        for (auto& [expiry, entry] : timeline_) taken.push_back(entry);
        timeline_.clear();
        byData_.clear();
    }
    for (const Entry& entry : taken) {
        if (entry.onDestroy != nullptr) entry.onDestroy(entry.data);
    }
}

std::size_t LifetimeMonitor::Count() {
    std::lock_guard<StackSemaphore> guard(timelineLock_);
    return timeline_.size();
}

// Takes every entry due strictly before `now`, ascending, and forgets the
// removals remembered in earlier passes.
std::vector<LifetimeMonitor::Entry> LifetimeMonitor::TakeDue(std::int64_t now) {
    std::vector<Entry> due;
    std::lock_guard<StackSemaphore> guard(timelineLock_);
    std::lock_guard<StackSemaphore> pendingGuard(pendingLock_);
    pending_.clear();
    auto end = timeline_.lower_bound(now);
    for (auto it = timeline_.begin(); it != end; ++it) {
        due.push_back(it->second);
        auto [first, last] = byData_.equal_range(it->second.data);
        for (auto index = first; index != last; ++index) {
            if (index->second == it) {
                byData_.erase(index);
                break;
            }
        }
    }
    timeline_.erase(timeline_.begin(), end);
    return due;
}

// True (and forgotten) when a removal of `data` was asked for meanwhile.
bool LifetimeMonitor::TakePending(void* data) {
    std::lock_guard<StackSemaphore> guard(pendingLock_);
    auto kept = std::remove(pending_.begin(), pending_.end(), data);
    const bool found = kept != pending_.end();
    pending_.erase(kept, pending_.end());
    return found;
}

void LifetimeMonitor::Dispatch(std::int64_t now) {
    for (const Entry& entry : TakeDue(now)) {
        if (TakePending(entry.data)) {
            if (entry.onDestroy != nullptr) entry.onDestroy(entry.data);
        } else if (entry.onExpire != nullptr) {
            entry.onExpire(entry.data);
        }
    }
}

void LifetimeMonitor::OnPrepare(SocketSet&, SocketSet&, SocketSet&, int& blockTimeMs) {
    const std::int64_t now = StackClock_NowMs();
    Dispatch(now);
    std::lock_guard<StackSemaphore> guard(timelineLock_);
    if (timeline_.empty()) return;
    const std::int64_t untilHead = std::max<std::int64_t>(timeline_.begin()->first - now, 0);
    if (untilHead < blockTimeMs) blockTimeMs = static_cast<int>(untilHead);
}

void LifetimeMonitor::OnDestroy() {
    {
        std::lock_guard<StackSemaphore> guard(timelineLock_);
        destroyed_ = true;
    }
    Flush();
}

LifetimeMonitor* LifetimeMonitor_Create(EventChain* chain) {
    auto* monitor = new LifetimeMonitor(chain);
    EventChain_AddObject(chain, monitor);
    return monitor;
}

void LifetimeMonitor_Add(LifetimeMonitor* monitor, void* data, std::int64_t delayMs,
                         TimerCallback onExpire, TimerCallback onDestroy) {
    monitor->Add(data, delayMs, onExpire, onDestroy);
}

void LifetimeMonitor_Remove(LifetimeMonitor* monitor, void* data) {
    monitor->Remove(data);
}

void LifetimeMonitor_Flush(LifetimeMonitor* monitor) {
    monitor->Flush();
}

}  // namespace norvale::stack
