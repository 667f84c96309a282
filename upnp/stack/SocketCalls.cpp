#include "upnp/stack/SocketCalls.h"

#include <arpa/inet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace norvale::stack {
namespace {

constexpr int kLocalPortBase = 50000;
constexpr int kLocalPortSpan = 15000;
constexpr int kBindAttempts = 64;

// False when even a port of the system's choice cannot be bound (an address
// this host does not have).
bool BindRandomLocalPort(int fd, std::uint32_t localInterface) {
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        const int port = kLocalPortBase + std::rand() % kLocalPortSpan;
        sockaddr_in local = MakeAddress(localInterface, port);
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) return true;
    }
    sockaddr_in any = MakeAddress(localInterface, 0);
    return bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
}

}  // namespace

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EINPROGRESS;
}

sockaddr_in MakeAddress(std::uint32_t address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    return result;
}

void SetNonBlocking(int fd) {
    int on = 1;
    ioctl(fd, FIONBIO, &on);
    ioctl(fd, FIOCLEX);
}

int StartConnect(std::uint32_t localInterface, std::uint32_t remoteAddress, int remotePort) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    sockaddr_in remote = MakeAddress(remoteAddress, remotePort);
    if (!BindRandomLocalPort(fd, localInterface) ||
        (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 &&
         !WouldBlock(errno))) {
        close(fd);
        return -1;
    }
    return fd;
}

std::uint32_t LocalAddressOf(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return local.sin_addr.s_addr;
}

}  // namespace norvale::stack
