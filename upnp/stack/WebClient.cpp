#include "upnp/stack/WebClient.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/PacketText.h"

namespace norvale::stack {

// One queued request: its send buffers (freed here when owned), the response
// callback and its user values.
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
    bool resent = false;    // already sent once more after a stale connection
    bool finished = false;  // the final callback has been (or is being) made
    WebClient_OnResponse callback = nullptr;
    WebClient_OnSendOk onSendOk = nullptr;
    void* user1 = nullptr;
    void* user2 = nullptr;
};

namespace {

// Takes over one send buffer according to its ownership code.
void AdoptBuffer(RequestRecord* request, int index, char* buffer, int length, int ownership) {
    if (buffer == nullptr || length <= 0) {
        if (ownership == kBufferOwned) std::free(buffer);
        return;
    }
    if (ownership == kBufferCopy) {
        char* copy = static_cast<char*>(std::malloc(static_cast<std::size_t>(length)));
        if (copy == nullptr) return;
        std::memcpy(copy, buffer, static_cast<std::size_t>(length));
        buffer = copy;
        ownership = kBufferOwned;
    }
    request->buffer[index] = buffer;
    request->length[index] = length;
    request->owned[index] = ownership == kBufferOwned;
}

// Calls the final callback of a request that ends without a response, then frees it.
void EndWithoutResponse(RequestRecord* request, ConnectionRecord* connection, int interrupt) {
    request->finished = true;
    int consumed = 0, pause = 0;
    if (request->callback != nullptr) {
        request->callback(connection, interrupt, nullptr, nullptr, &consumed, 0, -1,
                          request->user1, request->user2, &pause);
    }
    delete request;
}

std::string ConnectionKey(const char* addressText, int port, int slot) {
    char key[64];
    std::snprintf(key, sizeof key, "%s:%d:%d", addressText, port, slot);
    return key;
}

}  // namespace

ConnectionRecord::ConnectionRecord(ILibWebClient* owner, const sockaddr_in& address,
                                   std::string connectionKey)
    : client(owner),
      server(address),
      key(std::move(connectionKey)),
      reader(HttpReader::Mode::kResponse, owner->options_.limits, &ILibWebClient::OnReaderDeliver,
             this) {}

ConnectionRecord::~ConnectionRecord() {
    delete current;
    for (RequestRecord* request : queue) delete request;
}

ILibWebClient::ILibWebClient(EventChain* chain, int poolSize, const WebClientOptions& options)
    : chain_(chain), options_(options), owners_(static_cast<std::size_t>(poolSize), nullptr) {
    pool_.reserve(static_cast<std::size_t>(poolSize));
}

ILibWebClient::~ILibWebClient() = default;

void ILibWebClient::CreatePool(int poolSize) {
    for (int i = 0; i < poolSize; ++i) {
        AsyncSocket* socket = AsyncSocket_Create(chain_, options_.socketBufferSize, &OnSocketData,
                                                 &OnSocketConnect, &OnSocketDisconnect, nullptr);
        AsyncSocket_SetConnectTimeout(socket, options_.connectTimeoutMs);
        pool_.push_back(socket);
    }
    retryTimers_ = LifetimeMonitor_Create(chain_);
    idleTimers_ = LifetimeMonitor_Create(chain_);
    deadlineTimers_ = LifetimeMonitor_Create(chain_);
}

ILibWebClient* WebClient_CreateWithOptions(int poolSize, EventChain* chain,
                                           const WebClientOptions& options) {
    if (chain == nullptr || poolSize < 1) return nullptr;
    auto* client = new ILibWebClient(chain, poolSize, options);
    // The client comes before its sockets, so a socket it assigns in its
    // OnPrepare is watched in the same pass.
    EventChain_AddObject(chain, client);
    client->CreatePool(poolSize);
    return client;
}

ILibWebClient* WebClient_Create(int poolSize, EventChain* chain) {
    return WebClient_CreateWithOptions(poolSize, chain, WebClientOptions{});
}

// ---- queuing (any thread) ----

WebRequestToken ILibWebClient::Request(const sockaddr_in& server, char* header, int headerLength,
                                       int headerOwnership, char* body, int bodyLength,
                                       int bodyOwnership, WebClient_OnResponse callback,
                                       WebClient_OnSendOk onSendOk, void* user1, void* user2) {
    auto* request = new RequestRecord;
    AdoptBuffer(request, 0, header, headerLength, headerOwnership);
    AdoptBuffer(request, 1, body, bodyLength, bodyOwnership);
    request->head = headerLength > 5 && header != nullptr && strncasecmp(header, "HEAD ", 5) == 0;
    request->callback = callback;
    request->onSendOk = onSendOk;
    request->user1 = user1;
    request->user2 = user2;

    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &server.sin_addr, address, sizeof address);
    const std::string key = ConnectionKey(address, ntohs(server.sin_port), 0);
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (destroyed_) {
            delete request;
            return nullptr;
        }
        request->id = nextId_++;
        ConnectionRecord* connection = connections_.Get(key.data(), key.size());
        if (connection == nullptr) {
            connection = new ConnectionRecord(this, server, key);
            connections_.Put(key.data(), key.size(), connection);
        }
        connection->queue.push_back(request);
        tokens_[request->id] = connection;
        if (connection->inIdleTable) {
            idle_.Remove(key.data(), key.size());
            connection->inIdleTable = false;
        }
        if (connection->state == ConnectionRecord::State::kParked) {
            connection->state = ConnectionRecord::State::kBacklog;
            backlog_.Enqueue(connection);
        } else if (connection->state == ConnectionRecord::State::kConnected &&
                   !connection->kicked) {
            connection->kicked = true;
            kicks_.push_back(connection);
        }
    }
    EventChain_Wake(chain_);
    return reinterpret_cast<WebRequestToken>(static_cast<std::uintptr_t>(request->id));
}

// ---- socket assignment and request start (chain thread) ----

void ILibWebClient::OnPrepare(SocketSet&, SocketSet&, SocketSet&, int&) {
    if (destroyed_) return;
    ServiceKicks();
    AssignSockets();
}

void ILibWebClient::ServiceKicks() {
    std::vector<ConnectionRecord*> kicked;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        kicked.swap(kicks_);
        for (ConnectionRecord* connection : kicked) connection->kicked = false;
    }
    for (ConnectionRecord* connection : kicked) {
        if (connection->state == ConnectionRecord::State::kConnected &&
            connection->current == nullptr && connection->poolIndex >= 0) {
            connection->reused = true;
            StartRequest(connection);
        }
    }
}

// Gives free pool sockets to waiting connections. A socket held only for
// idle reuse is taken back at once when another server waits for one.
void ILibWebClient::AssignSockets() {
    for (;;) {
        std::unique_lock<StackSemaphore> guard(lock_);
        if (backlog_.IsEmpty()) return;
        int free = -1;
        for (std::size_t i = 0; i < pool_.size() && free < 0; ++i) {
            if (owners_[i] == nullptr && AsyncSocket_IsClosed(pool_[i])) free = static_cast<int>(i);
        }
        if (free < 0) {
            guard.unlock();
            if (!StealIdleSocket()) return;
            continue;
        }
        ConnectionRecord* connection = backlog_.Dequeue();
        connection->state = ConnectionRecord::State::kConnecting;
        connection->poolIndex = free;
        connection->pause = 0;
        owners_[static_cast<std::size_t>(free)] = connection;
        guard.unlock();
        ++connectAttempts_;
        AsyncSocket_Connect(pool_[static_cast<std::size_t>(free)], 0,
                            connection->server.sin_addr.s_addr, ntohs(connection->server.sin_port),
                            nullptr, this);
    }
}

bool ILibWebClient::StealIdleSocket() {
    for (ConnectionRecord* connection : owners_) {
        if (connection == nullptr || connection->current != nullptr ||
            connection->state != ConnectionRecord::State::kConnected) {
            continue;
        }
        std::unique_lock<StackSemaphore> guard(lock_);
        if (!connection->queue.empty()) continue;
        guard.unlock();
        CloseSocket(connection);
        guard.lock();
        ParkLocked(connection);
        return true;
    }
    return false;
}

void ILibWebClient::StartRequest(ConnectionRecord* connection) {
    RequestRecord* request = nullptr;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (!connection->queue.empty()) {
            request = connection->queue.front();
            connection->queue.pop_front();
        }
    }
    if (request == nullptr) {
        GoIdle(connection);
        return;
    }
    if (connection->idleTimer) {
        connection->idleTimer = false;
        LifetimeMonitor_Remove(idleTimers_, connection);
    }
    connection->current = request;
    connection->reader.Start(request->head, request->onSendOk != nullptr);
    AsyncSocket* socket = pool_[static_cast<std::size_t>(connection->poolIndex)];
    for (int i = 0; i < 2; ++i) {
        if (request->length[i] > 0)
            AsyncSocket_Send(socket, request->buffer[i], request->length[i], kBufferCopy);
    }
    LifetimeMonitor_Add(deadlineTimers_, connection, options_.responseTimeoutMs, &OnDeadlineTimer,
                        nullptr);
    if (request->onSendOk != nullptr) request->onSendOk(connection, request->user1, request->user2);
}

// ---- socket callbacks ----

ConnectionRecord* ILibWebClient::OwnerOf(AsyncSocket* socket) {
    if (destroyed_) return nullptr;
    for (std::size_t i = 0; i < pool_.size(); ++i) {
        if (pool_[i] == socket) return owners_[i];
    }
    return nullptr;
}

void ILibWebClient::OnSocketConnect(AsyncSocket* socket, int ok, void* user) {
    auto* client = static_cast<ILibWebClient*>(user);
    ConnectionRecord* connection = client->OwnerOf(socket);
    if (connection == nullptr) return;
    if (ok == 0) {
        client->owners_[static_cast<std::size_t>(connection->poolIndex)] = nullptr;
        connection->poolIndex = -1;
        client->ConnectFailed(connection);
        return;
    }
    {
        std::lock_guard<StackSemaphore> guard(client->lock_);
        connection->state = ConnectionRecord::State::kConnected;
    }
    connection->localInterface = AsyncSocket_GetLocalInterface(socket);
    connection->retryDelay = 1;
    connection->reused = false;
    client->StartRequest(connection);
}

void ILibWebClient::OnSocketData(AsyncSocket* socket, char* buffer, int* consumed, int length,
                                 AsyncSocket_OnInterrupt*, void** user, int* pause) {
    auto* client = static_cast<ILibWebClient*>(*user);
    ConnectionRecord* connection = client->OwnerOf(socket);
    if (connection == nullptr || connection->current == nullptr) {
        *consumed = length;  // nothing asked: the bytes are dropped
        return;
    }
    client->HandleData(connection, buffer, consumed, length, pause);
}

void ILibWebClient::HandleData(ConnectionRecord* connection, char* buffer, int* consumed,
                               int length, int* pause) {
    connection->delivering = true;
    const HttpReader::Status status = connection->reader.Feed(buffer, length, consumed);
    connection->delivering = false;
    if (connection->abortInterrupt >= 0) {
        AfterAbort(connection);
        return;
    }
    switch (status) {
        case HttpReader::Status::kComplete:
            FinishCurrent(connection);
            break;
        case HttpReader::Status::kFailed:
            // The stream cannot be trusted any more: end the request, drop the connection.
            CloseSocket(connection);
            FailCurrent(connection, kWebInterruptNone);
            Requeue(connection);
            break;
        case HttpReader::Status::kStopped:
        case HttpReader::Status::kNeedMore:
            if (connection->pause != 0) *pause = 1;
            break;
    }
}

void ILibWebClient::OnReaderDeliver(void* owner, Packet* packet, char* buffer, int* consumed,
                                    int length, int done) {
    auto* connection = static_cast<ConnectionRecord*>(owner);
    ILibWebClient* client = connection->client;
    RequestRecord* request = connection->current;
    if (request == nullptr) return;
    if (packet != nullptr) {
        packet->receiverValue = static_cast<int>(connection->localInterface);
        packet->receiverPointer = &connection->server;
    }
    if (done == -1) {
        request->finished = true;
        std::lock_guard<StackSemaphore> guard(client->lock_);
        client->tokens_.erase(request->id);
    }
    if (request->callback != nullptr) {
        request->callback(connection, kWebInterruptNone, packet, buffer, consumed, length, done,
                          request->user1, request->user2, &connection->pause);
    }
    if (connection->pause != 0 || connection->abortInterrupt >= 0) connection->reader.Stop();
}

void ILibWebClient::OnSocketDisconnect(AsyncSocket* socket, void* user) {
    auto* client = static_cast<ILibWebClient*>(user);
    ConnectionRecord* connection = client->OwnerOf(socket);
    if (connection == nullptr) return;  // closed by the client itself
    client->owners_[static_cast<std::size_t>(connection->poolIndex)] = nullptr;
    connection->poolIndex = -1;
    client->StopTimers(connection);
    {
        std::lock_guard<StackSemaphore> guard(client->lock_);
        connection->state = ConnectionRecord::State::kParked;
    }
    RequestRecord* request = connection->current;
    if (request != nullptr) {
        connection->delivering = true;
        const HttpReader::Status status = connection->reader.PeerClosed();
        connection->delivering = false;
        if (connection->abortInterrupt >= 0) {
            client->AfterAbort(connection);
            return;
        }
        if (status == HttpReader::Status::kComplete) {
            connection->current = nullptr;
            connection->reader.Start();
            delete request;
        } else if (!connection->reader.Begun() && connection->reused && !request->resent) {
            // A kept-alive connection the server had already closed: send once more.
            request->resent = true;
            connection->current = nullptr;
            connection->reader.Start();
            std::lock_guard<StackSemaphore> guard(client->lock_);
            connection->queue.push_front(request);
        } else {
            client->FailCurrent(connection, kWebInterruptNone);
        }
    }
    client->Requeue(connection);
}

// ---- request end ----

void ILibWebClient::FinishCurrent(ConnectionRecord* connection) {
    RequestRecord* request = connection->current;
    connection->current = nullptr;
    LifetimeMonitor_Remove(deadlineTimers_, connection);
    delete request;
    const bool keepAlive = connection->reader.KeepAlive();
    connection->reader.Start();
    if (!keepAlive || connection->poolIndex < 0) {
        // Marked for closing (or HTTP/1.0): the next request needs a new connection.
        CloseSocket(connection);
        Requeue(connection);
        return;
    }
    connection->reused = true;
    StartRequest(connection);
}

void ILibWebClient::FailCurrent(ConnectionRecord* connection, int interrupt) {
    RequestRecord* request = connection->current;
    if (request == nullptr) return;
    connection->current = nullptr;
    LifetimeMonitor_Remove(deadlineTimers_, connection);
    connection->reader.Start();
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        tokens_.erase(request->id);
    }
    EndWithoutResponse(request, connection, interrupt);
}

// A request not answered completely in time: it fails and the connection,
// whose stream position is now unknown, is dropped.
void ILibWebClient::OnDeadlineTimer(void* data) {
    auto* connection = static_cast<ConnectionRecord*>(data);
    ILibWebClient* client = connection->client;
    if (connection->current == nullptr) return;
    client->CloseSocket(connection);
    client->FailCurrent(connection, kWebInterruptNone);
    client->Requeue(connection);
}

// After a delivery during which the current request was cancelled or dropped.
void ILibWebClient::AfterAbort(ConnectionRecord* connection) {
    const int interrupt = connection->abortInterrupt;
    connection->abortInterrupt = -1;
    CloseSocket(connection);
    RequestRecord* request = connection->current;
    connection->current = nullptr;
    connection->reader.Start();
    if (request != nullptr) {
        EndWithoutResponse(request, interrupt == kWebInterruptDropped ? nullptr : connection,
                           interrupt);
    }
    Requeue(connection);
}

// ---- connection states ----

void ILibWebClient::StopTimers(ConnectionRecord* connection) {
    LifetimeMonitor_Remove(deadlineTimers_, connection);
    if (connection->idleTimer) {
        connection->idleTimer = false;
        LifetimeMonitor_Remove(idleTimers_, connection);
    }
}

// Closes the pool socket the connection holds (no disconnect handling runs).
void ILibWebClient::CloseSocket(ConnectionRecord* connection) {
    StopTimers(connection);
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (connection->state == ConnectionRecord::State::kConnected ||
            connection->state == ConnectionRecord::State::kConnecting) {
            connection->state = ConnectionRecord::State::kParked;
        }
    }
    if (connection->poolIndex < 0) return;
    const auto index = static_cast<std::size_t>(connection->poolIndex);
    owners_[index] = nullptr;
    connection->poolIndex = -1;
    AsyncSocket_Disconnect(pool_[index]);
}

// A connection without a socket: back to the backlog when requests wait,
// otherwise into the idle table.
void ILibWebClient::Requeue(ConnectionRecord* connection) {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (connection->state != ConnectionRecord::State::kParked || connection->inIdleTable)
            return;
        if (connection->queue.empty()) {
            ParkLocked(connection);
            return;
        }
        connection->state = ConnectionRecord::State::kBacklog;
        backlog_.Enqueue(connection);
    }
    EventChain_Wake(chain_);
}

// A connected connection with nothing to send keeps its socket for reuse,
// unless another connection is waiting for a socket.
void ILibWebClient::GoIdle(ConnectionRecord* connection) {
    bool contention = false;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        contention = !backlog_.IsEmpty();
    }
    if (contention) {
        CloseSocket(connection);
        std::lock_guard<StackSemaphore> guard(lock_);
        ParkLocked(connection);
        return;
    }
    connection->idleTimer = true;
    LifetimeMonitor_Add(idleTimers_, connection, options_.idleTimeoutMs, &OnIdleTimer, nullptr);
}

void ILibWebClient::OnIdleTimer(void* data) {
    auto* connection = static_cast<ConnectionRecord*>(data);
    ILibWebClient* client = connection->client;
    connection->idleTimer = false;
    {
        std::lock_guard<StackSemaphore> guard(client->lock_);
        if (!connection->queue.empty() || connection->current != nullptr) return;
    }
    client->CloseSocket(connection);
    std::lock_guard<StackSemaphore> guard(client->lock_);
    client->ParkLocked(connection);
}

// Puts a socket-less connection without requests into the idle table; past
// the limit the oldest entry there is forgotten. Called with the lock held.
void ILibWebClient::ParkLocked(ConnectionRecord* connection) {
    connection->state = ConnectionRecord::State::kParked;
    if (!connection->inIdleTable) {
        idle_.Put(connection->key.data(), connection->key.size(), connection);
        connection->inIdleTable = true;
    }
    if (idle_.Count() <= static_cast<std::size_t>(options_.maxIdleConnections)) return;
    auto enumerator = idle_.Enumerate();
    enumerator.MoveNext();
    ConnectionRecord* victim = enumerator.Value();
    if (victim == connection) return;
    idle_.Remove(victim->key.data(), victim->key.size());
    connections_.Remove(victim->key.data(), victim->key.size());
    std::erase(kicks_, victim);
    delete victim;
}

void ILibWebClient::ConnectFailed(ConnectionRecord* connection) {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        connection->state = ConnectionRecord::State::kParked;
        if (connection->queue.empty()) {
            ParkLocked(connection);
            return;
        }
        if (connection->retryDelay < options_.maxRetryDelay)
            connection->state = ConnectionRecord::State::kRetryWait;
    }
    if (connection->state != ConnectionRecord::State::kRetryWait) {
        GiveUp(connection);
        return;
    }
    LifetimeMonitor_Add(retryTimers_, connection,
                        std::int64_t{connection->retryDelay} * options_.retryUnitMs, &OnRetryTimer,
                        nullptr);
}

void ILibWebClient::OnRetryTimer(void* data) {
    auto* connection = static_cast<ConnectionRecord*>(data);
    ILibWebClient* client = connection->client;
    connection->retryDelay = connection->retryDelay == 0 ? 1 : connection->retryDelay * 2;
    {
        std::lock_guard<StackSemaphore> guard(client->lock_);
        if (connection->state != ConnectionRecord::State::kRetryWait) return;
        if (connection->queue.empty()) {
            client->ParkLocked(connection);
            return;
        }
        connection->state = ConnectionRecord::State::kBacklog;
        client->backlog_.Enqueue(connection);
    }
    EventChain_Wake(client->chain_);
}

// The server could not be reached: every queued request ends with interrupt 5.
void ILibWebClient::GiveUp(ConnectionRecord* connection) {
    std::deque<RequestRecord*> taken;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        connections_.Remove(connection->key.data(), connection->key.size());
        if (connection->inIdleTable) idle_.Remove(connection->key.data(), connection->key.size());
        taken.swap(connection->queue);
        for (RequestRecord* request : taken) tokens_.erase(request->id);
        std::erase(kicks_, connection);
    }
    for (RequestRecord* request : taken) EndWithoutResponse(request, connection, kWebInterruptGivenUp);
    delete connection;
}

// ---- cancel, drop, resume ----

void ILibWebClient::Cancel(WebRequestToken token) {
    const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(token));
    ConnectionRecord* connection = nullptr;
    RequestRecord* request = nullptr;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        request = TakeRequestLocked(id, &connection);
    }
    if (request != nullptr) {
        EndWithoutResponse(request, connection, kWebInterruptNone);
        return;
    }
    if (connection == nullptr || connection->current == nullptr ||
        connection->current->id != id || connection->current->finished) {
        return;
    }
    if (connection->delivering) {
        connection->abortInterrupt = kWebInterruptNone;
        connection->reader.Stop();
        return;
    }
    connection->abortInterrupt = kWebInterruptNone;
    AfterAbort(connection);
}

// Removes a waiting request from its queue (null when it is not waiting);
// *connection is the connection the token belongs to, if any.
RequestRecord* ILibWebClient::TakeRequestLocked(std::uint64_t id, ConnectionRecord** connection) {
    auto found = tokens_.find(id);
    if (found == tokens_.end()) return nullptr;
    *connection = found->second;
    auto& queue = found->second->queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if ((*it)->id == id) {
            RequestRecord* request = *it;
            queue.erase(it);
            tokens_.erase(found);
            return request;
        }
    }
    return nullptr;
}

void ILibWebClient::DropServerRequests(const char* addressText, int port) {
    const std::string key = ConnectionKey(addressText, port, 0);
    ConnectionRecord* connection = nullptr;
    std::deque<RequestRecord*> taken;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        connection = connections_.Get(key.data(), key.size());
        if (connection == nullptr) return;
        if (connection->state == ConnectionRecord::State::kBacklog) {
            backlog_.RemoveAllEqual(connection);
            connection->state = ConnectionRecord::State::kParked;
        } else if (connection->state == ConnectionRecord::State::kRetryWait) {
            connection->state = ConnectionRecord::State::kParked;
        }
        taken.swap(connection->queue);
        for (RequestRecord* request : taken) tokens_.erase(request->id);
        if (connection->current != nullptr) tokens_.erase(connection->current->id);
    }
    LifetimeMonitor_Remove(retryTimers_, connection);
    for (RequestRecord* request : taken) EndWithoutResponse(request, nullptr, kWebInterruptDropped);
    if (connection->current != nullptr && !connection->current->finished) {
        connection->abortInterrupt = kWebInterruptDropped;
        if (connection->delivering) {
            connection->reader.Stop();
            return;
        }
        AfterAbort(connection);
        return;
    }
    if (!connection->delivering) {
        CloseSocket(connection);
        Requeue(connection);
    }
}

void ILibWebClient::Resume(ConnectionRecord* connection) {
    connection->pause = 0;
    if (connection->poolIndex >= 0) AsyncSocket_Resume(pool_[static_cast<std::size_t>(connection->poolIndex)]);
}

std::size_t ILibWebClient::ConnectionCount() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return connections_.Count();
}

std::size_t ILibWebClient::IdleCount() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return idle_.Count();
}

// ---- teardown ----

void ILibWebClient::OnDestroy() {
    std::vector<ConnectionRecord*> all;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        destroyed_ = true;
        for (auto e = connections_.Enumerate(); !e.MoveNext();) all.push_back(e.Value());
        connections_.Clear();
        idle_.Clear();
        while (!backlog_.IsEmpty()) backlog_.Dequeue();
        kicks_.clear();
        tokens_.clear();
    }
    for (ConnectionRecord* connection : all) {
        std::deque<RequestRecord*> taken;
        if (connection->current != nullptr && !connection->current->finished)
            taken.push_back(connection->current);
        connection->current = nullptr;
        {
            std::lock_guard<StackSemaphore> guard(lock_);
            for (RequestRecord* request : connection->queue) taken.push_back(request);
            connection->queue.clear();
        }
        for (RequestRecord* request : taken)
            EndWithoutResponse(request, connection, kWebInterruptGivenUp);
        delete connection;
    }
    std::fill(owners_.begin(), owners_.end(), nullptr);
}

// ---- free functions ----

WebRequestToken WebClient_Request(ILibWebClient* client, const sockaddr_in* server, char* header,
                                  int headerLength, int headerOwnership, char* body,
                                  int bodyLength, int bodyOwnership,
                                  WebClient_OnResponse callback, WebClient_OnSendOk onSendOk,
                                  void* user1, void* user2) {
    if (client == nullptr || server == nullptr) {
        if (headerOwnership == kBufferOwned) std::free(header);
        if (bodyOwnership == kBufferOwned) std::free(body);
        return nullptr;
    }
    return client->Request(*server, header, headerLength, headerOwnership, body, bodyLength,
                           bodyOwnership, callback, onSendOk, user1, user2);
}

WebRequestToken WebClient_RequestPacket(ILibWebClient* client, const sockaddr_in* server,
                                        Packet* packet, WebClient_OnResponse callback,
                                        void* user1, void* user2) {
    char* text = nullptr;
    const int length = packet != nullptr ? PacketToText(packet, &text) : -1;
    if (packet != nullptr) DestroyPacket(packet);
    if (length <= 0) {
        std::free(text);
        return nullptr;
    }
    return WebClient_Request(client, server, text, length, kBufferOwned, nullptr, 0, kBufferStatic,
                             callback, nullptr, user1, user2);
}

void WebClient_Cancel(ILibWebClient* client, WebRequestToken token) {
    if (client != nullptr && token != nullptr) client->Cancel(token);
}

void WebClient_DropServerRequests(ILibWebClient* client, const char* addressText, int port) {
    if (client != nullptr && addressText != nullptr) client->DropServerRequests(addressText, port);
}

void WebClient_Resume(ConnectionRecord* connection) {
    if (connection != nullptr) connection->client->Resume(connection);
}

Packet* WebClient_GetHeader(ConnectionRecord* connection) {
    return connection != nullptr ? connection->reader.Head() : nullptr;
}

std::uint32_t WebClient_GetLocalInterface(ConnectionRecord* connection) {
    return connection != nullptr ? connection->localInterface : 0;
}

const sockaddr_in* WebClient_GetServer(ConnectionRecord* connection) {
    return connection != nullptr ? &connection->server : nullptr;
}

}  // namespace norvale::stack
