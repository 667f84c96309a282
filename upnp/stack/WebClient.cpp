#include "upnp/stack/WebClient.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/PacketText.h"

namespace norvale::stack {

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
                                       WebClient_OnSendOk onSendOk, void* user1, void* user2,
                                       const WebRequestOptions& requestOptions) {
    auto* request = new RequestRecord;
    request->options = requestOptions;
    AdoptBuffer(request, 0, header, headerLength, headerOwnership);
    AdoptBuffer(request, 1, body, bodyLength, bodyOwnership);
    request->head = headerLength > 5 && header != nullptr && strncasecmp(header, "HEAD ", 5) == 0;
    request->keepAlive = header != nullptr && HttpReader::RequestKeepsAlive(header, headerLength);
    request->callback = callback;
    request->onSendOk = onSendOk;
    request->user1 = user1;
    request->user2 = user2;

    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &server.sin_addr, address, sizeof address);
    // Once queued, the chain thread may finish and free the request at any
    // moment: its id is kept here for the token.
    std::uint64_t id = 0;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (destroyed_) {
            delete request;
            return nullptr;
        }
        id = nextId_++;
        request->id = id;
        const std::string key =
            ChooseKeyLocked(address, ntohs(server.sin_port), request->options.ordered);
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
    return reinterpret_cast<WebRequestToken>(static_cast<std::uintptr_t>(id));
}

// Under the lock: the key of the connection a new request to address:port
// joins. Slot 0 for a request that keeps its order; else the first slot
// without a connection record, or, when every slot has one, the first with
// the shortest queue.
std::string ILibWebClient::ChooseKeyLocked(const char* address, int port, bool ordered) {
    std::string chosen;
    std::size_t shortest = 0;
    const int slots = ordered ? 1 : options_.connectionsPerServer;
    for (int slot = 0; slot < slots; ++slot) {
        std::string key = ConnectionKey(address, port, slot);
        ConnectionRecord* connection = connections_.Get(key.data(), key.size());
        if (connection == nullptr) return key;
        if (chosen.empty() || connection->queue.size() < shortest) {
            shortest = connection->queue.size();
            chosen = std::move(key);
        }
    }
    return chosen.empty() ? ConnectionKey(address, port, 0) : chosen;
}

// Calls the final callback of a request that ends without a response, then frees it.
void ILibWebClient::EndWithoutResponse(RequestRecord* request, ConnectionRecord* connection,
                                       int interrupt) {
    request->finished = true;
    int consumed = 0, pause = 0;
    if (request->callback != nullptr) {
        request->callback(connection, interrupt, nullptr, nullptr, &consumed, 0, -1, request->user1,
                          request->user2, &pause);
    }
    delete request;
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
    if (connection == nullptr || connection->current == nullptr || connection->current->id != id ||
        connection->current->finished) {
        return;
    }
    AbortCurrent(connection, kWebInterruptNone);
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
            ConnectionRecord* owner = *connection;
            if (queue.empty() && owner->state == ConnectionRecord::State::kBacklog) {
                backlog_.RemoveAllEqual(owner);  // nothing left to connect for
                ParkLocked(owner);
            }
            return request;
        }
    }
    return nullptr;
}

void ILibWebClient::DropServerRequests(const char* addressText, int port) {
    for (int slot = 0; slot < std::max(options_.connectionsPerServer, 1); ++slot) {
        DropConnectionRequests(ConnectionKey(addressText, port, slot));
    }
}

void ILibWebClient::DropConnectionRequests(const std::string& key) {
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
        AbortCurrent(connection, kWebInterruptDropped);
        return;
    }
    if (!connection->delivering) {
        CloseSocket(connection);
        Requeue(connection);
    }
}

void ILibWebClient::DropTagged(void* tag) {
    if (tag == nullptr) return;
    std::vector<RequestRecord*> taken;
    std::vector<ConnectionRecord*> aborted;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        for (auto e = connections_.Enumerate(); !e.MoveNext();) {
            ConnectionRecord* connection = e.Value();
            auto& queue = connection->queue;
            for (auto it = queue.begin(); it != queue.end();) {
                if ((*it)->options.tag != tag) {
                    ++it;
                    continue;
                }
                tokens_.erase((*it)->id);
                taken.push_back(*it);
                it = queue.erase(it);
            }
            if (queue.empty() && connection->state == ConnectionRecord::State::kBacklog) {
                backlog_.RemoveAllEqual(connection);  // nothing left to connect for
                ParkLocked(connection);
            }
            RequestRecord* current = connection->current;
            if (current != nullptr && current->options.tag == tag && !current->finished) {
                tokens_.erase(current->id);
                aborted.push_back(connection);
            }
        }
    }
    for (ConnectionRecord* connection : aborted) AbortCurrent(connection, kWebInterruptDropped);
    for (RequestRecord* request : taken) EndWithoutResponse(request, nullptr, kWebInterruptDropped);
}

// Ends the request in progress with `interrupt` and closes its connection;
// from inside a delivery of that connection, right after the delivery.
void ILibWebClient::AbortCurrent(ConnectionRecord* connection, int interrupt) {
    connection->abortInterrupt = interrupt;
    if (connection->delivering) {
        connection->reader.Stop();
        return;
    }
    AfterAbort(connection);
}

void ILibWebClient::Resume(ConnectionRecord* connection) {
    connection->pause = 0;
    if (connection->poolIndex >= 0)
        AsyncSocket_Resume(pool_[static_cast<std::size_t>(connection->poolIndex)]);
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
                                  int headerLength, int headerOwnership, char* body, int bodyLength,
                                  int bodyOwnership, WebClient_OnResponse callback,
                                  WebClient_OnSendOk onSendOk, void* user1, void* user2,
                                  const WebRequestOptions& options) {
    if (client == nullptr || server == nullptr) {
        if (headerOwnership == kBufferOwned) std::free(header);
        if (bodyOwnership == kBufferOwned) std::free(body);
        return nullptr;
    }
    return client->Request(*server, header, headerLength, headerOwnership, body, bodyLength,
                           bodyOwnership, callback, onSendOk, user1, user2, options);
}

WebRequestToken WebClient_RequestPacket(ILibWebClient* client, const sockaddr_in* server,
                                        Packet* packet, WebClient_OnResponse callback, void* user1,
                                        void* user2, const WebRequestOptions& options) {
    char* text = nullptr;
    const int length = packet != nullptr ? PacketToText(packet, &text) : -1;
    if (packet != nullptr) DestroyPacket(packet);
    if (length <= 0) {
        std::free(text);
        return nullptr;
    }
    return WebClient_Request(client, server, text, length, kBufferOwned, nullptr, 0, kBufferStatic,
                             callback, nullptr, user1, user2, options);
}

void WebClient_Cancel(ILibWebClient* client, WebRequestToken token) {
    if (client != nullptr && token != nullptr) client->Cancel(token);
}

void WebClient_DropServerRequests(ILibWebClient* client, const char* addressText, int port) {
    if (client != nullptr && addressText != nullptr) client->DropServerRequests(addressText, port);
}

void WebClient_DropTagged(ILibWebClient* client, void* tag) {
    if (client != nullptr) client->DropTagged(tag);
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
