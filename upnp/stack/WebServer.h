#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/HttpReader.h"
#include "upnp/stack/Packet.h"

namespace norvale::stack {

class EventChain;
class LifetimeMonitor;
class WebServer;
struct WebSession;

// Request callback of a session: as the HTTP client's response callback,
// with `packet` the request head (valid during the call), body bytes in
// `buffer`/`length`, *consumed in/out and `done` -1 on the last call of a
// request. `interrupt` is always 0.
using WebSession_OnReceive = void (*)(WebSession* session, int interrupt, Packet* packet,
                                      char* buffer, int* consumed, int length, int done);
// The session's connection has ended; the session is freed right after.
using WebSession_OnDone = void (*)(WebSession* session);
// A new connection was accepted; install the request callback here.
using WebServer_OnSession = void (*)(WebSession* session, void* user);

// Result of the send functions for a closed session.
constexpr int kWebSessionClosed = -3;

// Tunables; the defaults are the product's values. Tests shorten them.
struct WebServerOptions {
    int firstRequestTimeoutMs = 3000;         // a connection must begin a request by then
    int keepAliveTimeoutMs = 3000;            // ... and the next request after a kept answer
    int requestTimeoutMs = 30000;             // a begun request must be complete by then
    int maxHeaderBytes = 3072;                // a longer head is answered 413
    std::int64_t maxBodyBytes = 1024 * 1024;  // unconsumed request body; more is answered 413
    int socketBufferSize = 32768;
};

// One accepted connection. Created by the server before on session, freed
// after on done; the pointer is valid until on done has returned.
struct WebSession {
    WebSession(WebServer* owner, int index, AsyncSocket* connection,
               const HttpReader::Limits& limits, HttpReader::Deliver deliver);
    WebSession(const WebSession&) = delete;
    WebSession& operator=(const WebSession&) = delete;

    WebServer* server;
    AsyncSocket* socket;
    int poolIndex;
    HttpReader reader;
    void* user = nullptr;
    WebSession_OnReceive onReceive = nullptr;
    WebSession_OnDone onDone = nullptr;
    WebSession_OnReceive target = nullptr;  // where the current request goes
    bool requestBegun = false;              // the current request's head has been delivered
    bool requestComplete = false;           // its last piece has been delivered
    bool responseComplete = false;
    bool closeAfterResponse = false;
    bool delivering = false;
    bool sendPending = false;   // a completed response still waits in the send queue
    bool closeWaiting = false;  // closing as soon as the send queue drains
    bool closed = false;        // closing or closed: sends are refused
};

// An HTTP server on the chain: a listening socket, a fixed pool of
// connection slots (further connections wait in the listen backlog), a
// session per connection. Owned by its chain; everything on the chain thread.
class WebServer : public ChainedObject {
  public:
    WebServer(EventChain* chain, int maxConnections, WebServer_OnSession onSession, void* user,
              const WebServerOptions& options);
    ~WebServer() override;

    // Opens the listening socket and the pool; false when no port could be bound.
    bool Open(int port);

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnReady(int selectResult, const SocketSet& readSet, const SocketSet& writeSet,
                 const SocketSet& errorSet) override;
    void OnDestroy() override;

    int LocalPort() const { return port_; }
    void AddHandler(const char* segment, WebSession_OnReceive handler);
    int Send(WebSession* session, char* buffer, int length, int ownership, bool complete);
    void Close(WebSession* session);
    int ActiveSessions() const;

  private:
    struct Handler {
        std::string segment;
        WebSession_OnReceive handler;
    };

    static void OnSocketData(AsyncSocket* socket, char* buffer, int* consumed, int length,
                             AsyncSocket_OnInterrupt* onInterrupt, void** user, int* pause);
    static void OnSocketDisconnect(AsyncSocket* socket, void* user);
    static void OnSocketSendDone(AsyncSocket* socket, void* user);
    static void OnIdleTimer(void* data);
    static void OnCloseTimer(void* data);
    static void OnReaderDeliver(void* owner, Packet* packet, char* buffer, int* consumed,
                                int length, int done);

    WebSession* SessionOf(AsyncSocket* socket);
    void Accept();
    bool BeginRequest(WebSession* session, Packet* packet);
    void RewriteTarget(WebSession* session, Packet* packet);
    void Route(WebSession* session, Packet* packet);
    void AfterFeed(WebSession* session, HttpReader::Status status, int* pause);
    void FinishExchange(WebSession* session);
    void ScheduleClose(WebSession* session);
    void EndSession(WebSession* session);

    EventChain* chain_;
    WebServerOptions options_;
    WebServer_OnSession onSession_;
    void* user_;
    int listenFd_ = -1;
    int port_ = 0;
    std::vector<AsyncSocket*> pool_;
    std::vector<WebSession*> sessions_;  // pool index -> session
    std::vector<Handler> handlers_;
    LifetimeMonitor* idleTimers_ = nullptr;   // first-request, keep-alive and request time-outs
    LifetimeMonitor* closeTimers_ = nullptr;  // 0 ms closes
    bool destroyed_ = false;
};

// Creates a server listening on `port` (0: a random free port from 50000 up)
// with `maxConnections` slots; `onSession` is called for every accepted
// connection. The chain owns the result; null when no port could be bound.
WebServer* WebServer_Create(EventChain* chain, int maxConnections, int port,
                            WebServer_OnSession onSession, void* user);
WebServer* WebServer_CreateWithOptions(EventChain* chain, int maxConnections, int port,
                                       WebServer_OnSession onSession, void* user,
                                       const WebServerOptions& options);

// The bound port (host order).
int WebServer_LocalPort(WebServer* server);

// Requests whose path begins with "/<segment>" (or "<segment>") go to
// `handler` with the segment taken off the path, instead of on receive.
void WebServer_AddHandler(WebServer* server, const char* segment, WebSession_OnReceive handler);

// Sends the packet as text and marks the response complete; the packet is
// destroyed. Returns the AsyncSocket send result, or -3 for a closed session.
int WebSession_SendPacket(WebSession* session, Packet* packet);

// Sends `length` bytes (ownership as for AsyncSocket_Send); `complete` marks
// the response complete. -3 for a closed session (an owned text is freed).
int WebSession_SendRaw(WebSession* session, char* text, int length, int ownership, int complete);

// Closes the session once what was sent has gone out (never inside the call).
void WebSession_Close(WebSession* session);

void WebSession_SetOnReceive(WebSession* session, WebSession_OnReceive onReceive);
void WebSession_SetOnDone(WebSession* session, WebSession_OnDone onDone);
void WebSession_SetUser(WebSession* session, void* user);
void* WebSession_GetUser(WebSession* session);
// The peer's address and the local address of the connection (network order).
std::uint32_t WebSession_GetRemoteInterface(WebSession* session);
std::uint32_t WebSession_GetLocalInterface(WebSession* session);

}  // namespace norvale::stack
