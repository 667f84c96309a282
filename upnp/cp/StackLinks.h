#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "upnp/stack/WebClient.h"

namespace norvale::stack {
class EventChain;
struct Packet;
}  // namespace norvale::stack

namespace norvale::cp {

class ControlPoint;

// One report of the HTTP client about a request: interrupt 0 normally, 5
// when given up, 6 when dropped; the response header (null when there was
// no response); the whole body so far; done once the exchange is over; the
// dotted local address the response came over.
struct HttpReply {
    int interrupt = 0;
    stack::Packet* packet = nullptr;
    const char* body = nullptr;
    std::ptrdiff_t length = 0;
    bool done = false;
    const char* interfaceAddress = "";
};

// Called on the chain thread; only the last call of a request has done set.
using HttpHandler = void (*)(const HttpReply& reply, void* user1, void* user2);

// The stack objects a control point talks through: its HTTP client (pool of
// 16, two connections per server), SSDP client and event listener. Created
// on the chain, which owns the
// underlying objects; this holder only keeps the pointers.
class StackLinks {
  public:
    // Without `search` no SSDP client is made.
    StackLinks(stack::EventChain* chain, ControlPoint* owner, const char* searchTarget,
               bool search);
    StackLinks(const StackLinks&) = delete;
    StackLinks& operator=(const StackLinks&) = delete;
    ~StackLinks();

    // Queues `packet` (taken over) to host:port; returns the cancel token.
    // `options` carry the tag (the device tree the request belongs to) and
    // the deadlines of the request.
    void* QueuePacket(const char* host, int port, stack::Packet* packet, HttpHandler handler,
                      void* user1, void* user2, const stack::WebRequestOptions& options = {});
    // Queues the raw texts (copied) to host:port. Any thread: the request
    // reaches the HTTP client on the chain thread's next pass.
    void QueueRaw(const char* host, int port, const std::string& header, const std::string& body,
                  HttpHandler handler, void* user1, void* user2, void* tag = nullptr);
    // Cancels a request queued by QueuePacket; its handler is called once.
    void Cancel(void* token);
    // Drops every request queued or in progress with `tag`; handlers get
    // interrupt 6. Requests of other tags to the same server go on.
    void DropTagged(void* tag);
    int EventListenerPort() const;
    // A fresh search (with its repeats) on every local address; chain
    // thread only. Nothing without an SSDP client.
    void Search();

    struct Objects;

  private:
    std::unique_ptr<Objects> objects_;
};

}  // namespace norvale::cp
