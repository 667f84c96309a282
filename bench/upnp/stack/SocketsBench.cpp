// Socket layer speed on loopback, one chain, one thread:
//   Echo100MB: 100 MB sent by one AsyncSocket, echoed back by the accepted
//     end and read again (target: at least 1 GB/s of echoed data).
//   ShortConnections: connect, accept, adopt and close both ends 1,000 times
//     with the same two socket objects (target: under 50 us each).
// Run inside the loopback-only namespace (netns-run).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "tests/upnp/stack/SocketTestSupport.h"
#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/EventChain.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

constexpr std::int64_t kEchoBytes = 100 * 1000 * 1000;
constexpr int kChunk = 1 << 20;
constexpr int kConnections = 1000;

// One echo run: the client sends from a static chunk whenever its queue has
// drained, the server echoes with copy ownership and pauses while its own
// queue is not empty.
struct EchoRun {
    EventChain* chain = EventChain_Create();
    Listener listener;
    AsyncSocket* client = MakeSocket(chain, 256 * 1024);
    AsyncSocket* server = MakeSocket(chain, 256 * 1024);
    Peer clientPeer, serverPeer;
    std::vector<char> chunk = std::vector<char>(kChunk, 'e');
    std::int64_t sent = 0, echoed = 0;

    void Pump() {
        while (sent < kEchoBytes) {
            const int length = static_cast<int>(std::min<std::int64_t>(kChunk, kEchoBytes - sent));
            const int result = AsyncSocket_Send(client, chunk.data(), length, kBufferStatic);
            sent += length;
            if (result != kSendComplete) return;
        }
    }

    EchoRun() {
        clientPeer.connect = [this](AsyncSocket*, int) {
            AsyncSocket_Adopt(server, listener.Accept(), nullptr, &serverPeer);
            Pump();
        };
        clientPeer.sendDone = [this](AsyncSocket*) { Pump(); };
        clientPeer.data = [this](AsyncSocket*, char*, int* consumed, int length, int*) {
            *consumed = length;
            echoed += length;
            if (echoed == kEchoBytes) EventChain_RequestStop(chain);
        };
        serverPeer.data = [this](AsyncSocket* s, char* buffer, int* consumed, int length,
                                 int* pause) {
            *consumed = length;
            if (AsyncSocket_Send(s, buffer, length, kBufferCopy) != kSendComplete) *pause = 1;
        };
        serverPeer.sendDone = [](AsyncSocket* s) { AsyncSocket_Resume(s); };
    }
};

void Echo100MB(benchmark::State& state) {
    for (auto _ : state) {
        EchoRun run;
        ConnectTo(run.client, run.listener.Port(), &run.clientPeer);
        if (!RunChain(run.chain, 60000) || run.echoed != kEchoBytes) {
            state.SkipWithError("echo did not complete");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kEchoBytes);
}
BENCHMARK(Echo100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void ShortConnections(benchmark::State& state) {
    for (auto _ : state) {
        EventChain* chain = EventChain_Create();
        Listener listener(64);
        AsyncSocket* client = MakeSocket(chain);
        AsyncSocket* server = MakeSocket(chain);
        Peer clientPeer, serverPeer;
        int done = 0;
        clientPeer.connect = [&](AsyncSocket* s, int ok) {
            if (ok == 0) {
                EventChain_RequestStop(chain);
                return;
            }
            AsyncSocket_Adopt(server, listener.Accept(), nullptr, &serverPeer);
            AsyncSocket_Disconnect(server);
            AsyncSocket_Disconnect(s);
            if (++done == kConnections) {
                EventChain_RequestStop(chain);
                return;
            }
            ConnectTo(s, listener.Port(), &clientPeer);
        };
        ConnectTo(client, listener.Port(), &clientPeer);
        if (!RunChain(chain, 60000) || done != kConnections) {
            state.SkipWithError("connections did not complete");
            return;
        }
    }
    state.counters["us_per_connection"] =
        benchmark::Counter(kConnections * 1e6, benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * kConnections);
}
BENCHMARK(ShortConnections)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
