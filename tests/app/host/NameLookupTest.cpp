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
    Clock::time_point start = Clock::now();

    NameLookup::Done For(const std::string& name) {
        return [this, name](bool matches) {
            std::lock_guard<std::mutex> guard(lock);
            done[name] = matches;
            after[name] = Clock::now() - start;
            changed.notify_all();
        };
    }
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, [&] { return done.size() >= count; });
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
    bool open = false;
    int inside = 0;
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
        gate.changed.wait(guard, [&] { return gate.open; });
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

TEST(NameLookup, AStuckLookupEndsAtItsBoundAndTheServiceEndsWithoutWaitingForIt) {
    Outcomes outcomes;
    auto lookup = std::make_unique<NameLookup>(&GatedResolver, 2, 200ms);
    lookup->Submit("stuck-1", "127.0.0.9", outcomes.For("stuck-1"));
    lookup->Submit("stuck-2", "127.0.0.9", outcomes.For("stuck-2"));
    lookup->Submit("stuck-3", "127.0.0.9", outcomes.For("stuck-3"));
    lookup->Submit("quick", "127.0.0.9", outcomes.For("quick"));
    ASSERT_TRUE(outcomes.WaitFor(4, 5s));
    EXPECT_TRUE(outcomes.done["quick"]);
    for (const char* name : {"stuck-1", "stuck-2", "stuck-3"}) {
        EXPECT_FALSE(outcomes.done[name]) << name;
        EXPECT_GE(outcomes.after[name], 190ms) << name;
    }
    // Two slots: the quick lookup waited for a bound at most twice.
    EXPECT_LT(outcomes.after["quick"], 2s);
    EXPECT_EQ(lookup->RunningLookups(), 3);
    lookup->Submit("stuck-4", "127.0.0.9", outcomes.For("stuck-4"));
    const auto ending = Clock::now();
    lookup.reset();  // with lookups still blocked in the resolver
    EXPECT_LT(Clock::now() - ending, 150ms) << "the end waited for a lookup";

    Gate& gate = TheGate();
    std::unique_lock<std::mutex> guard(gate.lock);
    gate.open = true;
    gate.changed.notify_all();
    // Every stray lookup thread ends once its resolver returns.
    EXPECT_TRUE(gate.changed.wait_for(guard, 5s, [&] { return gate.inside == 0; }));
    guard.unlock();
    std::this_thread::sleep_for(50ms);
}

TEST(NameLookup, NoMoreThanItsSlotsRunAtOnce) {
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
