#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "upnp/cp/ControlPoint.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/StackClock.h"

namespace norvale::cp::testing {

// A stack clock that only moves when told to (milliseconds, 32-bit ticks).
class FakeClock {
  public:
    FakeClock() {
        Ticks() = 100000;
        stack::StackClock_SetTickSource(&Read);
    }
    ~FakeClock() { stack::StackClock_SetTickSource(nullptr); }
    void Advance(std::uint32_t ms) { Ticks() += ms; }
    static std::int64_t Seconds() { return stack::StackClock_Now().seconds; }

  private:
    static std::atomic<std::uint32_t>& Ticks() {
        static std::atomic<std::uint32_t> ticks{0};
        return ticks;
    }
    static std::uint32_t Read() { return Ticks().load(); }
};

// Records the application callbacks as lines ("added udn name", "removed
// udn") and lets the test wait for them.
class Recorder {
  public:
    // Runs inside each callback first (added true/false), when set.
    std::function<void(UPnPDevice*, bool)> hook;

    static void Added(UPnPDevice* device, void* self) {
        if (static_cast<Recorder*>(self)->hook) static_cast<Recorder*>(self)->hook(device, true);
        static_cast<Recorder*>(self)->Push(
            "added " + Text(device->udn.get()) + " " + Text(device->friendlyName.get()),
            "added " + Text(device->friendlyName.get()), device);
    }
    static void Removed(UPnPDevice* device, void* self) {
        auto* recorder = static_cast<Recorder*>(self);
        if (recorder->hook) recorder->hook(device, false);
        recorder->Push("removed " + Text(device->udn.get()),
                       "removed " + Text(device->friendlyName.get()), nullptr);
        std::lock_guard<std::mutex> guard(recorder->mutex_);
        std::erase(recorder->devices_, device);  // it may be freed from now on
    }
    void Push(const std::string& line, const std::string& byName, UPnPDevice* device) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
        names_.push_back(byName);
        if (device != nullptr) devices_.push_back(device);
        changed_.notify_all();
    }
    // Waits (up to 10 s) until `count` lines were recorded; returns them.
    std::vector<std::string> WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return lines_.size() >= count; });
        return lines_;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    // The same reports with friendly names instead of udns.
    std::vector<std::string> Names() {
        std::lock_guard<std::mutex> guard(mutex_);
        return names_;
    }
    // Waits (up to `seconds`) until `predicate` holds for the name lines.
    bool WaitNames(const std::function<bool(const std::vector<std::string>&)>& predicate,
                   int seconds = 10) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds),
                                 [&] { return predicate(names_); });
    }
    // The i-th device added and not yet removed.
    UPnPDevice* Device(std::size_t i) {
        std::lock_guard<std::mutex> guard(mutex_);
        return i < devices_.size() ? devices_[i] : nullptr;
    }
    static std::string Text(const char* text) { return text == nullptr ? "(null)" : text; }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::vector<std::string> names_;
    std::vector<UPnPDevice*> devices_;
};

// A chain with one control point running on its own thread. Post() runs
// work on the chain thread and waits for it.
class ChainThread {
  public:
    explicit ChainThread(Recorder* recorder, ControlPointOptions options = {},
                         std::vector<const char*> targets = {"urn:schemas-upnp-org:device:LuNAS:1"})
        : chain_(stack::EventChain_Create()) {
        for (const char* target : targets) {
            ControlPoint* cp = ControlPoint_Create(chain_, target, &Recorder::Added,
                                                   &Recorder::Removed, recorder, options);
            if (cp_ == nullptr) cp_ = cp;
            all_.push_back(cp);
        }
        thread_ = std::thread([chain = chain_] { stack::EventChain_Run(chain); });
    }
    ~ChainThread() { Stop(); }
    void Stop() {
        if (!thread_.joinable()) return;
        // Asked from the chain thread itself: a stop request from another
        // thread can race with the chain closing its wake descriptor.
        auto stop = [](void* chain) {
            stack::EventChain_RequestStop(static_cast<stack::EventChain*>(chain));
        };
        stack::LifetimeMonitor_Add(stack::EventChain_Timers(chain_), chain_, -1, stop, nullptr);
        thread_.join();
    }
    ControlPoint* Cp() { return cp_; }
    const std::vector<ControlPoint*>& All() const { return all_; }
    void Wake() { stack::EventChain_Wake(chain_); }

    void Post(std::function<void()> work) {
        struct Job {
            std::function<void()> work;
            std::mutex mutex;
            std::condition_variable done;
            bool finished = false;
        } job{std::move(work), {}, {}, false};
        auto run = [](void* data) {
            auto* j = static_cast<Job*>(data);
            j->work();
            std::lock_guard<std::mutex> guard(j->mutex);
            j->finished = true;
            j->done.notify_all();
        };
        stack::LifetimeMonitor_Add(stack::EventChain_Timers(chain_), &job, -1, run, nullptr);
        std::unique_lock<std::mutex> lock(job.mutex);
        job.done.wait(lock, [&] { return job.finished; });
    }
    // An SSDP sighting delivered on the chain thread.
    void Ssdp(const std::string& udn, int alive, const std::string& location, int maxAge,
              int kind) {
        Post([&] { cp_->OnSsdpResult(udn.c_str(), alive, location.c_str(), maxAge, kind); });
    }
    // Waits until `predicate` (run on the chain thread) holds, up to 10 s.
    bool Until(const std::function<bool(ControlPoint*)>& predicate) {
        for (int i = 0; i < 1000; ++i) {
            bool ok = false;
            Post([&] { ok = predicate(cp_); });
            if (ok) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

  private:
    stack::EventChain* chain_;
    ControlPoint* cp_ = nullptr;
    std::vector<ControlPoint*> all_;
    std::thread thread_;
};

}  // namespace norvale::cp::testing
