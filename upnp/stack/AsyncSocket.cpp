#include "upnp/stack/AsyncSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/SocketCalls.h"
#include "upnp/stack/StackClock.h"

namespace norvale::stack {
AsyncSocket::AsyncSocket(EventChain* chain, int initialBufferSize, AsyncSocket_OnData onData,
                         AsyncSocket_OnConnect onConnect, AsyncSocket_OnDisconnect onDisconnect,
                         AsyncSocket_OnSendDone onSendDone)
    : chain_(chain),
      buffer_(initialBufferSize),
      onData_(onData),
      onConnect_(onConnect),
      onDisconnect_(onDisconnect),
      onSendDone_(onSendDone) {}

AsyncSocket::~AsyncSocket() {
    ReleaseAll();
}

void AsyncSocket::ReleaseAll() {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ >= 0) CloseLocked();
        queue_.Clear();
    }
    buffer_.Release();
}

// --- connection set-up -------------------------------------------------------

// Under the lock: fresh per-connection state, receive buffer back to its
// initial size.
void AsyncSocket::ResetForConnection(AsyncSocket_OnInterrupt onInterrupt, void* user) {
    onInterrupt_ = onInterrupt;
    user_ = user;
    queue_.ResetCounters();
    pause_ = 0;
    localAddress_ = 0;
    ++generation_;
    buffer_.Reset();
}

void AsyncSocket::Connect(std::uint32_t localInterface, std::uint32_t remoteAddress, int remotePort,
                          AsyncSocket_OnInterrupt onInterrupt, void* user) {
    CancelTimers();
    int delayMs = connectTimeoutMs_;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ >= 0) CloseLocked();
        remoteAddress_ = remoteAddress;
        remotePort_ = remotePort;
        ResetForConnection(onInterrupt, user);
        connected_ = false;
        datagram_ = false;
        socket_ = StartConnect(localInterface, remoteAddress, remotePort);
        if (socket_ < 0) delayMs = 0;  // failed at once: reported on the next pass
        connectKey_.generation = generation_;
    }
    LifetimeMonitor_Add(EventChain_Timers(chain_), &connectKey_, delayMs, ConnectTimedOut, nullptr);
    if (!OnChainThread()) EventChain_Wake(chain_);
}

void AsyncSocket::Adopt(int handle, AsyncSocket_OnInterrupt onInterrupt, void* user) {
    CancelTimers();
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ >= 0) CloseLocked();
        ResetForConnection(onInterrupt, user);
        socket_ = handle;
        connected_ = true;
        if (handle < 0) return;
        SetNonBlocking(handle);
        int type = 0;
        socklen_t length = sizeof type;
        getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &length);
        datagram_ = type == SOCK_DGRAM;
        sockaddr_in peer{};
        length = sizeof peer;
        if (!datagram_ && getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
            remoteAddress_ = peer.sin_addr.s_addr;
            remotePort_ = ntohs(peer.sin_port);
        }
    }
    if (!OnChainThread()) EventChain_Wake(chain_);
}

void AsyncSocket::ConnectTimedOut(void* data) {
    auto* key = static_cast<TimerKey*>(data);
    AsyncSocket* self = key->owner;
    if (key->generation != self->generation_) return;
    {
        std::lock_guard<StackSemaphore> guard(self->lock_);
        if (self->connected_) return;
        if (self->socket_ >= 0) self->CloseLocked();
    }
    if (self->onConnect_ != nullptr) self->onConnect_(self, 0, self->user_);
}

void AsyncSocket::FinishConnect(int fd, bool writable, bool failed) {
    LifetimeMonitor_Remove(EventChain_Timers(chain_), &connectKey_);
    bool ok = writable && !failed;
    if (ok) {
        // A refused connect also shows up as writable: its SO_ERROR says so.
        int error = 0;
        socklen_t length = sizeof error;
        ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ != fd) return;
        if (ok) {
            connected_ = true;
            pause_ = 0;
        } else {
            CloseLocked();
        }
    }
    if (onConnect_ != nullptr) onConnect_(this, ok ? -1 : 0, user_);
}

// --- closing -------------------------------------------------------------------

void AsyncSocket::CloseLocked() {
    shutdown(socket_, SHUT_RDWR);
    close(socket_);
    socket_ = -1;
    connected_ = false;
    pause_ = 1;
    queue_.Clear();
}

void AsyncSocket::CancelTimers() {
    LifetimeMonitor* timers = EventChain_Timers(chain_);
    LifetimeMonitor_Remove(timers, &connectKey_);
    LifetimeMonitor_Remove(timers, &sendErrorKey_);
    LifetimeMonitor_Remove(timers, &noticeKey_);
}

bool AsyncSocket::OnChainThread() const {
    const std::thread::id runner = chainThread_.load(std::memory_order_relaxed);
    return runner == std::thread::id() || runner == std::this_thread::get_id();
}

void AsyncSocket::Disconnect() {
    LifetimeMonitor* timers = EventChain_Timers(chain_);
    LifetimeMonitor_Remove(timers, &connectKey_);
    std::uint64_t generation = 0;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ < 0) return;
        CloseLocked();
        generation = generation_;
    }
    if (OnChainThread()) {
        if (onDisconnect_ != nullptr) onDisconnect_(this, user_);
        return;
    }
    // Another thread: the callback belongs to the chain thread.
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        noticeKey_.generation = generation;
    }
    LifetimeMonitor_Add(timers, &noticeKey_, 0, DisconnectNoticeExpired, nullptr);
    EventChain_Wake(chain_);
}

void AsyncSocket::DisconnectNoticeExpired(void* data) {
    auto* key = static_cast<TimerKey*>(data);
    AsyncSocket* self = key->owner;
    if (key->generation != self->generation_ || !self->IsClosed()) return;
    if (self->onDisconnect_ != nullptr) self->onDisconnect_(self, self->user_);
}

void AsyncSocket::SendErrorExpired(void* data) {
    auto* key = static_cast<TimerKey*>(data);
    if (key->generation == key->owner->generation_) key->owner->Disconnect();
}

void AsyncSocket::CloseAndNotify() {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ < 0) return;
        CloseLocked();
    }
    if (onDisconnect_ != nullptr) onDisconnect_(this, user_);
}

void AsyncSocket::OnDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (!IsClosed() && onInterrupt_ != nullptr) onInterrupt_(this, user_);
    ReleaseAll();
}

// --- sending -------------------------------------------------------------------

void AsyncSocket::ScheduleSendErrorLocked() {
    sendErrorKey_.generation = generation_;
    LifetimeMonitor_Add(EventChain_Timers(chain_), &sendErrorKey_, 0, SendErrorExpired, nullptr);
}

void AsyncSocket::SendQueued(int fd) {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ != fd || queue_.Empty()) return;
        const SendQueue::Flush result = queue_.FlushTo(fd, datagram_);
        if (result == SendQueue::Flush::kFailed) ScheduleSendErrorLocked();
        if (result != SendQueue::Flush::kDrained) return;
    }
    if (onSendDone_ != nullptr) onSendDone_(this, user_);
}

int AsyncSocket::Send(const char* buffer, int length, std::uint32_t address, int port,
                      int ownership) {
    if (length < 0) length = 0;
    SendNode node{buffer, length, 0, address, port, ownership};
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ < 0) {
            FreeOwnedBuffer(buffer, ownership);
            return kSendClosed;
        }
        queue_.Announce(length);
        if (queue_.Empty() && connected_) {
            const long sent = SendNodeOnce(socket_, node);
            if (sent == length) {
                queue_.CountSent(length);
                FreeOwnedBuffer(buffer, ownership);
                return kSendComplete;
            }
            if (sent < 0 && !WouldBlock(errno)) {
                queue_.CountDropped(length);
                FreeOwnedBuffer(buffer, ownership);
                if (!datagram_) ScheduleSendErrorLocked();
                return kSendClosed;
            }
            if (sent > 0) {
                node.sent = static_cast<int>(sent);
                queue_.CountSent(sent);
            }
        }
        queue_.Push(node);
    }
    if (!OnChainThread()) EventChain_Wake(chain_);
    return kSendQueued;
}

// --- receiving -----------------------------------------------------------------

// Makes room for the next read, reporting every move of the unconsumed
// bytes. False when the buffer is full at its ceiling.
bool AsyncSocket::MakeRoom() {
    std::ptrdiff_t compacted = 0, grown = 0;
    const bool room = buffer_.MakeRoom(maxBufferSize_, &compacted, &grown);
    if (onBufferMoved_ != nullptr) {
        if (compacted != 0) onBufferMoved_(this, user_, compacted);
        if (grown != 0) onBufferMoved_(this, user_, grown);
    }
    return room;
}

// A stream socket reads once per wake. A datagram socket takes every
// datagram that is ready (a burst of answers must not wait in the kernel's
// buffer for the next pass), for at most kMaxDrainMsPerWake, so that a
// flood cannot hold the chain thread: the rest waits for the next pass.
void AsyncSocket::Read(int fd) {
    if (!datagram_) {
        ReadOnce(fd);
        return;
    }
    const std::int64_t until = StackClock_NowMs() + kMaxDrainMsPerWake;
    while (ReadOnce(fd)) {
        if (StackClock_NowMs() >= until) return;
    }
}

// One read; true when a datagram was delivered and the socket may read again.
bool AsyncSocket::ReadOnce(int fd) {
    const std::uint64_t generation = generation_;
    if (!MakeRoom()) {
        if (onBufferTooBig_ != nullptr) onBufferTooBig_(this, user_);
        if (generation == generation_) Disconnect();
        return false;
    }
    if (generation != generation_) return false;
    long received = 0;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ != fd) return false;
        const auto room = static_cast<std::size_t>(buffer_.Room());
        if (datagram_) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            received = recvfrom(fd, buffer_.Tail(), room, 0, reinterpret_cast<sockaddr*>(&from),
                                &fromLength);
            // An empty datagram or a reported ICMP error is no reason to close;
            // an empty one does not end the draining either.
            if (received == 0) return true;
            if (received < 0) return !WouldBlock(errno);
            remoteAddress_ = from.sin_addr.s_addr;
            remotePort_ = ntohs(from.sin_port);
        } else {
            received = recv(fd, buffer_.Tail(), room, 0);
            if (received < 0 && WouldBlock(errno)) return false;
            if (received <= 0) CloseLocked();
        }
    }
    if (received <= 0) {
        if (onDisconnect_ != nullptr) onDisconnect_(this, user_);
        return false;
    }
    buffer_.Append(static_cast<int>(received));
    Deliver(generation);
    return generation == generation_ && pause_.load() == 0;
}

// Offers the unconsumed bytes to the data handler until it pauses, stops
// consuming or has used everything.
void AsyncSocket::Deliver(std::uint64_t generation) {
    while (buffer_.Length() > 0) {
        if (onData_ == nullptr) {
            buffer_.Clear();
            return;
        }
        const int length = buffer_.Length();
        int consumed = 0;
        int pause = 0;
        onData_(this, buffer_.Unconsumed(), &consumed, length, &onInterrupt_, &user_, &pause);
        if (generation != generation_) return;  // reconnected inside the handler
        if (consumed < 0) consumed = 0;
        if (consumed > length) consumed = length;
        buffer_.Consume(consumed);
        if (pause > 0) {
            int receiving = 0;
            pause_.compare_exchange_strong(receiving, pause);
        }
        if (pause_.load() != 0 || consumed == 0) return;
    }
}

// --- chain hooks ---------------------------------------------------------------

void AsyncSocket::OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                            int& blockTimeMs) {
    if (chainThread_.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        chainThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    std::lock_guard<StackSemaphore> guard(lock_);
    if (socket_ < 0) return;
    if (pause_.load() < 0) blockTimeMs = 0;
    if (!connected_) {
        writeSet.Add(socket_);
        errorSet.Add(socket_);
    } else if (pause_.load() == 0) {
        readSet.Add(socket_);
        errorSet.Add(socket_);
    }
    if (!queue_.Empty()) writeSet.Add(socket_);
}

void AsyncSocket::OnReady(int selectResult, const SocketSet& readSet, const SocketSet& writeSet,
                          const SocketSet& errorSet) {
    if (selectResult == 0 && pause_.load() >= 0) return;
    int fd = -1;
    bool connected = false;
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        fd = socket_;
        connected = connected_;
    }
    if (fd < 0) return;
    const bool writable = writeSet.Contains(fd);
    const bool readable = readSet.Contains(fd);
    const bool failed = errorSet.Contains(fd);
    if (!connected) {
        if (writable || failed) FinishConnect(fd, writable, failed);
        return;
    }
    const std::uint64_t generation = generation_;
    if (writable) SendQueued(fd);
    if (generation != generation_ || IsClosed()) return;
    // An error with data still waiting reads first: the read reports the
    // error (or the close) once the data has been delivered.
    if (readable) {
        Read(fd);
    } else if (failed) {
        CloseAndNotify();
    } else if (pause_.load() < 0) {
        int resuming = -1;
        if (pause_.compare_exchange_strong(resuming, 0)) Deliver(generation);
    }
}

// --- accessors -----------------------------------------------------------------

bool AsyncSocket::IsClosed() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return socket_ < 0;
}

int AsyncSocket::Handle() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return socket_;
}

void AsyncSocket::Resume() {
    {
        std::lock_guard<StackSemaphore> guard(lock_);
        if (socket_ < 0) return;
        pause_ = -1;
    }
    EventChain_Wake(chain_);
}

std::uint32_t AsyncSocket::LocalInterface() {
    if (localInterface_ != 0) return localInterface_;
    std::lock_guard<StackSemaphore> guard(lock_);
    if (localAddress_ == 0) localAddress_ = LocalAddressOf(socket_);  // asked once per connection
    return localAddress_;
}

void AsyncSocket::Buffer(char** buffer, int* begin, int* end) const {
    if (buffer != nullptr) *buffer = buffer_.Data();
    if (begin != nullptr) *begin = buffer_.Begin();
    if (end != nullptr) *end = buffer_.End();
}

void AsyncSocket::SetMaxBufferSize(int maxSize, AsyncSocket_OnBufferTooBig callback) {
    maxBufferSize_ = maxSize > 0 ? maxSize : 0;
    onBufferTooBig_ = callback;
}

std::int64_t AsyncSocket::PendingBytes() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return queue_.Pending();
}

std::int64_t AsyncSocket::TotalSent() {
    std::lock_guard<StackSemaphore> guard(lock_);
    return queue_.TotalSent();
}

// --- module functions ------------------------------------------------------------

AsyncSocket* AsyncSocket_Create(EventChain* chain, int initialBufferSize, AsyncSocket_OnData onData,
                                AsyncSocket_OnConnect onConnect,
                                AsyncSocket_OnDisconnect onDisconnect,
                                AsyncSocket_OnSendDone onSendDone) {
    auto* socket =
        new AsyncSocket(chain, initialBufferSize, onData, onConnect, onDisconnect, onSendDone);
    EventChain_AddObject(chain, socket);
    return socket;
}

void AsyncSocket_Connect(AsyncSocket* socket, std::uint32_t localInterface,
                         std::uint32_t remoteAddress, int remotePort,
                         AsyncSocket_OnInterrupt onInterrupt, void* user) {
    if (socket != nullptr)
        socket->Connect(localInterface, remoteAddress, remotePort, onInterrupt, user);
}

void AsyncSocket_Adopt(AsyncSocket* socket, int handle, AsyncSocket_OnInterrupt onInterrupt,
                       void* user) {
    if (socket != nullptr) socket->Adopt(handle, onInterrupt, user);
}

int AsyncSocket_Send(AsyncSocket* socket, const char* buffer, int length, int ownership) {
    return AsyncSocket_SendTo(socket, buffer, length, 0, 0, ownership);
}

int AsyncSocket_SendTo(AsyncSocket* socket, const char* buffer, int length, std::uint32_t address,
                       int port, int ownership) {
    if (socket == nullptr) {
        FreeOwnedBuffer(buffer, ownership);
        return kSendClosed;
    }
    return socket->Send(buffer, length, address, port, ownership);
}

void AsyncSocket_Disconnect(AsyncSocket* socket) {
    if (socket != nullptr) socket->Disconnect();
}

void AsyncSocket_Resume(AsyncSocket* socket) {
    if (socket != nullptr) socket->Resume();
}

bool AsyncSocket_IsClosed(AsyncSocket* socket) {
    return socket == nullptr || socket->IsClosed();
}
void* AsyncSocket_GetUser(AsyncSocket* socket) {
    return socket->User();
}
void AsyncSocket_SetUser(AsyncSocket* socket, void* user) {
    socket->SetUser(user);
}
std::uint32_t AsyncSocket_GetRemoteInterface(AsyncSocket* socket) {
    return socket->RemoteAddress();
}
int AsyncSocket_GetRemotePort(AsyncSocket* socket) {
    return socket->RemotePort();
}
std::uint32_t AsyncSocket_GetLocalInterface(AsyncSocket* socket) {
    return socket->LocalInterface();
}
void AsyncSocket_SetLocalInterface(AsyncSocket* socket, std::uint32_t address) {
    socket->SetLocalInterface(address);
}
void AsyncSocket_GetBuffer(AsyncSocket* socket, char** buffer, int* begin, int* end) {
    socket->Buffer(buffer, begin, end);
}
void AsyncSocket_SetBufferMoved(AsyncSocket* socket, AsyncSocket_OnBufferMoved callback) {
    socket->SetBufferMoved(callback);
}
void AsyncSocket_SetMaxBufferSize(AsyncSocket* socket, int maxSize,
                                  AsyncSocket_OnBufferTooBig callback) {
    socket->SetMaxBufferSize(maxSize, callback);
}
void AsyncSocket_SetConnectTimeout(AsyncSocket* socket, int timeoutMs) {
    socket->SetConnectTimeout(timeoutMs);
}
std::int64_t AsyncSocket_GetPendingBytes(AsyncSocket* socket) {
    return socket->PendingBytes();
}
std::int64_t AsyncSocket_GetTotalSent(AsyncSocket* socket) {
    return socket->TotalSent();
}

}  // namespace norvale::stack
