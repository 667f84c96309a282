#include <mutex>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/WebClient.h"

// The socket side of the HTTP client: giving pool sockets to waiting
// connections, sending requests, reading answers, and the connection states
// that follow from connects, closes and time-outs. All on the chain thread.

namespace norvale::stack {

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

// Gives free pool sockets to waiting connections, in backlog order, passing
// over a connection whose host already holds its share of the pool. A socket
// held only for idle reuse is taken back at once when another server waits
// for one.
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
        ConnectionRecord* connection = TakeAssignableLocked();
        if (connection == nullptr) return;  // every waiting host is at its share
        connection->state = ConnectionRecord::State::kConnecting;
        connection->poolIndex = free;
        connection->pause = 0;
        const int front =
            connection->queue.empty() ? 0 : connection->queue.front()->options.connectTimeoutMs;
        owners_[static_cast<std::size_t>(free)] = connection;
        guard.unlock();
        ++connectAttempts_;
        AsyncSocket* socket = pool_[static_cast<std::size_t>(free)];
        AsyncSocket_SetConnectTimeout(socket, front > 0 ? front : options_.connectTimeoutMs);
        AsyncSocket_Connect(socket, 0, connection->server.sin_addr.s_addr,
                            ntohs(connection->server.sin_port), nullptr, this);
    }
}

// Under the lock: takes the first backlog connection whose host holds fewer
// pool sockets than its share; an idle kept-alive socket of that host is
// given up to make room. Null when every waiting host is at its share.
ConnectionRecord* ILibWebClient::TakeAssignableLocked() {
    using List = LinkedList<ConnectionRecord*>;
    List& list = backlog_.List();
    for (List::Node* node = list.First(); node != nullptr; node = List::Next(node)) {
        ConnectionRecord* candidate = List::Data(node);
        ConnectionRecord* idle = nullptr;
        const int held = SocketsHeldBy(candidate->server.sin_addr.s_addr, &idle);
        if (held >= options_.maxConnectionsPerHost) {
            if (idle == nullptr) continue;
            // The idle socket's close needs no lock but runs no callbacks
            // either (CloseSocket reports nothing).
            lock_.Unlock();
            CloseAndPark(idle);
            lock_.Lock();
            return TakeAssignableLocked();  // the backlog may have changed meanwhile
        }
        list.Remove(node);
        return candidate;
    }
    return nullptr;
}

// Pool sockets held for `address` (network order); *idle is one of them that
// serves no request and has none queued, if any. Chain thread.
int ILibWebClient::SocketsHeldBy(std::uint32_t address, ConnectionRecord** idle) const {
    int held = 0;
    for (ConnectionRecord* owner : owners_) {
        if (owner == nullptr || owner->server.sin_addr.s_addr != address) continue;
        ++held;
        if (owner->current == nullptr && owner->queue.empty() &&
            owner->state == ConnectionRecord::State::kConnected) {
            *idle = owner;
        }
    }
    return held;
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
        CloseAndPark(connection);
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
    connection->reader.Start(request->head, request->onSendOk != nullptr, request->keepAlive);
    AsyncSocket* socket = pool_[static_cast<std::size_t>(connection->poolIndex)];
    for (int i = 0; i < 2; ++i) {
        if (request->length[i] > 0)
            AsyncSocket_Send(socket, request->buffer[i], request->length[i], kBufferCopy);
    }
    const int deadline = request->options.responseTimeoutMs > 0 ? request->options.responseTimeoutMs
                                                                : options_.responseTimeoutMs;
    LifetimeMonitor_Add(deadlineTimers_, connection, deadline, &OnDeadlineTimer, nullptr);
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
        // Marked for closing by either side (or HTTP/1.0 without keep-alive):
        // the next request needs a new connection.
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

// Gives up the connection's socket and puts it into the idle table: for a
// connection with nothing queued.
void ILibWebClient::CloseAndPark(ConnectionRecord* connection) {
    CloseSocket(connection);
    std::lock_guard<StackSemaphore> guard(lock_);
    ParkLocked(connection);
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
        CloseAndPark(connection);
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
    client->CloseAndPark(connection);
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
    for (RequestRecord* request : taken)
        EndWithoutResponse(request, connection, kWebInterruptGivenUp);
    delete connection;
}

}  // namespace norvale::stack
