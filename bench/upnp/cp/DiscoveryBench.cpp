// Discovery of a network of 200 simulated NAS devices with 3 services each:
// the time from the control point's first search to its 200th deviceAdded,
// and the heap the control point holds then (all trees, tables, HTTP state).
// Run inside netns-run: it starts nas-sim and opens sockets.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tests/tools/nas-sim/NasSimProcess.h"
#include "upnp/cp/ControlPoint.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"

namespace {

using norvale::testing::NasSimProcess;
constexpr int kDevices = 200;

struct Counter {
    std::mutex mutex;
    std::condition_variable done;
    int added = 0;
    std::size_t heapAtLast = 0;
    static void Added(norvale::cp::UPnPDevice*, void* self) {
        auto* c = static_cast<Counter*>(self);
        std::lock_guard<std::mutex> guard(c->mutex);
        if (++c->added == kDevices) {
            c->heapAtLast = mallinfo2().uordblks;
            c->done.notify_all();
        }
    }
};

void StopFromChain(norvale::stack::EventChain* chain) {
    norvale::stack::LifetimeMonitor_Add(
        norvale::stack::EventChain_Timers(chain), chain, -1,
        [](void* c) {
            norvale::stack::EventChain_RequestStop(static_cast<norvale::stack::EventChain*>(c));
        },
        nullptr);
}

void BM_Discover200DevicesWith3Services(benchmark::State& state) {
    static std::unique_ptr<NasSimProcess> sim;
    if (!sim) {
        sim = std::make_unique<NasSimProcess>(std::vector<std::string>{
            "--generate", std::to_string(kDevices), "--services", "3", "--udp-pace", "10"});
    }
    if (!sim->Started()) {
        state.SkipWithError("nas-sim could not be started (build it; run under netns-run)");
        return;
    }
    double heapMb = 0;
    for (auto _ : state) {
        Counter counter;
        malloc_trim(0);
        const std::size_t heapBefore = mallinfo2().uordblks;
        auto* chain = norvale::stack::EventChain_Create();
        norvale::cp::ControlPoint_Create(chain, "urn:schemas-upnp-org:device:LuNAS:1",
                                         &Counter::Added, nullptr, &counter);
        const auto start = std::chrono::steady_clock::now();  // first search: first pass
        std::thread thread([chain] { norvale::stack::EventChain_Run(chain); });
        bool complete = false;
        {
            std::unique_lock<std::mutex> lock(counter.mutex);
            complete = counter.done.wait_for(lock, std::chrono::seconds(30),
                                             [&] { return counter.added >= kDevices; });
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        StopFromChain(chain);
        thread.join();
        if (!complete) {
            state.SkipWithError("not every device was announced");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        heapMb = static_cast<double>(counter.heapAtLast - heapBefore) / (1024.0 * 1024.0);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["cp_heap_MB"] = heapMb;
    state.counters["process_peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
// Five runs, reported with their median (and mean and spread).
BENCHMARK(BM_Discover200DevicesWith3Services)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("NORVALE_BIN_DIR") == nullptr) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        std::string dir(self, n > 0 ? static_cast<std::size_t>(n) : 0);
        dir = dir.substr(0, dir.rfind('/'));
        setenv("NORVALE_BIN_DIR", (dir + "/../bin").c_str(), 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
