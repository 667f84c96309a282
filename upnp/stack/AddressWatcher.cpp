#include "upnp/stack/AddressWatcher.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/EventChain.h"

namespace norvale::stack {
namespace {

constexpr int kReadSize = 16384;
// Datagrams read in one wake; the kernel never sends a flood, but a bound
// keeps the chain moving whatever happens.
constexpr int kMaxReadsPerWake = 256;

}  // namespace

bool IsAddressChange(const void* datagram, int length) {
    const auto* bytes = static_cast<const unsigned char*>(datagram);
    int offset = 0;
    while (length - offset >= static_cast<int>(sizeof(nlmsghdr))) {
        nlmsghdr header;
        std::memcpy(&header, bytes + offset, sizeof header);
        const int size = static_cast<int>(header.nlmsg_len);
        if (size < static_cast<int>(sizeof header) || size > length - offset) return false;
        switch (header.nlmsg_type) {
            case RTM_NEWADDR:
            case RTM_DELADDR: {
                if (size < static_cast<int>(NLMSG_LENGTH(sizeof(ifaddrmsg)))) break;
                ifaddrmsg address;
                std::memcpy(&address, bytes + offset + NLMSG_HDRLEN, sizeof address);
                if (address.ifa_family == AF_INET) return true;
                break;
            }
            case RTM_NEWLINK:
            case RTM_DELLINK:
                return true;
            default:
                break;
        }
        offset += static_cast<int>(NLMSG_ALIGN(static_cast<unsigned>(size)));
    }
    return false;
}

AddressWatcher::AddressWatcher(AddressWatcher_OnChange onChange, void* user)
    : onChange_(onChange), user_(user) {}

AddressWatcher::~AddressWatcher() {
    Close();
}

bool AddressWatcher::Open() {
    if (fd_ >= 0) return true;
    fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) {
        DebugOutput("AddressWatcher: no rtnetlink socket; address changes are not followed");
        return false;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_LINK;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        DebugOutput("AddressWatcher: rtnetlink bind failed; address changes are not followed");
        Close();
        return false;
    }
    return true;
}

void AddressWatcher::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void AddressWatcher::OnPrepare(SocketSet& readSet, SocketSet&, SocketSet&, int&) {
    if (fd_ >= 0) readSet.Add(fd_);
}

void AddressWatcher::OnReady(int, const SocketSet& readSet, const SocketSet&, const SocketSet&) {
    if (fd_ < 0 || !readSet.Contains(fd_)) return;
    if (Drain() && onChange_ != nullptr) onChange_(user_);
}

// Reads every waiting datagram; true when one of them matters. Lost messages
// (the kernel's queue overflowed) count as a change.
bool AddressWatcher::Drain() {
    alignas(nlmsghdr) unsigned char buffer[kReadSize];
    bool changed = false;
    for (int read = 0; read < kMaxReadsPerWake; ++read) {
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = recvfrom(fd_, buffer, sizeof buffer, MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == ENOBUFS) {
                changed = true;
                continue;
            }
            break;
        }
        if (from.nl_pid != 0) continue;  // only the kernel speaks here
        if (got > static_cast<ssize_t>(sizeof buffer)) {
            changed = true;  // cut: read the addresses again to be sure
            continue;
        }
        if (IsAddressChange(buffer, static_cast<int>(got))) changed = true;
    }
    return changed;
}

void AddressWatcher::OnDestroy() {
    Close();
}

AddressWatcher* AddressWatcher_Create(EventChain* chain, AddressWatcher_OnChange onChange,
                                      void* user) {
    if (chain == nullptr) return nullptr;
    auto* watcher = new AddressWatcher(onChange, user);
    EventChain_AddObject(chain, watcher);
    watcher->Open();
    return watcher;
}

}  // namespace norvale::stack
