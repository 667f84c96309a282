#include "upnp/stack/UdpSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace norvale::stack {
namespace {

// Random draws before the range is walked in order.
constexpr int kRandomAttempts = 64;

// The user record of a UDP socket; freed at its disconnect or interruption.
struct UdpRecord {
    void* user;
    void* reserved[2];
    int localPort;
    UdpSocket_OnData onData;
    UdpSocket_OnSendDone onSendDone;
};

UdpRecord* RecordOf(UdpSocket* socket) {
    return socket == nullptr ? nullptr : static_cast<UdpRecord*>(AsyncSocket_GetUser(socket));
}

// Every datagram goes to the owner whole and is consumed whole.
void OnDatagram(AsyncSocket* socket, char* buffer, int* consumed, int length,
                AsyncSocket_OnInterrupt*, void** user, int* pause) {
    auto* record = static_cast<UdpRecord*>(*user);
    *consumed = length;
    if (record == nullptr || record->onData == nullptr) return;
    record->onData(socket, buffer, length, AsyncSocket_GetRemoteInterface(socket),
                   AsyncSocket_GetRemotePort(socket), record->user, nullptr, pause);
}

void ReleaseRecord(AsyncSocket* socket, void* user) {
    delete static_cast<UdpRecord*>(user);
    AsyncSocket_SetUser(socket, nullptr);
}

void OnSent(AsyncSocket* socket, void* user) {
    auto* record = static_cast<UdpRecord*>(user);
    if (record != nullptr && record->onSendDone != nullptr) {
        record->onSendDone(socket, record->user, nullptr);
    }
}

bool BindPort(int fd, std::uint32_t localInterface, int port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = localInterface;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    return bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

// Binds a random port of [low, high); after some taken ports the range is
// walked from a random start, so a full range ends instead of spinning.
int BindInRange(int fd, std::uint32_t localInterface, int low, int high) {
    if (low == high) return BindPort(fd, localInterface, low) ? low : -1;
    for (int attempt = 0; attempt < kRandomAttempts; ++attempt) {
        const int port = UdpSocket_RandomPort(low, high);
        if (BindPort(fd, localInterface, port)) return port;
    }
    const int span = high - low;
    const int start = UdpSocket_RandomPort(low, high) - low;
    for (int step = 0; step < span; ++step) {
        const int port = low + (start + step) % span;
        if (BindPort(fd, localInterface, port)) return port;
    }
    return -1;
}

}  // namespace

int UdpSocket_RandomPort(int low, int high) {
    if (high <= low) return low;
    return low + std::rand() % (high - low);
}

// A bound datagram handle and its port, or -1.
int OpenBound(std::uint32_t localInterface, int portLow, int portHigh, int reuse, int* port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int reuseValue = reuse;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuseValue, sizeof reuseValue);
    *port = BindInRange(fd, localInterface, portLow, portHigh);
    if (*port < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

UdpSocket* UdpSocket_Create(EventChain* chain, int bufferSize, std::uint32_t localInterface,
                            int portLow, int portHigh, int reuse, UdpSocket_OnData onData,
                            UdpSocket_OnSendDone onSendDone, void* user) {
    if (chain == nullptr || portHigh < portLow) return nullptr;
    int port = 0;
    const int fd = OpenBound(localInterface, portLow, portHigh, reuse, &port);
    if (fd < 0) return nullptr;
    auto* record = new UdpRecord{user, {nullptr, nullptr}, port, onData, onSendDone};
    AsyncSocket* socket =
        AsyncSocket_Create(chain, bufferSize, OnDatagram, nullptr, ReleaseRecord, OnSent);
    AsyncSocket_Adopt(socket, fd, ReleaseRecord, record);
    return socket;
}

bool UdpSocket_Reopen(UdpSocket* socket, std::uint32_t localInterface, int portLow, int portHigh,
                      int reuse, UdpSocket_OnData onData, UdpSocket_OnSendDone onSendDone,
                      void* user) {
    if (socket == nullptr || portHigh < portLow || !socket->IsClosed()) return false;
    int port = 0;
    const int fd = OpenBound(localInterface, portLow, portHigh, reuse, &port);
    if (fd < 0) return false;
    socket->SetLocalInterface(0);
    auto* record = new UdpRecord{user, {nullptr, nullptr}, port, onData, onSendDone};
    AsyncSocket_Adopt(socket, fd, ReleaseRecord, record);
    return true;
}

int UdpSocket_JoinGroup(UdpSocket* socket, std::uint32_t localInterface,
                        std::uint32_t groupAddress) {
    if (socket == nullptr) return -1;
    ip_mreq request{};
    request.imr_multiaddr.s_addr = groupAddress;
    request.imr_interface.s_addr = localInterface;
    const int result =
        setsockopt(socket->Handle(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
    AsyncSocket_SetLocalInterface(socket, result == 0 ? localInterface : 0);
    return result;
}

int UdpSocket_LeaveGroup(UdpSocket* socket, unsigned interfaceIndex, std::uint32_t localInterface,
                         std::uint32_t groupAddress) {
    if (socket == nullptr) return -1;
    ip_mreqn request{};
    request.imr_multiaddr.s_addr = groupAddress;
    request.imr_address.s_addr = interfaceIndex == 0 ? localInterface : 0;
    request.imr_ifindex = static_cast<int>(interfaceIndex);
    return setsockopt(socket->Handle(), IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request);
}

int UdpSocket_SetReceiveBuffer(UdpSocket* socket, int bytes) {
    const int fd = socket != nullptr ? socket->Handle() : -1;
    if (fd < 0) return -1;
    const auto granted = [fd] {
        int size = 0;
        socklen_t length = sizeof size;
        return getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 ? size / 2 : 0;
    };
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    // Past the system's ceiling only with the right to override it.
    if (granted() < bytes) setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
    return granted();
}

int UdpSocket_SetMulticastInterface(UdpSocket* socket, std::uint32_t localInterface) {
    if (socket == nullptr) return -1;
    in_addr address{};
    address.s_addr = localInterface;
    return setsockopt(socket->Handle(), IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address);
}

int UdpSocket_SetMulticastTtl(UdpSocket* socket, int ttl) {
    if (socket == nullptr) return -1;
    const unsigned char value = static_cast<unsigned char>(ttl);
    return setsockopt(socket->Handle(), IPPROTO_IP, IP_MULTICAST_TTL, &value, 1);
}

int UdpSocket_GetLocalPort(UdpSocket* socket) {
    const UdpRecord* record = RecordOf(socket);
    return record != nullptr ? record->localPort : 0;
}

}  // namespace norvale::stack
