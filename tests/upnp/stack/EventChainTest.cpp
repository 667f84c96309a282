#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/StackClock.h"

using namespace norvale::stack;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<std::uint32_t> g_tick{1000};
std::uint32_t FakeTick() {
    return g_tick.load();
}

// Runs the tests on a clock that only moves when a test moves it.
class FakeClock : public ::testing::Test {
  protected:
    void SetUp() override {
        g_tick = 1000;
        StackClock_SetTickSource(FakeTick);
    }
    void TearDown() override { StackClock_SetTickSource(nullptr); }
};

// A chained object whose hooks call test code.
class Probe : public ChainedObject {
  public:
    std::function<void(int& blockMs)> prepare;
    std::function<void(int result)> ready;
    std::function<void()> destroy;
    void OnPrepare(SocketSet&, SocketSet&, SocketSet&, int& blockMs) override {
        if (prepare) prepare(blockMs);
    }
    void OnReady(int result, const SocketSet&, const SocketSet&, const SocketSet&) override {
        if (ready) ready(result);
    }
    void OnDestroy() override {
        if (destroy) destroy();
    }
};

// Records which callback each timer ended in.
struct Recorder {
    std::vector<std::string> events;
    static void Expire(void* data) { Get(data).events.push_back("expire:" + Name(data)); }
    static void Destroy(void* data) { Get(data).events.push_back("destroy:" + Name(data)); }

    struct Tag {
        Recorder* recorder;
        std::string name;
    };
    static Recorder& Get(void* data) { return *static_cast<Tag*>(data)->recorder; }
    static std::string Name(void* data) { return static_cast<Tag*>(data)->name; }
};

// Moves the clock by `stepMs` at the start of every pass and stops the chain
// after `passes` passes.
Probe* AddDriver(EventChain* chain, int passes, std::uint32_t stepMs) {
    auto* probe = new Probe;
    auto count = std::make_shared<int>(0);
    probe->prepare = [=](int&) {
        g_tick += stepMs;
        if (++*count >= passes) EventChain_RequestStop(chain);
    };
    EventChain_AddObject(chain, probe);
    return probe;
}

}  // namespace

TEST_F(FakeClock, TimersWithEqualExpiryRunNewestFirst) {
    EventChain* chain = EventChain_Create();
    Recorder rec;
    Recorder::Tag a{&rec, "a"}, b{&rec, "b"}, c{&rec, "c"};
    LifetimeMonitor* timers = EventChain_Timers(chain);
    LifetimeMonitor_Add(timers, &a, 10, Recorder::Expire, Recorder::Destroy);
    LifetimeMonitor_Add(timers, &b, 10, Recorder::Expire, Recorder::Destroy);
    LifetimeMonitor_Add(timers, &c, 5, Recorder::Expire, Recorder::Destroy);
    g_tick += 11;  // all due before the first pass
    AddDriver(chain, 2, 0);
    EventChain_Run(chain);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"expire:c", "expire:b", "expire:a"}));
}

TEST_F(FakeClock, RemovalFromInsideAnotherExpiryCallsDestroyNotExpire) {
    EventChain* chain = EventChain_Create();
    LifetimeMonitor* timers = EventChain_Timers(chain);
    Recorder rec;
    Recorder::Tag victim{&rec, "victim"};
    struct Killer {
        LifetimeMonitor* timers;
        void* victim;
        Recorder* rec;
    } killer{timers, &victim, &rec};
    LifetimeMonitor_Add(
        timers, &killer, 1,
        [](void* data) {
            auto* k = static_cast<Killer*>(data);
            k->rec->events.push_back("expire:killer");
            LifetimeMonitor_Remove(k->timers, k->victim);
        },
        nullptr);
    LifetimeMonitor_Add(timers, &victim, 2, Recorder::Expire, Recorder::Destroy);
    g_tick += 5;  // both due in the same pass, the killer first
    AddDriver(chain, 2, 0);
    EventChain_Run(chain);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"expire:killer", "destroy:victim"}));
}

TEST_F(FakeClock, OnlyEntriesStrictlyEarlierThanNowExpireAndZeroDelayNeverBlocks) {
    EventChain* chain = EventChain_Create();
    Recorder rec;
    Recorder::Tag zero{&rec, "zero"};
    LifetimeMonitor_Add(EventChain_Timers(chain), &zero, 0, Recorder::Expire, Recorder::Destroy);
    std::vector<int> blocks;
    std::vector<std::size_t> eventsSeen;
    auto* probe = new Probe;
    int pass = 0;
    probe->prepare = [&](int& blockMs) {
        blocks.push_back(blockMs);
        eventsSeen.push_back(rec.events.size());
        if (++pass == 2) g_tick += 1;  // the clock moves after the second pass
        if (pass == 3) EventChain_RequestStop(chain);
    };
    EventChain_AddObject(chain, probe);
    EventChain_Run(chain);
    // Passes 1 and 2: not due yet (expiry == now), and the wait is zero.
    EXPECT_EQ(blocks[0], 0);
    EXPECT_EQ(blocks[1], 0);
    EXPECT_EQ(eventsSeen[0], 0u);
    EXPECT_EQ(eventsSeen[1], 0u);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"expire:zero"}));
}

TEST_F(FakeClock, BlockTimeIsLoweredToTheNearestTimer) {
    EventChain* chain = EventChain_Create();
    Recorder rec;
    Recorder::Tag t{&rec, "t"};
    LifetimeMonitor_Add(EventChain_Timers(chain), &t, 250, Recorder::Expire, Recorder::Destroy);
    int seen = -1;
    auto* probe = new Probe;
    probe->prepare = [&](int& blockMs) {
        seen = blockMs;
        EventChain_RequestStop(chain);
    };
    EventChain_AddObject(chain, probe);
    EventChain_Run(chain);
    EXPECT_EQ(seen, 250);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"destroy:t"}));
}

TEST_F(FakeClock, EveryTimerEndsInExactlyOneCallbackAlsoAtTeardown) {
    EventChain* chain = EventChain_Create();
    LifetimeMonitor* own = EventChain_Timers(chain);
    LifetimeMonitor* second = LifetimeMonitor_Create(chain);
    static std::vector<int> calls;
    calls.assign(60, 0);
    std::vector<int> ids(60);
    for (int i = 0; i < 60; ++i) {
        ids[i] = i;
        LifetimeMonitor_Add(
            i % 2 ? own : second, &ids[i], i * 10, [](void* d) { ++calls[*static_cast<int*>(d)]; },
            [](void* d) { ++calls[*static_cast<int*>(d)]; });
    }
    for (int i = 0; i < 60; i += 7) LifetimeMonitor_Remove(i % 2 ? own : second, &ids[i]);
    AddDriver(chain, 30, 10);  // about half expire, the rest are destroyed at the end
    EventChain_Run(chain);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(calls[i], 1) << "timer " << i;
}

TEST_F(FakeClock, TimerAddedWhileTheChainTearsDownIsDestroyedAtOnce) {
    EventChain* chain = EventChain_Create();
    LifetimeMonitor* timers = EventChain_Timers(chain);
    Recorder rec;
    Recorder::Tag late{&rec, "late"};
    auto* probe = new Probe;
    probe->destroy = [&] {
        LifetimeMonitor_Add(timers, &late, 5, Recorder::Expire, Recorder::Destroy);
    };
    EventChain_AddObject(chain, probe);
    EventChain_RequestStop(chain);
    EventChain_Run(chain);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"destroy:late"}));
}

TEST(EventChain, HooksRunInOrderAndAStopBeforeRunOnlyTearsDown) {
    std::vector<std::string> order;
    EventChain* chain = EventChain_Create();
    for (const char* name : {"first", "second"}) {
        auto* probe = new Probe;
        std::string n = name;
        probe->prepare = [&order, n, chain](int&) {
            order.push_back("prepare:" + n);
            EventChain_RequestStop(chain);
        };
        probe->ready = [&order, n](int) { order.push_back("ready:" + n); };
        probe->destroy = [&order, n] { order.push_back("destroy:" + n); };
        EventChain_AddObject(chain, probe);
    }
    EventChain_Run(chain);
    EXPECT_EQ(order, (std::vector<std::string>{"prepare:first", "prepare:second", "ready:first",
                                               "ready:second", "destroy:first", "destroy:second"}));

    order.clear();
    chain = EventChain_Create();
    auto* probe = new Probe;
    probe->prepare = [&](int&) { order.push_back("prepare"); };
    probe->destroy = [&] { order.push_back("destroy"); };
    EventChain_AddObject(chain, probe);
    EventChain_RequestStop(chain);
    EventChain_Run(chain);
    EXPECT_EQ(order, (std::vector<std::string>{"destroy"}));
}

// The scheduler state of thread `tid` of this process ('S': asleep in the
// kernel, here in the chain's wait), or '?'.
char ThreadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');  // the name may hold blanks
    return end == std::string::npos || end + 2 >= text.size() ? '?' : text[end + 2];
}

TEST(EventChain, StopFromAnotherThreadEndsAOneDayWaitAtOnce) {
    EventChain* chain = EventChain_Create();
    std::atomic<int> blockSeen{0};
    auto* probe = new Probe;
    probe->prepare = [&](int& blockMs) { blockSeen = blockMs; };
    EventChain_AddObject(chain, probe);
    std::atomic<pid_t> runnerId{0};
    Clock::time_point stopped;
    std::thread runner([&] {
        runnerId = gettid();
        EventChain_Run(chain);
    });
    // Prepared its wait, then asleep in it.
    while (blockSeen == 0 || ThreadState(runnerId) != 'S') std::this_thread::yield();
    stopped = Clock::now();
    EventChain_RequestStop(chain);
    runner.join();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stopped);
    EXPECT_EQ(blockSeen, EventChain::kMaxWaitMs);
    EXPECT_LT(took.count(), 1000);  // a lost wake would hang for a day
}

TEST(EventChain, AddingAnEarlierTimerFromAnotherThreadWakesTheWait) {
    EventChain* chain = EventChain_Create();
    LifetimeMonitor* timers = EventChain_Timers(chain);
    static std::atomic<int> longCalls{0};
    longCalls = 0;
    LifetimeMonitor_Add(
        timers, &longCalls, 3600 * 1000, [](void*) { ++longCalls; }, [](void*) { ++longCalls; });
    struct Ctx {
        EventChain* chain;
        std::atomic<bool> fired{false};
    } ctx{chain};
    std::atomic<pid_t> runnerId{0};
    std::thread runner([&] {
        runnerId = gettid();
        EventChain_Run(chain);
    });
    // Asleep in its hour-long wait before the earlier timer comes.
    while (runnerId == 0 || ThreadState(runnerId) != 'S') std::this_thread::yield();
    LifetimeMonitor_Add(
        timers, &ctx, 1,
        [](void* d) {
            auto* c = static_cast<Ctx*>(d);
            c->fired = true;
            EventChain_RequestStop(c->chain);
        },
        nullptr);
    runner.join();  // would wait an hour if the add did not wake the chain
    EXPECT_TRUE(ctx.fired);
    EXPECT_EQ(longCalls, 1);  // destroyed at teardown
}

TEST(EventChain, IdleChainUsesNoProcessorTime) {
    EventChain* chain = EventChain_Create();
    std::atomic<long> cpuNs{-1};
    auto* probe = new Probe;
    probe->destroy = [&] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        cpuNs = t.tv_sec * 1000000000L + t.tv_nsec;
    };
    EventChain_AddObject(chain, probe);
    timespec before{};
    std::atomic<long> startNs{0};
    std::thread runner([&] {
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
        startNs = before.tv_sec * 1000000000L + before.tv_nsec;
        EventChain_Run(chain);
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EventChain_RequestStop(chain);
    runner.join();
    EXPECT_LT((cpuNs - startNs) / 1000000.0, 5.0) << "ms of CPU in one idle second";
}

TEST(StackClock, MonotonicAcrossThe32BitWrap) {
    static std::uint32_t tick;
    tick = 0xFFFFFF00u;
    StackClock_SetTickSource([] { return tick; });
    std::int64_t previous = StackClock_NowMs();
    for (int i = 0; i < 600; ++i) {
        tick += 1;  // crosses 2^32 after 256 steps
        const std::int64_t now = StackClock_NowMs();
        ASSERT_EQ(now, previous + 1) << "step " << i;
        previous = now;
    }
    tick += 5000;
    EXPECT_EQ(StackClock_NowMs(), previous + 5000);
    StackClock_SetTickSource(nullptr);
}

TEST(SocketSet, HoldsAtMostItsCapacityOfDistinctSockets) {
    SocketSet set;
    constexpr int kLast = 100 + SocketSet::kCapacity - 2;
    for (int fd = 100; fd <= kLast; ++fd) EXPECT_TRUE(set.Add(fd));
    EXPECT_TRUE(set.Add(70000));  // above the indexed descriptors
    EXPECT_TRUE(set.IsFull());
    EXPECT_TRUE(set.Add(100));  // already present
    EXPECT_TRUE(set.Add(70000));
    EXPECT_FALSE(set.Add(50));
    EXPECT_EQ(set.Count(), SocketSet::kCapacity);
    set.Remove(130);
    set.Remove(70000);
    EXPECT_FALSE(set.Contains(130));
    EXPECT_FALSE(set.Contains(70000));
    EXPECT_TRUE(set.Add(50));
    EXPECT_TRUE(set.Contains(kLast));
    set.Clear();
    EXPECT_FALSE(set.Contains(kLast));
    EXPECT_EQ(set.Count(), 0);
}

TEST(EventChain, AStopFromAnotherThreadNeverOutlivesTheChain) {
    // The chain may end the moment the stop flag is set; the stopping call
    // must be done with the chain before the chain is freed (ASan/TSan).
    for (int i = 0; i < 200; ++i) {
        EventChain* chain = EventChain_Create();
        std::thread runner([chain] { EventChain_Run(chain); });
        if (i % 2 == 0) std::this_thread::yield();
        EventChain_RequestStop(chain);
        runner.join();
    }
}
