#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/upnp/stack/NothingLeftOpen.h"
#include "tests/upnp/stack/SocketTestSupport.h"
#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/EventChain.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

// A client socket connected to a server-side socket that adopted the accepted
// descriptor; `ready` runs once both ends are up.
struct Pair {
    EventChain* chain = EventChain_Create();
    Listener listener;
    AsyncSocket* client;
    AsyncSocket* server;
    Peer clientPeer, serverPeer;
    std::function<void()> ready;

    explicit Pair(int serverBuffer = 4096, int clientBuffer = 4096)
        : client(MakeSocket(chain, clientBuffer)), server(MakeSocket(chain, serverBuffer)) {
        clientPeer.connect = [this](AsyncSocket*, int ok) {
            ASSERT_EQ(ok, -1);
            AsyncSocket_Adopt(server, listener.Accept(), Peer::OnInterrupt, &serverPeer);
            if (ready) ready();
        };
    }
    bool Run() {
        ConnectTo(client, listener.Port(), &clientPeer);
        return RunChain(chain);
    }
    void Stop() { EventChain_RequestStop(chain); }
};

std::string Pattern(std::size_t length, int seed) {
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return text;
}

class AsyncSocketTest : public NothingLeftOpen {};

}  // namespace

TEST_F(AsyncSocketTest, ConnectSucceedsOrIsRefusedAndOpenSocketsAreInterruptedAtTeardown) {
    EventChain* chain = EventChain_Create();
    Listener listener;
    int closedPort = 0;
    {
        Listener gone;  // a port that was just free
        closedPort = gone.Port();
    }
    AsyncSocket* good = MakeSocket(chain);
    AsyncSocket* refused = MakeSocket(chain);
    Peer goodPeer, refusedPeer;
    std::vector<int> results(2, 1);
    int interrupts = 0, disconnects = 0;
    goodPeer.connect = [&](AsyncSocket* s, int ok) {
        results[0] = ok;
        EXPECT_EQ(AsyncSocket_GetLocalInterface(s), Loopback());
        EXPECT_EQ(AsyncSocket_GetRemotePort(s), listener.Port());
        EXPECT_FALSE(AsyncSocket_IsClosed(s));
    };
    refusedPeer.connect = [&](AsyncSocket* s, int ok) {
        results[1] = ok;
        EXPECT_TRUE(AsyncSocket_IsClosed(s));
    };
    goodPeer.interrupt = [&](AsyncSocket*) { ++interrupts; };
    refusedPeer.interrupt = [&](AsyncSocket*) { ++interrupts; };
    goodPeer.disconnect = refusedPeer.disconnect = [&](AsyncSocket*) { ++disconnects; };
    ConnectTo(good, listener.Port(), &goodPeer);
    ConnectTo(refused, closedPort, &refusedPeer);
    After(chain, 200, [&] { EventChain_RequestStop(chain); });
    ASSERT_TRUE(RunChain(chain));
    EXPECT_EQ(results, (std::vector<int>{-1, 0}));
    EXPECT_EQ(interrupts, 1);  // only the open one, at teardown
    EXPECT_EQ(disconnects, 0);
}

TEST_F(AsyncSocketTest, ConnectWithoutAnswerTimesOut) {
    // A listener whose queue is full drops further handshakes unanswered.
    Listener full(0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = Loopback();
        target.sin_port = htons(static_cast<std::uint16_t>(full.Port()));
        connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target);
        fillers.push_back(fd);
    }
    usleep(20000);
    EventChain* chain = EventChain_Create();
    AsyncSocket* socket = MakeSocket(chain);
    AsyncSocket_SetConnectTimeout(socket, 150);
    Peer peer;
    int result = 1;
    peer.connect = [&](AsyncSocket* s, int ok) {
        result = ok;
        EXPECT_TRUE(AsyncSocket_IsClosed(s));
        EventChain_RequestStop(chain);
    };
    ConnectTo(socket, full.Port(), &peer);
    ASSERT_TRUE(RunChain(chain, 5000));
    EXPECT_EQ(result, 0);
    for (int fd : fillers) close(fd);
}

TEST_F(AsyncSocketTest, QueuedSendsOfEveryOwnershipArriveInOrderAtASlowReader) {
    Pair pair(65536);
    // The first is larger than both socket buffers together, so it cannot go at once.
    const std::string first = Pattern(12 << 20, 1), second = Pattern(2 << 20, 2),
                      third = Pattern(1 << 20, 3);
    std::string received, callerCopy = third;
    std::vector<int> sendResults;
    int sendDone = 0;
    pair.ready = [&] {
        char* owned = static_cast<char*>(std::malloc(first.size()));
        std::memcpy(owned, first.data(), first.size());
        sendResults.push_back(
            AsyncSocket_Send(pair.client, owned, int(first.size()), kBufferOwned));
        sendResults.push_back(
            AsyncSocket_Send(pair.client, second.data(), int(second.size()), kBufferStatic));
        sendResults.push_back(
            AsyncSocket_Send(pair.client, callerCopy.data(), int(callerCopy.size()), kBufferCopy));
        callerCopy.assign(callerCopy.size(), '#');  // the socket must have copied it
        EXPECT_GT(AsyncSocket_GetPendingBytes(pair.client), 0);
    };
    pair.clientPeer.sendDone = [&](AsyncSocket*) { ++sendDone; };
    // The reader takes at most 64 KiB per call and pauses 1 ms after each.
    pair.serverPeer.data = [&](AsyncSocket* s, char* buffer, int* consumed, int length,
                               int* pause) {
        *consumed = std::min(length, 65536);
        received.append(buffer, *consumed);
        *pause = 1;
        After(pair.chain, 1, [s] { AsyncSocket_Resume(s); });
        if (received.size() == first.size() + second.size() + third.size()) pair.Stop();
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(sendResults, (std::vector<int>{kSendQueued, kSendQueued, kSendQueued}));
    EXPECT_EQ(sendDone, 1);
    EXPECT_TRUE(received == first + second + third);
}

TEST_F(AsyncSocketTest, HandlerThatConsumesNothingIsCalledAgainOnlyForNewData) {
    Pair pair;
    std::vector<std::string> offered;
    pair.ready = [&] {
        AsyncSocket_Send(pair.client, "abc", 3, kBufferStatic);
        After(pair.chain, 50, [&] { AsyncSocket_Send(pair.client, "def", 3, kBufferStatic); });
        After(pair.chain, 100, [&] { pair.Stop(); });
    };
    pair.serverPeer.data = [&](AsyncSocket*, char* buffer, int* consumed, int length, int*) {
        offered.emplace_back(buffer, length);
        *consumed = 0;
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(offered, (std::vector<std::string>{"abc", "abcdef"}));
}

TEST_F(AsyncSocketTest, ResumeDeliversBufferedBytesWithoutNewData) {
    Pair pair;
    std::vector<std::string> offered;
    pair.ready = [&] { AsyncSocket_Send(pair.client, "hello world", 11, kBufferStatic); };
    pair.serverPeer.data = [&](AsyncSocket* s, char* buffer, int* consumed, int length,
                               int* pause) {
        offered.emplace_back(buffer, length);
        if (offered.size() == 1) {
            *consumed = 6;
            *pause = 1;
            After(pair.chain, 50, [s] { AsyncSocket_Resume(s); });
        } else {
            *consumed = length;
            pair.Stop();
        }
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(offered, (std::vector<std::string>{"hello world", "world"}));
}

TEST_F(AsyncSocketTest, SendOnClosedSocketFailsAndFreesOwnedBuffer) {
    EventChain* chain = EventChain_Create();
    AsyncSocket* socket = MakeSocket(chain);
    EXPECT_EQ(AsyncSocket_Send(socket, static_cast<char*>(std::malloc(64)), 64, kBufferOwned),
              kSendClosed);
    EXPECT_EQ(AsyncSocket_Send(nullptr, static_cast<char*>(std::malloc(64)), 64, kBufferOwned),
              kSendClosed);
    EXPECT_EQ(AsyncSocket_Send(socket, "static", 6, kBufferStatic), kSendClosed);
    EventChain_RequestStop(chain);
    EventChain_Run(chain);
}

TEST_F(AsyncSocketTest, FailedSendDisconnectsLaterNeverInsideTheSend) {
    Pair pair;
    int disconnects = 0;
    int result = 1;
    pair.clientPeer.connect = [&](AsyncSocket* s, int) {
        // The peer resets the connection; the next send fails.
        int fd = pair.listener.Accept();
        linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(fd);
        result = AsyncSocket_Send(s, static_cast<char*>(std::malloc(16)), 16, kBufferOwned);
        EXPECT_EQ(disconnects, 0);
    };
    pair.clientPeer.disconnect = [&](AsyncSocket* s) {
        ++disconnects;
        EXPECT_TRUE(AsyncSocket_IsClosed(s));
        After(pair.chain, 20, [&] { pair.Stop(); });
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(result, kSendClosed);
    EXPECT_EQ(disconnects, 1);
}

TEST_F(AsyncSocketTest, BufferCompactsBeforeGrowingAndReportsEveryMove) {
    Pair pair(4096);
    const std::string stream = Pattern(12000, 5);
    std::vector<std::ptrdiff_t> moves;
    char* held = nullptr;    // the start of the unconsumed bytes, as a parser would keep it
    std::size_t offset = 0;  // stream position of `held`
    int largest = 0;
    // The moved callback carries no test state of its own.
    static std::vector<std::ptrdiff_t>* g_moves;
    static char** g_held;
    g_moves = &moves;
    g_held = &held;
    pair.ready = [&] {
        AsyncSocket_SetBufferMoved(pair.server, [](AsyncSocket*, void*, std::ptrdiff_t by) {
            g_moves->push_back(by);
            if (*g_held != nullptr) *g_held += by;
        });
        AsyncSocket_Send(pair.client, stream.data(), 3000, kBufferStatic);
    };
    pair.serverPeer.data = [&](AsyncSocket* s, char* buffer, int* consumed, int length, int*) {
        if (held != nullptr) {
            EXPECT_EQ(held, buffer);  // every move was reported
        }
        ASSERT_EQ(std::string(buffer, length), stream.substr(offset, length));
        char* base;
        int begin, end;
        AsyncSocket_GetBuffer(s, &base, &begin, &end);
        largest = std::max(largest, end);
        // Use 100 bytes once, then nothing until the whole stream is in.
        *consumed = offset == 0 ? 100 : 0;
        if (offset == 0) {
            After(pair.chain, 20, [&] {
                AsyncSocket_Send(pair.client, stream.data() + 3000, int(stream.size()) - 3000,
                                 kBufferStatic);
            });
        }
        offset += *consumed;
        held = buffer + *consumed;
        if (offset + length - *consumed == stream.size()) pair.Stop();
    };
    ASSERT_TRUE(pair.Run());
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.front(), -100);  // compaction of the 100 used bytes
    EXPECT_EQ(largest, 11900);       // grown in 4096-byte steps to hold the rest
}

TEST_F(AsyncSocketTest, OversizedMessageEndsInBufferTooBigAndDisconnect) {
    Pair pair(4096);
    static int tooBig;
    tooBig = 0;
    int disconnects = 0;
    const std::string big = Pattern(20000, 9);
    pair.ready = [&] {
        AsyncSocket_SetMaxBufferSize(pair.server, 8192, [](AsyncSocket*, void*) { ++tooBig; });
        AsyncSocket_Send(pair.client, big.data(), int(big.size()), kBufferStatic);
    };
    pair.serverPeer.data = [](AsyncSocket*, char*, int* consumed, int, int*) { *consumed = 0; };
    pair.serverPeer.disconnect = [&](AsyncSocket*) {
        ++disconnects;
        pair.Stop();
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(tooBig, 1);
    EXPECT_EQ(disconnects, 1);
}

// Bytes the handler left unconsumed are still in the buffer when the close is
// reported (a body read until the close ends there).
TEST_F(AsyncSocketTest, PeerCloseDeliversDataThenDisconnectsWithUnconsumedBytesAtHand) {
    Pair pair;
    std::vector<std::string> events;
    pair.ready = [&] {
        AsyncSocket_Send(pair.server, "last words", 10, kBufferStatic);
        AsyncSocket_Disconnect(pair.server);
    };
    pair.clientPeer.data = [&](AsyncSocket*, char* buffer, int* consumed, int length, int*) {
        events.emplace_back("data:" + std::string(buffer, length));
        *consumed = length == 10 ? 5 : 0;
    };
    pair.clientPeer.disconnect = [&](AsyncSocket* s) {
        char* buffer;
        int begin, end;
        AsyncSocket_GetBuffer(s, &buffer, &begin, &end);
        events.emplace_back("disconnect:" + std::string(buffer + begin, end - begin));
        pair.Stop();
    };
    pair.serverPeer.disconnect = [&](AsyncSocket*) { events.emplace_back("server-disconnect"); };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(events, (std::vector<std::string>{"server-disconnect", "data:last words",
                                                "data:words", "disconnect:words"}));
}

TEST_F(AsyncSocketTest, SendsAndDisconnectFromAnotherThreadReachTheChainThread) {
    Pair pair;
    std::string received;
    std::thread::id chainThread, disconnectThread;
    std::thread worker;
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += "message " + std::to_string(i) + ";";
    pair.ready = [&] {
        chainThread = std::this_thread::get_id();
        worker = std::thread([&] {
            for (int i = 0; i < 200; ++i) {
                std::string text = "message " + std::to_string(i) + ";";
                EXPECT_NE(AsyncSocket_Send(pair.client, text.data(), int(text.size()), kBufferCopy),
                          kSendClosed);
            }
        });
    };
    pair.serverPeer.data = [&](AsyncSocket*, char* buffer, int* consumed, int length, int*) {
        received.append(buffer, length);
        *consumed = length;
        if (received.size() == expected.size()) {
            worker.join();
            std::thread([&] { AsyncSocket_Disconnect(pair.client); }).join();
        }
    };
    pair.clientPeer.disconnect = [&](AsyncSocket*) {
        disconnectThread = std::this_thread::get_id();
        pair.Stop();
    };
    ASSERT_TRUE(pair.Run());
    if (worker.joinable()) worker.join();
    EXPECT_EQ(received, expected);
    EXPECT_EQ(disconnectThread, chainThread);
}

TEST_F(AsyncSocketTest, ClosedSocketObjectIsReusedByTheNextConnect) {
    Pair pair;
    int connects = 0;
    pair.clientPeer.connect = [&](AsyncSocket* s, int ok) {
        ASSERT_EQ(ok, -1);
        close(pair.listener.Accept());
        if (++connects == 3) {
            pair.Stop();
            return;
        }
        AsyncSocket_Disconnect(s);
        ConnectTo(s, pair.listener.Port(), &pair.clientPeer);
    };
    ASSERT_TRUE(pair.Run());
    EXPECT_EQ(connects, 3);
}
