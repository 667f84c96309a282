#include "upnp/stack/WebServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/LocalAddresses.h"
#include "upnp/stack/PacketText.h"

namespace norvale::stack {
namespace {

char kMissingHost[] = "HTTP/1.1 400 Bad Request (Missing Host Field)\r\n\r\n";

// Replaces the request target, keeping the method (both copied first).
void ReplacePath(Packet* packet, const char* path, int length) {
    const std::string method(packet->method, static_cast<std::size_t>(packet->methodLength));
    const std::string target(path, static_cast<std::size_t>(length));
    SetRequestLine(packet, method.data(), static_cast<int>(method.size()), target.data(),
                   static_cast<int>(target.size()));
}

}  // namespace

WebSession::WebSession(WebServer* owner, int index, AsyncSocket* connection,
                       const HttpReader::Limits& limits, HttpReader::Deliver deliver)
    : server(owner),
      socket(connection),
      poolIndex(index),
      reader(HttpReader::Mode::kRequest, limits, deliver, this) {}

WebServer::WebServer(EventChain* chain, int maxConnections, WebServer_OnSession onSession,
                     void* user, const WebServerOptions& options)
    : chain_(chain),
      options_(options),
      onSession_(onSession),
      user_(user),
      sessions_(static_cast<std::size_t>(maxConnections), nullptr) {}

WebServer::~WebServer() {
    if (listenFd_ >= 0) close(listenFd_);
}

bool WebServer::Open(int port) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    const int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    bool bound = false;
    // Port 0: random ports from 50000 up; a bounded number of tries, then any free port.
    for (int attempt = 0; attempt < (port == 0 ? 1000 : 1) && !bound; ++attempt) {
        address.sin_port =
            htons(static_cast<std::uint16_t>(port != 0 ? port : 50000 + std::rand() % 15000));
        bound = bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    if (!bound && port == 0) {
        address.sin_port = 0;
        bound = bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    socklen_t length = sizeof address;
    if (!bound || listen(listenFd_, 4) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    for (std::size_t i = 0; i < sessions_.size(); ++i) {
        pool_.push_back(AsyncSocket_Create(chain_, options_.socketBufferSize, &OnSocketData,
                                           nullptr, &OnSocketDisconnect, &OnSocketSendDone));
    }
    idleTimers_ = LifetimeMonitor_Create(chain_);
    closeTimers_ = LifetimeMonitor_Create(chain_);
    return true;
}

WebServer* WebServer_CreateWithOptions(EventChain* chain, int maxConnections, int port,
                                       WebServer_OnSession onSession, void* user,
                                       const WebServerOptions& options) {
    if (chain == nullptr || maxConnections < 1) return nullptr;
    auto* server = new WebServer(chain, maxConnections, onSession, user, options);
    EventChain_AddObject(chain, server);  // the chain owns it from here, bound or not
    return server->Open(port) ? server : nullptr;
}

WebServer* WebServer_Create(EventChain* chain, int maxConnections, int port,
                            WebServer_OnSession onSession, void* user) {
    return WebServer_CreateWithOptions(chain, maxConnections, port, onSession, user,
                                       WebServerOptions{});
}

// ---- accepting ----

void WebServer::OnPrepare(SocketSet& readSet, SocketSet&, SocketSet&, int&) {
    if (destroyed_ || listenFd_ < 0) return;
    for (std::size_t i = 0; i < pool_.size(); ++i) {
        if (sessions_[i] == nullptr && AsyncSocket_IsClosed(pool_[i])) {
            readSet.Add(listenFd_);
            return;
        }
    }
}

void WebServer::OnReady(int, const SocketSet& readSet, const SocketSet&, const SocketSet&) {
    if (!destroyed_ && listenFd_ >= 0 && readSet.Contains(listenFd_)) Accept();
}

void WebServer::Accept() {
    for (std::size_t i = 0; i < pool_.size(); ++i) {
        if (sessions_[i] != nullptr || !AsyncSocket_IsClosed(pool_[i])) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        HttpReader::Limits limits;
        limits.maxHeaderBytes = options_.maxHeaderBytes;
        limits.maxBufferedBytes = options_.maxBodyBytes;
        auto* session =
            new WebSession(this, static_cast<int>(i), pool_[i], limits, &OnReaderDeliver);
        session->reader.Start();
        sessions_[i] = session;
        AsyncSocket_Adopt(pool_[i], fd, nullptr, this);
        LifetimeMonitor_Add(idleTimers_, session, options_.firstRequestTimeoutMs, &OnIdleTimer,
                            nullptr);
        if (onSession_ != nullptr) onSession_(session, user_);
    }
}

WebSession* WebServer::SessionOf(AsyncSocket* socket) {
    if (destroyed_) return nullptr;
    for (std::size_t i = 0; i < pool_.size(); ++i) {
        if (pool_[i] == socket) return sessions_[i];
    }
    return nullptr;
}

int WebServer::ActiveSessions() const {
    int count = 0;
    for (const WebSession* session : sessions_) count += session != nullptr ? 1 : 0;
    return count;
}

void WebServer::AddHandler(const char* segment, WebSession_OnReceive handler) {
    handlers_.push_back(Handler{segment, handler});
}

// ---- request engine ----

void WebServer::OnSocketData(AsyncSocket* socket, char* buffer, int* consumed, int length,
                             AsyncSocket_OnInterrupt*, void** user, int* pause) {
    auto* server = static_cast<WebServer*>(*user);
    WebSession* session = server->SessionOf(socket);
    if (session == nullptr || session->closed) {
        *consumed = length;
        return;
    }
    if (session->requestComplete) {  // the next request waits for this answer
        *pause = 1;
        return;
    }
    session->delivering = true;
    const HttpReader::Status status = session->reader.Feed(buffer, length, consumed);
    session->delivering = false;
    server->AfterFeed(session, status, pause);
}

void WebServer::OnReaderDeliver(void* owner, Packet* packet, char* buffer, int* consumed,
                                int length, int done) {
    auto* session = static_cast<WebSession*>(owner);
    WebServer* server = session->server;
    if (!session->requestBegun && !server->BeginRequest(session, packet)) {
        session->reader.Stop();
        return;
    }
    if (done == -1) session->requestComplete = true;
    if (session->target != nullptr)
        session->target(session, 0, packet, buffer, consumed, length, done);
    if (session->closed) session->reader.Stop();
}

// The head of a request is in: stop the waiting time-out, check Host, route.
bool WebServer::BeginRequest(WebSession* session, Packet* packet) {
    session->requestBegun = true;
    LifetimeMonitor_Remove(idleTimers_, session);
    LifetimeMonitor_Add(idleTimers_, session, options_.requestTimeoutMs, &OnIdleTimer, nullptr);
    if (IsHttp11OrLater(packet) && GetHeaderValue(packet, "host", 4) == nullptr) {
        Send(session, kMissingHost, static_cast<int>(sizeof kMissingHost - 1), kBufferStatic, true);
        return false;
    }
    RewriteTarget(session, packet);
    Route(session, packet);
    return true;
}

// An absolute target naming this server ("http://<own address>:<port>/x")
// becomes its path ("/x").
void WebServer::RewriteTarget(WebSession* session, Packet* packet) {
    if (packet->pathLength <= 7 || strncasecmp(packet->path, "http://", 7) != 0) return;
    const char* host = packet->path + 7;
    const char* end = packet->path + packet->pathLength;
    const char* slash =
        static_cast<const char*>(std::memchr(host, '/', static_cast<std::size_t>(end - host)));
    if (slash == nullptr) slash = end;
    const std::string named(host, static_cast<std::size_t>(slash - host));
    const std::string own = AddressToText(WebSession_GetLocalInterface(session));
    if (named != own + ":" + std::to_string(port_) && !(port_ == 80 && named == own)) return;
    if (slash == end) {
        ReplacePath(packet, "/", 1);
    } else {
        ReplacePath(packet, slash, static_cast<int>(end - slash));
    }
}

void WebServer::Route(WebSession* session, Packet* packet) {
    session->target = session->onReceive;
    if (handlers_.empty()) return;
    const char* path = packet->path;
    int length = packet->pathLength;
    if (length > 0 && path[0] == '/') {
        ++path;
        --length;
    }
    int segment = 0;
    while (segment < length && path[segment] != '/' && path[segment] != '?') ++segment;
    for (const Handler& handler : handlers_) {
        if (handler.segment.size() == static_cast<std::size_t>(segment) &&
            std::memcmp(handler.segment.data(), path, static_cast<std::size_t>(segment)) == 0) {
            session->target = handler.handler;
            ReplacePath(packet, path + segment, length - segment);
            return;
        }
    }
}

void WebServer::AfterFeed(WebSession* session, HttpReader::Status status, int* pause) {
    if (session->closed) return;
    if (status == HttpReader::Status::kFailed) {
        const auto failure = session->reader.failure();
        if ((failure == HttpReader::Failure::kHeaderTooBig ||
             failure == HttpReader::Failure::kBodyTooBig) &&
            !session->responseComplete) {
            char text[96];
            const int length = std::snprintf(text, sizeof text,
                                             "HTTP/1.1 413 Request Too Big (MaxHeader=%d)\r\n\r\n",
                                             options_.maxHeaderBytes);
            Send(session, text, length, kBufferCopy, true);
        } else {
            ScheduleClose(session);
        }
        return;
    }
    if (session->responseComplete && !session->sendPending) {
        FinishExchange(session);
        return;
    }
    if (session->requestComplete) *pause = 1;
}

// ---- responses ----

int WebServer::Send(WebSession* session, char* buffer, int length, int ownership, bool complete) {
    if (session->closed || AsyncSocket_IsClosed(session->socket)) {
        if (ownership == kBufferOwned) std::free(buffer);
        return kWebSessionClosed;
    }
    const int result = AsyncSocket_Send(session->socket, buffer, length, ownership);
    if (result == kSendQueued) session->sendPending = true;
    if (complete) {
        session->responseComplete = true;
        if (!session->requestComplete) session->closeAfterResponse = true;
        if (!session->delivering && !session->sendPending) FinishExchange(session);
    }
    return result;
}

void WebServer::OnSocketSendDone(AsyncSocket* socket, void* user) {
    auto* server = static_cast<WebServer*>(user);
    WebSession* session = server->SessionOf(socket);
    if (session == nullptr || !session->sendPending) return;
    session->sendPending = false;
    if (session->closeWaiting) {
        session->closeWaiting = false;
        LifetimeMonitor_Add(server->closeTimers_, session, 0, &OnCloseTimer, nullptr);
    } else if (session->closed) {
        return;
    } else if (session->responseComplete && !session->delivering) {
        server->FinishExchange(session);
    }
}

// The answer has gone out: keep the connection for the next request, or close it.
void WebServer::FinishExchange(WebSession* session) {
    if (session->closed || !session->responseComplete) return;
    if (session->closeAfterResponse || !session->requestComplete || !session->reader.KeepAlive()) {
        ScheduleClose(session);
        return;
    }
    session->requestBegun = false;
    session->requestComplete = false;
    session->responseComplete = false;
    session->target = nullptr;
    session->reader.Start();
    LifetimeMonitor_Remove(idleTimers_, session);
    LifetimeMonitor_Add(idleTimers_, session, options_.keepAliveTimeoutMs, &OnIdleTimer, nullptr);
    AsyncSocket_Resume(session->socket);
}

void WebServer::Close(WebSession* session) {
    ScheduleClose(session);
}

// Closes through a 0 ms timer, after the send queue has drained.
void WebServer::ScheduleClose(WebSession* session) {
    if (session->closed) return;
    session->closed = true;
    if (session->sendPending) {
        session->closeWaiting = true;  // OnSocketSendDone schedules it
        return;
    }
    LifetimeMonitor_Add(closeTimers_, session, 0, &OnCloseTimer, nullptr);
}

void WebServer::OnCloseTimer(void* data) {
    auto* session = static_cast<WebSession*>(data);
    AsyncSocket_Disconnect(session->socket);  // ends the session; `session` is gone after
}

void WebServer::OnIdleTimer(void* data) {
    auto* session = static_cast<WebSession*>(data);
    AsyncSocket_Disconnect(session->socket);
}

void WebServer::OnSocketDisconnect(AsyncSocket* socket, void* user) {
    auto* server = static_cast<WebServer*>(user);
    WebSession* session = server->SessionOf(socket);
    if (session != nullptr) server->EndSession(session);
}

void WebServer::EndSession(WebSession* session) {
    sessions_[static_cast<std::size_t>(session->poolIndex)] = nullptr;
    LifetimeMonitor_Remove(idleTimers_, session);
    LifetimeMonitor_Remove(closeTimers_, session);
    session->closed = true;
    if (session->onDone != nullptr) session->onDone(session);
    delete session;
}

void WebServer::OnDestroy() {
    destroyed_ = true;
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
    for (WebSession*& session : sessions_) {
        if (session == nullptr) continue;
        session->closed = true;
        if (session->onDone != nullptr) session->onDone(session);
        delete session;
        session = nullptr;
    }
}

// ---- free functions ----

int WebServer_LocalPort(WebServer* server) {
    return server != nullptr ? server->LocalPort() : 0;
}

void WebServer_AddHandler(WebServer* server, const char* segment, WebSession_OnReceive handler) {
    if (server != nullptr && segment != nullptr) server->AddHandler(segment, handler);
}

int WebSession_SendPacket(WebSession* session, Packet* packet) {
    if (packet == nullptr) return kWebSessionClosed;
    char* text = nullptr;
    const int length = PacketToText(packet, &text);
    DestroyPacket(packet);
    if (session == nullptr || length < 0) {
        std::free(text);
        return kWebSessionClosed;
    }
    return session->server->Send(session, text, length, kBufferOwned, true);
}

int WebSession_SendRaw(WebSession* session, char* text, int length, int ownership, int complete) {
    if (session == nullptr) {
        if (ownership == kBufferOwned) std::free(text);
        return kWebSessionClosed;
    }
    return session->server->Send(session, text, length, ownership, complete != 0);
}

void WebSession_Close(WebSession* session) {
    if (session != nullptr) session->server->Close(session);
}

void WebSession_SetOnReceive(WebSession* session, WebSession_OnReceive onReceive) {
    session->onReceive = onReceive;
}
void WebSession_SetOnDone(WebSession* session, WebSession_OnDone onDone) {
    session->onDone = onDone;
}
void WebSession_SetUser(WebSession* session, void* user) {
    session->user = user;
}
void* WebSession_GetUser(WebSession* session) {
    return session->user;
}

std::uint32_t WebSession_GetRemoteInterface(WebSession* session) {
    return AsyncSocket_GetRemoteInterface(session->socket);
}

std::uint32_t WebSession_GetLocalInterface(WebSession* session) {
    return AsyncSocket_GetLocalInterface(session->socket);
}

}  // namespace norvale::stack
