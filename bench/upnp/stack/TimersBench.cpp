// Timer service cost with 100, 1,000 and 10,000 pending timers: adding and
// removing one timer, and dispatching one due timer. The cost per timer
// should grow no worse than logarithmically with the number pending.
#include <benchmark/benchmark.h>

#include <atomic>
#include <random>
#include <vector>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/StackClock.h"

using namespace norvale::stack;

namespace {

std::atomic<std::uint32_t> g_tick{1000};
std::uint32_t FakeTick() {
    return g_tick.load();
}
void Nothing(void*) {}

// A chain with `pending` timers spread over the next hour.
struct Fixture {
    EventChain* chain = EventChain_Create();
    LifetimeMonitor* timers = EventChain_Timers(chain);
    std::vector<char> keys;

    explicit Fixture(int pending) : keys(pending) {
        StackClock_SetTickSource(FakeTick);
        std::mt19937 random(7);
        for (int i = 0; i < pending; ++i) {
            LifetimeMonitor_Add(timers, &keys[i], 1000 + random() % 3600000, Nothing, Nothing);
        }
    }
    ~Fixture() {
        EventChain_RequestStop(chain);
        EventChain_Run(chain);
        StackClock_SetTickSource(nullptr);
    }
};

void BM_TimerAddRemove(benchmark::State& state) {
    Fixture fixture(static_cast<int>(state.range(0)));
    char key = 0;
    std::mt19937 random(11);
    for (auto _ : state) {
        LifetimeMonitor_Add(fixture.timers, &key, 1000 + random() % 3600000, Nothing, Nothing);
        LifetimeMonitor_Remove(fixture.timers, &key);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TimerDispatch(benchmark::State& state) {
    Fixture fixture(static_cast<int>(state.range(0)));
    char key = 0;
    SocketSet r, w, e;
    for (auto _ : state) {
        LifetimeMonitor_Add(fixture.timers, &key, 0, Nothing, Nothing);
        g_tick += 1;
        int block = EventChain::kMaxWaitMs;
        fixture.timers->OnPrepare(r, w, e, block);  // dispatches the one due timer
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_TimerAddRemove)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_TimerDispatch)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK_MAIN();
