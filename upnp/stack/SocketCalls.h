#pragma once

#include <netinet/in.h>

#include <cstdint>

namespace norvale::stack {

// System-call helpers shared by the socket types. Addresses are IPv4 in
// network order, ports in host order.

// True for the errors of a non-blocking socket that is merely not ready
// (EAGAIN/EWOULDBLOCK, EINTR, and EINPROGRESS of a connect under way).
bool WouldBlock(int error);

sockaddr_in MakeAddress(std::uint32_t address, int port);

// Makes `fd` non-blocking and close-on-exec.
void SetNonBlocking(int fd);

// Opens a non-blocking TCP socket bound to `localInterface` at a random port
// of 50000..64999 (the system picks one after 64 taken ports), with keep-alive
// on, and starts connecting. The descriptor, or -1 when that failed at once.
int StartConnect(std::uint32_t localInterface, std::uint32_t remoteAddress, int remotePort);

// The address `fd` is bound to; 0 for a closed or unbound descriptor.
std::uint32_t LocalAddressOf(int fd);

}  // namespace norvale::stack
