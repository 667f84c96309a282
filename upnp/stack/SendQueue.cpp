#include "upnp/stack/SendQueue.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "upnp/stack/SocketCalls.h"

namespace norvale::stack {
namespace {

constexpr int kOwnedBySocket = 0;  // BufferOwnership values
constexpr int kCopiedWhenQueued = 2;

}  // namespace

void FreeOwnedBuffer(const char* buffer, int ownership) {
    if (ownership == kOwnedBySocket) std::free(const_cast<char*>(buffer));
}

long SendNodeOnce(int fd, const SendNode& node) {
    const char* data = node.buffer + node.sent;
    const auto length = static_cast<std::size_t>(node.length - node.sent);
    if (node.address == 0 && node.port == 0) return send(fd, data, length, MSG_NOSIGNAL);
    sockaddr_in target = MakeAddress(node.address, node.port);
    return sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target),
                  sizeof target);
}

void SendQueue::Push(SendNode node) {
    if (node.ownership == kCopiedWhenQueued) {
        const int rest = node.length - node.sent;
        char* copy = static_cast<char*>(std::malloc(rest > 0 ? static_cast<std::size_t>(rest) : 1));
        if (copy == nullptr) std::abort();  // out of memory
        std::memcpy(copy, node.buffer + node.sent, static_cast<std::size_t>(rest));
        node = SendNode{copy, rest, 0, node.address, node.port, kOwnedBySocket};
    }
    nodes_.push_back(node);
}

void SendQueue::Clear() {
    for (const SendNode& node : nodes_) FreeOwnedBuffer(node.buffer, node.ownership);
    nodes_.clear();
    pending_ = 0;
}

SendQueue::Flush SendQueue::FlushTo(int fd, bool datagram) {
    while (!nodes_.empty()) {
        SendNode& node = nodes_.front();
        const long sent = SendNodeOnce(fd, node);
        if (sent < 0) {
            if (WouldBlock(errno)) return Flush::kBlocked;
            if (!datagram) {
                Clear();
                return Flush::kFailed;
            }
            CountDropped(node.length - node.sent);
        } else {
            node.sent += static_cast<int>(sent);
            CountSent(sent);
            if (node.sent < node.length) return Flush::kBlocked;
        }
        FreeOwnedBuffer(node.buffer, node.ownership);
        nodes_.pop_front();
    }
    return Flush::kDrained;
}

}  // namespace norvale::stack
