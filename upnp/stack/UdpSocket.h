#pragma once

#include <cstdint>

#include "upnp/stack/AsyncSocket.h"

namespace norvale::stack {

class EventChain;

// A datagram socket is an AsyncSocket that has adopted a bound UDP handle;
// send with AsyncSocket_SendTo. Owned by its chain.
using UdpSocket = AsyncSocket;

// One received datagram: `buffer`/`length` (cut to the receive buffer when it
// was larger), the sender's address (network order) and port (host order).
// `reserved` is always null. Set *pause above 0 to stop delivery until
// AsyncSocket_Resume.
using UdpSocket_OnData = void (*)(UdpSocket* socket, char* buffer, int length,
                                  std::uint32_t senderAddress, int senderPort, void* user,
                                  void* reserved, int* pause);
// The send queue has become empty.
using UdpSocket_OnSendDone = void (*)(UdpSocket* socket, void* user, void* reserved);

// Opens a UDP socket on `localInterface` (network order, 0 = any) with
// SO_REUSEADDR set to `reuse`, bound to `portLow` when it equals `portHigh`,
// else to a random free port in [portLow, portHigh). Returns null when the
// fixed port is taken, or when no port of the range is free. Callbacks may be
// null; `user` is handed to both.
UdpSocket* UdpSocket_Create(EventChain* chain, int bufferSize, std::uint32_t localInterface,
                            int portLow, int portHigh, int reuse, UdpSocket_OnData onData,
                            UdpSocket_OnSendDone onSendDone, void* user);

// Opens a new bound handle, as UdpSocket_Create, on a socket of this kind
// that has closed (AsyncSocket_Disconnect), so an owner that opens and closes
// sockets for changing addresses reuses the chain's objects instead of adding
// new ones. False, with the socket still closed, when it is open, null, or
// no port can be bound.
bool UdpSocket_Reopen(UdpSocket* socket, std::uint32_t localInterface, int portLow, int portHigh,
                      int reuse, UdpSocket_OnData onData, UdpSocket_OnSendDone onSendDone,
                      void* user);

// Joins multicast `groupAddress` on `localInterface` (both network order).
// Returns the setsockopt result, 0 on success; the socket's recorded local
// interface becomes `localInterface` on success, 0 on failure.
int UdpSocket_JoinGroup(UdpSocket* socket, std::uint32_t localInterface,
                        std::uint32_t groupAddress);

// Leaves multicast `groupAddress` on the interface with index
// `interfaceIndex`, or, when it is 0, on the one joined through
// `localInterface` (network order); works after the address has gone from
// the interface. The setsockopt result, 0 on success.
int UdpSocket_LeaveGroup(UdpSocket* socket, unsigned interfaceIndex, std::uint32_t localInterface,
                         std::uint32_t groupAddress);

// Asks the kernel for a receive buffer of `bytes` (beyond the system's
// ceiling where the process may); returns the usable size it granted (the
// kernel counts its bookkeeping twice), or -1 for a closed socket.
int UdpSocket_SetReceiveBuffer(UdpSocket* socket, int bytes);

// Sends multicast datagrams out of `localInterface`; the setsockopt result.
int UdpSocket_SetMulticastInterface(UdpSocket* socket, std::uint32_t localInterface);

// Hop limit of multicast datagrams (one byte); the setsockopt result.
int UdpSocket_SetMulticastTtl(UdpSocket* socket, int ttl);

// The bound port (host order); 0 once the socket has closed.
int UdpSocket_GetLocalPort(UdpSocket* socket);

// A port of [low, high) drawn with rand(); `high` itself never comes out.
int UdpSocket_RandomPort(int low, int high);

}  // namespace norvale::stack
