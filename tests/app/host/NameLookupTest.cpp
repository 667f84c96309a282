// The map-name lookups: bounded, a few at a time, never holding up their
// owner, with resolvers of the test's own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/NameLookup.h"

using namespace norvale::app;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Outcomes of submitted lookups, by name.
struct Outcomes {
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::string, bool> done;
    std::map<std::string, Clock::duration> after;
    std::atomic<std::size_t> count{0};  // what the wait tests (see NameLookup's Shared)
    Clock::time_point start = Clock::now();

    NameLookup::Done For(const std::string& name) {
        return [this, name](bool matches) {
            std::lock_guard<std::mutex> guard(lock);
            done[name] = matches;
            after[name] = Clock::now() - start;
            count = done.size();
            changed.notify_all();
        };
    }
    bool WaitFor(std::size_t wanted, std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, [&] { return count >= wanted; });
    }
};

bool TableResolver(const std::string& name, std::string* address) {
    if (name == "office") *address = "127.0.0.5";
    return name == "office";
}

// Names starting with "stuck" block until the gate opens.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> open{false};
    std::atomic<int> inside{0};
};
Gate& TheGate() {
    static Gate gate;
    return gate;
}

bool GatedResolver(const std::string& name, std::string* address) {
    if (name.rfind("stuck", 0) == 0) {
        Gate& gate = TheGate();
        std::unique_lock<std::mutex> guard(gate.lock);
        ++gate.inside;
        gate.changed.wait(guard, [&] { return gate.open.load(); });
        --gate.inside;
        gate.changed.notify_all();
    }
    *address = "127.0.0.9";
    return true;
}

std::atomic<int> g_running{0};
std::atomic<int> g_mostAtOnce{0};

bool CountingResolver(const std::string&, std::string* address) {
    const int now = ++g_running;
    int most = g_mostAtOnce.load();
    while (now > most && !g_mostAtOnce.compare_exchange_weak(most, now)) {
    }
    std::this_thread::sleep_for(30ms);
    --g_running;
    *address = "127.0.0.9";
    return true;
}

}  // namespace

TEST(NameLookup, MatchesOnlyTheSameAddressIgnoringCaseAndRefusesEmptyNames) {
    Outcomes outcomes;
    NameLookup lookup(&TableResolver, 2, 1000ms);
    EXPECT_TRUE(lookup.Submit("office", "127.0.0.5", outcomes.For("same")));
    EXPECT_TRUE(lookup.Submit("office", "127.0.0.6", outcomes.For("other address")));
    EXPECT_TRUE(lookup.Submit("nowhere", "127.0.0.5", outcomes.For("unknown name")));
    EXPECT_FALSE(lookup.Submit("", "127.0.0.5", outcomes.For("empty")));
    ASSERT_TRUE(outcomes.WaitFor(3));
    EXPECT_EQ(outcomes.done,
              (std::map<std::string, bool>{
                  {"same", true}, {"other address", false}, {"unknown name", false}}));
}

void SetGate(bool open) {
    Gate& gate = TheGate();
    std::lock_guard<std::mutex> guard(gate.lock);
    gate.open = open;
    gate.changed.notify_all();
}

TEST(NameLookup, ALateAnswerCountsAsNoMatchAndTheEndNeverWaitsForAStuckLookup) {
    Outcomes outcomes;
    SetGate(false);
    {
        NameLookup lookup(&GatedResolver, 2, 200ms);
        lookup.Submit("stuck-1", "127.0.0.9", outcomes.For("stuck-1"));
        lookup.Submit("stuck-2", "127.0.0.9", outcomes.For("stuck-2"));
        lookup.Submit("quick", "127.0.0.9", outcomes.For("quick"));
        std::this_thread::sleep_for(400ms);  // past the bound
        EXPECT_EQ(lookup.BusyThreads(), 2);
        SetGate(true);
        ASSERT_TRUE(outcomes.WaitFor(3, 5s));
        // The right address, but too late.
        EXPECT_FALSE(outcomes.done["stuck-1"]);
        EXPECT_FALSE(outcomes.done["stuck-2"]);
        EXPECT_TRUE(outcomes.done["quick"]);
    }
    SetGate(false);
    auto lookup = std::make_unique<NameLookup>(&GatedResolver, 2, 200ms);
    lookup->Submit("stuck-3", "127.0.0.9", outcomes.For("stuck-3"));
    lookup->Submit("stuck-4", "127.0.0.9", outcomes.For("stuck-4"));
    lookup->Submit("stuck-5", "127.0.0.9", outcomes.For("stuck-5"));
    while (lookup->BusyThreads() < 2) std::this_thread::sleep_for(5ms);
    const auto ending = Clock::now();
    lookup.reset();  // with both threads blocked in the resolver
    EXPECT_LT(Clock::now() - ending, 150ms) << "the end waited for a lookup";
    SetGate(true);
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> guard(gate.lock);
    EXPECT_TRUE(gate.changed.wait_for(guard, 5s, [&] { return gate.inside.load() == 0; }));
    guard.unlock();
    std::this_thread::sleep_for(50ms);  // the released threads end
    std::lock_guard<std::mutex> seen(outcomes.lock);
    EXPECT_EQ(outcomes.done.count("stuck-3") + outcomes.done.count("stuck-4") +
                  outcomes.done.count("stuck-5"),
              0u)
        << "no report after the end";
}

TEST(NameLookup, NoMoreThanItsThreadsRunAtOnce) {
    Outcomes outcomes;
    NameLookup lookup(&CountingResolver, 3, 1000ms);
    for (int i = 0; i < 12; ++i) {
        lookup.Submit("device-" + std::to_string(i), "127.0.0.9",
                      outcomes.For("device-" + std::to_string(i)));
    }
    ASSERT_TRUE(outcomes.WaitFor(12));
    EXPECT_LE(g_mostAtOnce.load(), 3);
    EXPECT_GE(g_mostAtOnce.load(), 2);
}
