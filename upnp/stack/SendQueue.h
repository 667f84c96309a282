#pragma once

#include <cstdint>
#include <deque>

namespace norvale::stack {

// One send waiting in a socket's queue: `length` bytes of `buffer`, `sent` of
// them gone. A stream send has address and port 0; a datagram carries its
// destination (address in network order, port in host order). `ownership`
// is a BufferOwnership value (AsyncSocket.h).
struct SendNode {
    const char* buffer;
    int length;
    int sent;
    std::uint32_t address;
    int port;
    int ownership;
};

// Frees `buffer` (std::free) when the socket owns it (ownership 0).
void FreeOwnedBuffer(const char* buffer, int ownership);

// Sends what is left of `node` once, without SIGPIPE: send() for a stream
// node, sendto() otherwise. The system call's result (errno on -1).
long SendNodeOnce(int fd, const SendNode& node);

// The send queue of a socket with its byte counters. It does not lock: the
// owning socket's lock guards it. Owned buffers are freed when their node is
// sent or dropped, and at destruction.
class SendQueue {
  public:
    enum class Flush { kDrained, kBlocked, kFailed };

    SendQueue() = default;
    SendQueue(const SendQueue&) = delete;
    SendQueue& operator=(const SendQueue&) = delete;
    ~SendQueue() { Clear(); }

    bool Empty() const { return nodes_.empty(); }
    // Bytes announced and not yet sent or dropped; bytes sent since ResetCounters.
    std::int64_t Pending() const { return pending_; }
    std::int64_t TotalSent() const { return totalSent_; }
    void ResetCounters() { pending_ = totalSent_ = 0; }

    // Bookkeeping of a send tried before queuing: announced, sent, given up.
    void Announce(long bytes) { pending_ += bytes; }
    void CountSent(long bytes) {
        pending_ -= bytes;
        totalSent_ += bytes;
    }
    void CountDropped(long bytes) { pending_ -= bytes; }

    // Appends an announced node; a copy-ownership node is copied first (only
    // its unsent part) and owned from then on.
    void Push(SendNode node);

    // Drops every node, freeing owned buffers; nothing stays pending.
    void Clear();

    // Sends from the head until the queue is empty (kDrained) or the socket
    // would block (kBlocked). A failed datagram is dropped alone; a failed
    // stream send clears the queue and gives kFailed.
    Flush FlushTo(int fd, bool datagram);

  private:
    std::deque<SendNode> nodes_;
    std::int64_t pending_ = 0;
    std::int64_t totalSent_ = 0;
};

}  // namespace norvale::stack
