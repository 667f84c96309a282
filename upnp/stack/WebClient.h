#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/HttpReader.h"
#include "upnp/stack/KeyedTable.h"
#include "upnp/stack/LinkedList.h"
#include "upnp/stack/Packet.h"
#include "upnp/stack/StackSemaphore.h"

namespace norvale::stack {

class EventChain;
class LifetimeMonitor;
class ILibWebClient;
struct ConnectionRecord;
struct RequestRecord;

// Interrupt codes handed to a response callback.
constexpr int kWebInterruptNone = 0;
constexpr int kWebInterruptGivenUp = 5;  // the server could not be reached, or the client ended
constexpr int kWebInterruptDropped = 6;  // WebClient_DropServerRequests

// A response callback: `interrupt` 0, 5 or 6; `packet` the response head
// (null when there is none: a failed, cancelled or dropped request); `buffer`
// / `length` body bytes (null/0 when none), of which the callback reports in
// *consumed how many it used (the rest is offered again with the next piece);
// `done` -1 on the last call for the request, 0 before it; `pause` the
// connection's pause indicator (set it nonzero to stop delivery until
// WebClient_Resume). `connection` is null for a dropped request. The packet,
// the buffer and the connection are valid only during the call. A request
// ends in exactly one call with `done` -1; a null packet there means failure.
using WebClient_OnResponse = void (*)(ConnectionRecord* connection, int interrupt, Packet* packet,
                                      char* buffer, int* consumed, int length, int done,
                                      void* user1, void* user2, int* pause);
// Send notification of a streaming request: its buffers have been handed to
// the connection.
using WebClient_OnSendOk = void (*)(ConnectionRecord* connection, void* user1, void* user2);

// Cancel handle of a queued request; null means no request. Never
// dereferenced: a token of a finished request is simply not found again.
using WebRequestToken = void*;

// Tunables; the defaults are the product's values. Tests shorten them.
struct WebClientOptions {
    int retryUnitMs = 1000;         // connect attempts are spaced 0, 1, 2, 4, 8, 16 units
    int maxRetryDelay = 32;         // units; the failure that finds this delay gives up
    int idleTimeoutMs = 3000;       // a finished connection is kept this long for reuse
    int maxIdleConnections = 20;    // remembered closed connections
    int responseTimeoutMs = 30000;  // a request not answered completely by then fails
    int connectTimeoutMs = 30000;
    int socketBufferSize = 32768;
    // Pool sockets one host (IPv4 address, any port) may hold at once, so a
    // host with silent ports cannot take the whole pool from the others.
    int maxConnectionsPerHost = 2;
    // Connections (slots) one server (address and port) may have. A request
    // that need not keep its order takes the first slot without a
    // connection, else the one with the shortest queue; the others keep to
    // slot 0, so they go out one after the other.
    int connectionsPerServer = 1;
    HttpReader::Limits limits{};
};

// Choices of one request; zero and null take the client's defaults.
struct WebRequestOptions {
    // Groups requests for WebClient_DropTagged (for example every request of
    // one device tree); null: none.
    void* tag = nullptr;
    int connectTimeoutMs = 0;   // a connect made for this request gives up after it
    int responseTimeoutMs = 0;  // not answered completely by then: the request fails
    // False: the request may go out beside earlier ones to the same server
    // on another connection (a GET that changes nothing).
    bool ordered = true;
};

// One queued request: its send buffers (freed with it when owned), the
// response callback and its user values. Owned by its connection record.
struct RequestRecord {
    RequestRecord() = default;
    RequestRecord(const RequestRecord&) = delete;
    RequestRecord& operator=(const RequestRecord&) = delete;
    ~RequestRecord() {
        for (int i = 0; i < 2; ++i) {
            if (owned[i]) std::free(buffer[i]);
        }
    }

    std::uint64_t id = 0;
    char* buffer[2] = {nullptr, nullptr};
    int length[2] = {0, 0};
    bool owned[2] = {false, false};
    bool head = false;
    bool keepAlive = true;  // the request lets the connection persist
    bool resent = false;    // already sent once more after a stale connection
    bool finished = false;  // the final callback has been (or is being) made
    WebRequestOptions options;
    WebClient_OnResponse callback = nullptr;
    WebClient_OnSendOk onSendOk = nullptr;
    void* user1 = nullptr;
    void* user2 = nullptr;
};

// One server connection: its queue of requests, the pool socket it holds
// while connected and its response state. Owned by the client; lives until
// the server is given up, it is evicted from the idle table, or the client
// ends.
struct ConnectionRecord {
    ConnectionRecord(ILibWebClient* owner, const sockaddr_in& address, std::string connectionKey);
    ConnectionRecord(const ConnectionRecord&) = delete;
    ConnectionRecord& operator=(const ConnectionRecord&) = delete;
    ~ConnectionRecord();

    enum class State { kParked, kBacklog, kRetryWait, kConnecting, kConnected };

    ILibWebClient* client;
    sockaddr_in server;  // also the packet's receiverPointer
    std::string key;     // "%s:%d:%d": address, port, slot
    int slot = 0;

    // Guarded by the client lock.
    std::deque<RequestRecord*> queue;  // waiting requests (not the current one)
    State state = State::kParked;
    bool inIdleTable = false;
    bool kicked = false;

    // Chain thread only.
    int poolIndex = -1;
    RequestRecord* current = nullptr;  // the request whose response is awaited
    int retryDelay = 0;                // retry units before the next attempt
    bool reused = false;               // current went out after an earlier request
    bool delivering = false;
    int abortInterrupt = -1;  // >= 0: end current with this code after the delivery
    bool idleTimer = false;
    std::uint32_t localInterface = 0;
    int pause = 0;
    HttpReader reader;
};

// The HTTP client: a pool of sockets shared by every server, one connection
// record per server with its request queue, a backlog of connections waiting
// for a socket, connect retries, idle reuse. Owned by its chain. Requests may
// be queued from any thread; everything else belongs to the chain thread.
class ILibWebClient : public ChainedObject {
  public:
    ILibWebClient(EventChain* chain, int poolSize, const WebClientOptions& options);
    ~ILibWebClient() override;

    // Creates the pool sockets and timer services on the chain; once, after
    // the client itself was added to the chain.
    void CreatePool(int poolSize);

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnDestroy() override;

    WebRequestToken Request(const sockaddr_in& server, char* header, int headerLength,
                            int headerOwnership, char* body, int bodyLength, int bodyOwnership,
                            WebClient_OnResponse callback, WebClient_OnSendOk onSendOk, void* user1,
                            void* user2, const WebRequestOptions& requestOptions = {});
    void Cancel(WebRequestToken token);
    void DropServerRequests(const char* addressText, int port);
    void DropTagged(void* tag);
    void Resume(ConnectionRecord* connection);

    // For tests and benchmarks (chain thread).
    std::size_t ConnectionCount();
    std::size_t IdleCount();
    int ConnectAttempts() const { return connectAttempts_; }

  private:
    friend struct ConnectionRecord;
    static void OnSocketData(AsyncSocket* socket, char* buffer, int* consumed, int length,
                             AsyncSocket_OnInterrupt* onInterrupt, void** user, int* pause);
    static void OnSocketConnect(AsyncSocket* socket, int ok, void* user);
    static void OnSocketDisconnect(AsyncSocket* socket, void* user);
    static void OnRetryTimer(void* data);
    static void OnIdleTimer(void* data);
    static void OnDeadlineTimer(void* data);
    static void OnReaderDeliver(void* owner, Packet* packet, char* buffer, int* consumed,
                                int length, int done);
    // Calls the final callback of a request that ends without a response
    // (no packet, done -1), then frees the request.
    static void EndWithoutResponse(RequestRecord* request, ConnectionRecord* connection,
                                   int interrupt);

    ConnectionRecord* OwnerOf(AsyncSocket* socket);
    void ServiceKicks();
    void AssignSockets();
    bool StealIdleSocket();
    ConnectionRecord* TakeAssignableLocked();
    std::string ChooseKeyLocked(const char* address, int port, bool ordered);
    void DropConnectionRequests(const std::string& key);
    int SocketsHeldBy(std::uint32_t address, ConnectionRecord** idle) const;
    void AbortCurrent(ConnectionRecord* connection, int interrupt);
    void StartRequest(ConnectionRecord* connection);
    void FinishCurrent(ConnectionRecord* connection);
    void FailCurrent(ConnectionRecord* connection, int interrupt);
    void HandleData(ConnectionRecord* connection, char* buffer, int* consumed, int length,
                    int* pause);
    void AfterAbort(ConnectionRecord* connection);
    void ConnectFailed(ConnectionRecord* connection);
    void CloseSocket(ConnectionRecord* connection);
    void CloseAndPark(ConnectionRecord* connection);
    void Requeue(ConnectionRecord* connection);
    void GoIdle(ConnectionRecord* connection);
    void ParkLocked(ConnectionRecord* connection);
    void GiveUp(ConnectionRecord* connection);
    void StopTimers(ConnectionRecord* connection);
    RequestRecord* TakeRequestLocked(std::uint64_t id, ConnectionRecord** connection);

    EventChain* chain_;
    WebClientOptions options_;
    std::vector<AsyncSocket*> pool_;
    std::vector<ConnectionRecord*> owners_;  // pool index -> connection holding it
    LifetimeMonitor* retryTimers_ = nullptr;
    LifetimeMonitor* idleTimers_ = nullptr;
    LifetimeMonitor* deadlineTimers_ = nullptr;

    StackSemaphore lock_;  // tables, backlog, queues, kicks, token map
    KeyedTable<ConnectionRecord*> connections_;
    KeyedTable<ConnectionRecord*> idle_;
    Queue<ConnectionRecord*> backlog_;
    std::vector<ConnectionRecord*> kicks_;
    std::unordered_map<std::uint64_t, ConnectionRecord*> tokens_;  // request id -> connection
    std::uint64_t nextId_ = 1;
    int connectAttempts_ = 0;
    bool destroyed_ = false;
};

// Creates a client with `poolSize` sockets on `chain` (which owns it); null
// for a null chain or a pool size below 1.
ILibWebClient* WebClient_Create(int poolSize, EventChain* chain);
ILibWebClient* WebClient_CreateWithOptions(int poolSize, EventChain* chain,
                                           const WebClientOptions& options);

// Queues a request to `server` (IPv4 address and port). `header` (and the
// optional `body`) are sent as given; ownership as for AsyncSocket_Send:
// 0 the client frees them (malloc'd) when the request ends, 1 static, 2 the
// caller keeps them (they are copied here). A header beginning with "HEAD "
// marks a HEAD request. A non-null `onSendOk` makes the request streaming
// (interim 1xx answers are delivered, and the send is notified). Safe from
// any thread. Returns the cancel token (null when nothing was queued).
WebRequestToken WebClient_Request(ILibWebClient* client, const sockaddr_in* server, char* header,
                                  int headerLength, int headerOwnership, char* body, int bodyLength,
                                  int bodyOwnership, WebClient_OnResponse callback,
                                  WebClient_OnSendOk onSendOk, void* user1, void* user2,
                                  const WebRequestOptions& options = {});

// Serialises `packet` (PacketToText), destroys it and queues the text.
WebRequestToken WebClient_RequestPacket(ILibWebClient* client, const sockaddr_in* server,
                                        Packet* packet, WebClient_OnResponse callback, void* user1,
                                        void* user2, const WebRequestOptions& options = {});

// Removes the request; the one in progress also resets and closes its
// connection (further queued requests go out on a new one). The callback is
// called once, inside this call (or right after the running delivery when
// called from the same connection's callback), with no packet and done -1.
// An unknown or finished token does nothing. Chain thread.
void WebClient_Cancel(ILibWebClient* client, WebRequestToken token);

// Ends every request queued for `addressText`:`port` with interrupt 6 (no
// connection, no packet, done -1) and closes the connection's socket; the
// connection record stays. Chain thread.
void WebClient_DropServerRequests(ILibWebClient* client, const char* addressText, int port);

// Ends every request queued or in progress with `tag` (null: nothing) as
// WebClient_DropServerRequests does (interrupt 6, no connection, no packet,
// done -1); a connection whose current request goes is closed, and the
// requests of other tags on it go out on a new one. Chain thread.
void WebClient_DropTagged(ILibWebClient* client, void* tag);

// Clears the pause indicator and lets the socket deliver again.
void WebClient_Resume(ConnectionRecord* connection);

// The response head of the request in progress (null when none).
Packet* WebClient_GetHeader(ConnectionRecord* connection);
// The local address the connection was made from (network order), and the
// server it talks to.
std::uint32_t WebClient_GetLocalInterface(ConnectionRecord* connection);
const sockaddr_in* WebClient_GetServer(ConnectionRecord* connection);

}  // namespace norvale::stack
