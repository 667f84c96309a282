#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/ReceiveBuffer.h"
#include "upnp/stack/SendQueue.h"
#include "upnp/stack/StackSemaphore.h"

namespace norvale::stack {

class EventChain;
class AsyncSocket;

// Who owns a buffer handed to AsyncSocket_Send / AsyncSocket_SendTo.
enum BufferOwnership : int {
    kBufferOwned = 0,   // malloc'd; the socket frees it (std::free) when sent or dropped
    kBufferStatic = 1,  // lives for ever; never freed, never copied
    kBufferCopy = 2,    // the caller keeps it; the socket copies it when it must queue it
};

// Results of AsyncSocket_Send / AsyncSocket_SendTo.
enum SendResult : int {
    kSendComplete = 0,  // everything went out at once
    kSendQueued = 1,    // some or all of it waits in the send queue
    kSendClosed = -4,   // the socket is closed or the send failed
};

// Longest wait for a connect, and the default ceiling of a receive buffer
// (room for a large device description).
constexpr int kConnectTimeoutMs = 30000;
constexpr int kDefaultMaxBufferSize = 8 * 1024 * 1024;
// How long a datagram socket may take ready datagrams in one wake (stack
// clock): long enough for a burst of hundreds of answers, short enough that
// the timers and the other sockets of the chain keep their turn under a flood.
constexpr int kMaxDrainMsPerWake = 5;

// Callbacks; all run on the chain thread, never with the socket lock held.
// `user` is the pointer given to Connect/Adopt (the data handler may replace
// it and the interrupt callback through its in/out arguments).
using AsyncSocket_OnInterrupt = void (*)(AsyncSocket* socket, void* user);
// `buffer`/`length`: the unconsumed bytes. Set *consumed to the bytes used;
// set *pause above 0 to stop delivery until AsyncSocket_Resume.
using AsyncSocket_OnData = void (*)(AsyncSocket* socket, char* buffer, int* consumed, int length,
                                    AsyncSocket_OnInterrupt* onInterrupt, void** user, int* pause);
// ok is -1 when connected, 0 on failure or time-out.
using AsyncSocket_OnConnect = void (*)(AsyncSocket* socket, int ok, void* user);
using AsyncSocket_OnDisconnect = void (*)(AsyncSocket* socket, void* user);
// The send queue has become empty.
using AsyncSocket_OnSendDone = void (*)(AsyncSocket* socket, void* user);
// The receive buffer reached its maximum size with nothing consumed; the
// socket disconnects right after this call.
using AsyncSocket_OnBufferTooBig = void (*)(AsyncSocket* socket, void* user);
// The receive buffer moved in memory by `offset` bytes (new minus old address
// of the unconsumed data); pointers into it must be shifted by as much.
using AsyncSocket_OnBufferMoved = void (*)(AsyncSocket* socket, void* user, std::ptrdiff_t offset);

// One non-blocking stream or datagram socket on an EventChain, with a
// growable receive buffer and a send queue. The object is reusable: after a
// disconnect the next Connect or Adopt opens a new connection on it. Owned by
// its chain. Sends, Disconnect and Resume are safe from any thread; the rest
// belongs to the chain thread (or to set-up before the chain runs).
class AsyncSocket : public ChainedObject {
  public:
    AsyncSocket(EventChain* chain, int initialBufferSize, AsyncSocket_OnData onData,
                AsyncSocket_OnConnect onConnect, AsyncSocket_OnDisconnect onDisconnect,
                AsyncSocket_OnSendDone onSendDone);
    ~AsyncSocket() override;

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnReady(int selectResult, const SocketSet& readSet, const SocketSet& writeSet,
                 const SocketSet& errorSet) override;
    void OnDestroy() override;

    void Connect(std::uint32_t localInterface, std::uint32_t remoteAddress, int remotePort,
                 AsyncSocket_OnInterrupt onInterrupt, void* user);
    void Adopt(int handle, AsyncSocket_OnInterrupt onInterrupt, void* user);
    int Send(const char* buffer, int length, std::uint32_t address, int port, int ownership);
    void Disconnect();
    void Resume();

    bool IsClosed();
    int Handle();  // the descriptor, -1 when closed (for socket options)
    bool IsDatagram() const { return datagram_; }
    void* User() const { return user_; }
    void SetUser(void* user) { user_ = user; }
    std::uint32_t RemoteAddress() const { return remoteAddress_; }
    int RemotePort() const { return remotePort_; }
    std::uint32_t LocalInterface();
    void SetLocalInterface(std::uint32_t address) { localInterface_ = address; }
    void Buffer(char** buffer, int* begin, int* end) const;
    void SetBufferMoved(AsyncSocket_OnBufferMoved callback) { onBufferMoved_ = callback; }
    void SetMaxBufferSize(int maxSize, AsyncSocket_OnBufferTooBig callback);
    void SetConnectTimeout(int timeoutMs) { connectTimeoutMs_ = timeoutMs; }
    std::int64_t PendingBytes();
    std::int64_t TotalSent();

  private:
    // A timer's data pointer: one per purpose, so each can be cancelled alone.
    struct TimerKey {
        AsyncSocket* owner;
        std::uint64_t generation;  // the connection it was scheduled for
    };

    static void ConnectTimedOut(void* data);
    static void SendErrorExpired(void* data);
    static void DisconnectNoticeExpired(void* data);

    void ResetForConnection(AsyncSocket_OnInterrupt onInterrupt, void* user);
    void CloseLocked();
    void ScheduleSendErrorLocked();
    void CancelTimers();
    bool OnChainThread() const;
    void SendQueued(int fd);
    void FinishConnect(int fd, bool writable, bool failed);
    void CloseAndNotify();
    bool MakeRoom();
    void Read(int fd);
    bool ReadOnce(int fd);
    void Deliver(std::uint64_t generation);
    void ReleaseAll();

    EventChain* chain_;
    StackSemaphore lock_;  // guards socket_, connected_, queue_ and pause_ changes
    int socket_ = -1;
    bool datagram_ = false;
    bool connected_ = false;
    std::atomic<int> pause_{1};     // 0 receiving, >0 paused (1 after a close), -1 resume asked
    std::uint64_t generation_ = 0;  // bumped by every Connect/Adopt
    SendQueue queue_;
    ReceiveBuffer buffer_;  // chain thread only
    int maxBufferSize_ = kDefaultMaxBufferSize;
    int connectTimeoutMs_ = kConnectTimeoutMs;

    std::uint32_t remoteAddress_ = 0;  // network order
    int remotePort_ = 0;               // host order
    std::uint32_t localAddress_ = 0;
    std::uint32_t localInterface_ = 0;

    AsyncSocket_OnData onData_;
    AsyncSocket_OnConnect onConnect_;
    AsyncSocket_OnDisconnect onDisconnect_;
    AsyncSocket_OnSendDone onSendDone_;
    AsyncSocket_OnInterrupt onInterrupt_ = nullptr;
    AsyncSocket_OnBufferTooBig onBufferTooBig_ = nullptr;
    AsyncSocket_OnBufferMoved onBufferMoved_ = nullptr;
    void* user_ = nullptr;

    TimerKey connectKey_{this, 0};
    TimerKey sendErrorKey_{this, 0};
    TimerKey noticeKey_{this, 0};
    std::atomic<std::thread::id> chainThread_{};
    bool destroyed_ = false;
};

// Creates a closed socket with a receive buffer of `initialBufferSize` bytes
// and adds it to `chain`, which owns it. Callbacks may be null.
AsyncSocket* AsyncSocket_Create(EventChain* chain, int initialBufferSize, AsyncSocket_OnData onData,
                                AsyncSocket_OnConnect onConnect,
                                AsyncSocket_OnDisconnect onDisconnect,
                                AsyncSocket_OnSendDone onSendDone);

// Opens a TCP connection from `localInterface` (0 = any) at a random local
// port to `remoteAddress`:`remotePort` (address in network order, port in host
// order). The result comes through on connect: -1 connected, 0 failed or no
// answer within the connect time-out. An open connection is dropped first
// without callbacks. Null is ignored.
void AsyncSocket_Connect(AsyncSocket* socket, std::uint32_t localInterface,
                         std::uint32_t remoteAddress, int remotePort,
                         AsyncSocket_OnInterrupt onInterrupt, void* user);

// Takes over an open descriptor (an accepted connection or a bound datagram
// socket) as a connected socket; the socket owns and closes it from now on.
void AsyncSocket_Adopt(AsyncSocket* socket, int handle, AsyncSocket_OnInterrupt onInterrupt,
                       void* user);

// Sends `length` bytes (ownership: BufferOwnership). Returns kSendComplete,
// kSendQueued or kSendClosed; an owned buffer is freed in every case where the
// socket does not keep it. A failed stream send disconnects through a 0 ms
// timer, never inside this call; a failed datagram only drops that datagram.
int AsyncSocket_Send(AsyncSocket* socket, const char* buffer, int length, int ownership);
// As AsyncSocket_Send, to `address`:`port` (a datagram socket).
int AsyncSocket_SendTo(AsyncSocket* socket, const char* buffer, int length, std::uint32_t address,
                       int port, int ownership);

// Closes the connection, drops the send queue and calls on disconnect (on the
// chain thread: from another thread the call is delivered by a 0 ms timer).
// A closed socket or null: nothing happens.
void AsyncSocket_Disconnect(AsyncSocket* socket);

// Ends a pause set by the data handler: the next pass delivers what is
// buffered, then reading starts again.
void AsyncSocket_Resume(AsyncSocket* socket);

// True when no descriptor is open.
bool AsyncSocket_IsClosed(AsyncSocket* socket);
void* AsyncSocket_GetUser(AsyncSocket* socket);
void AsyncSocket_SetUser(AsyncSocket* socket, void* user);
// The connect target, or for datagrams the sender of the last one received.
std::uint32_t AsyncSocket_GetRemoteInterface(AsyncSocket* socket);
int AsyncSocket_GetRemotePort(AsyncSocket* socket);
// The recorded local interface, else the connection's own local address.
std::uint32_t AsyncSocket_GetLocalInterface(AsyncSocket* socket);
void AsyncSocket_SetLocalInterface(AsyncSocket* socket, std::uint32_t address);
// The receive buffer and the offsets of its unconsumed bytes [begin, end).
void AsyncSocket_GetBuffer(AsyncSocket* socket, char** buffer, int* begin, int* end);
void AsyncSocket_SetBufferMoved(AsyncSocket* socket, AsyncSocket_OnBufferMoved callback);
// Ceiling of the receive buffer (0 = none); a message that would need more
// ends in `callback` (may be null) and a disconnect.
void AsyncSocket_SetMaxBufferSize(AsyncSocket* socket, int maxSize,
                                  AsyncSocket_OnBufferTooBig callback);
// Connect time-out of the following connects (milliseconds).
void AsyncSocket_SetConnectTimeout(AsyncSocket* socket, int timeoutMs);
// Bytes waiting in the send queue; bytes sent since the last connect.
std::int64_t AsyncSocket_GetPendingBytes(AsyncSocket* socket);
std::int64_t AsyncSocket_GetTotalSent(AsyncSocket* socket);

}  // namespace norvale::stack
