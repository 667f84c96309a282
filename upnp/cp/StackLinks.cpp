#include "upnp/cp/StackLinks.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/DeviceDescription.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/SsdpClient.h"
#include "upnp/stack/TextParse.h"
#include "upnp/stack/WebClient.h"
#include "upnp/stack/WebServer.h"

namespace norvale::cp {
namespace {

// Routes one request's reports to its HttpHandler and collects the body, so
// the handler sees the whole body on its last call. Freed after that call.
struct Thunk {
    HttpHandler handler;
    void* user1;
    void* user2;
    std::string body;
    bool oversize = false;
};

void Deliver(Thunk* thunk, int interrupt, stack::Packet* packet, const char* interfaceAddress,
             bool done) {
    HttpReply reply;
    reply.interrupt = interrupt;
    reply.packet = packet;
    reply.done = done;
    reply.interfaceAddress = interfaceAddress;
    if (!thunk->oversize && !thunk->body.empty()) {
        reply.body = thunk->body.data();
        reply.length = static_cast<std::ptrdiff_t>(thunk->body.size());
    }
    thunk->handler(reply, thunk->user1, thunk->user2);
}

void OnResponse(stack::ConnectionRecord* connection, int interrupt, stack::Packet* packet,
                char* buffer, int* consumed, int length, int done, void* user1, void* /*user2*/,
                int* /*pause*/) {
    auto* thunk = static_cast<Thunk*>(user1);
    if (buffer != nullptr && length > 0) {
        if (thunk->body.size() + static_cast<std::size_t>(length) > kMaxDescriptionBytes) {
            thunk->oversize = true;
        } else if (!thunk->oversize) {
            thunk->body.append(buffer, static_cast<std::size_t>(length));
        }
    }
    if (consumed != nullptr) *consumed = length;
    char address[INET_ADDRSTRLEN] = "";
    if (connection != nullptr) {
        in_addr local{};
        local.s_addr = stack::WebClient_GetLocalInterface(connection);
        inet_ntop(AF_INET, &local, address, sizeof address);
    }
    if (done == 0) return;
    Deliver(thunk, interrupt, packet, address, true);
    delete thunk;
}

// A request that could not be queued still ends in one report on the chain.
void OnUnqueued(Thunk* thunk) {
    Deliver(thunk, stack::kWebInterruptGivenUp, nullptr, "", true);
    delete thunk;
}

// A raw request on its way from any thread to the chain thread, where it is
// handed to the HTTP client (so the client is only ever called there).
struct RawRequest {
    stack::ILibWebClient* http;
    std::string host;
    int port;
    std::string header;
    std::string body;
    Thunk* thunk;
    void* tag;
};

// The HTTP client's pool, and the connections one device's server may have
// at once. Descriptions and service descriptions are asked for with
// HTTP/1.0, one connection each: sixteen sockets fetch that many at a time
// (a network of 500 devices asks for 2,000 documents at once), and two
// connections per server (the host's share of the pool) fetch a device's
// service descriptions side by side.
constexpr int kHttpPoolSockets = 16;
constexpr int kConnectionsPerServer = 2;

// Marks a session whose Expect header has been looked at.
char expectChecked;

// The event listener: no subscriptions are made, so every event message is
// refused with 412 "Failed"; an "Expect: 100-continue" is honoured first,
// any other expectation is refused with 417 and the session closed.
void OnEventRequest(stack::WebSession* session, int /*interrupt*/, stack::Packet* packet,
                    char* /*buffer*/, int* consumed, int length, int done) {
    if (consumed != nullptr) *consumed = length;
    if (packet == nullptr) return;
    if (done == 0 && stack::WebSession_GetUser(session) != &expectChecked) {
        stack::WebSession_SetUser(session, &expectChecked);
        if (const char* expect = stack::GetHeaderValue(packet, "Expect", 6)) {
            if (stack::EqualsIgnoringCase(expect, "100-Continue")) {
                static char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
                stack::WebSession_SendRaw(session, kContinue, sizeof kContinue - 1, 1, 0);
            } else {
                static char kRefused[] = "HTTP/1.1 417 Expectation Failed\r\n\r\n";
                stack::WebSession_SendRaw(session, kRefused, sizeof kRefused - 1, 1, 1);
                stack::WebSession_Close(session);
            }
        }
    }
    if (done == 0) return;
    stack::Packet* answer = stack::NewPacket();
    stack::SetPacketVersion(answer, "1.1", 3);
    stack::SetStatus(answer, 412, "Failed", 6);
    stack::AddHeader(answer, "Server", 6, kUserAgent, static_cast<int>(sizeof kUserAgent) - 1);
    stack::AddHeader(answer, "Content-Length", 14, "0", 1);
    stack::WebSession_SendPacket(session, answer);
}

void OnSsdpSighting(stack::SsdpClient* /*client*/, char* udn, int alive, char* location, int maxAge,
                    int kind, void* user) {
    static_cast<ControlPoint*>(user)->OnSsdpResult(udn, alive, location, maxAge, kind);
}

void OnEventSession(stack::WebSession* session, void* /*user*/) {
    stack::WebSession_SetOnReceive(session, &OnEventRequest);
}

bool ToAddress(const char* host, int port, sockaddr_in* address) {
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons(static_cast<std::uint16_t>(port));
    return port > 0 && port < 65536 && inet_pton(AF_INET, host, &address->sin_addr) == 1;
}

}  // namespace

// Requests queued from any thread. One timer drains the queue on the chain
// thread, so requests go out in the order they were queued (timers of equal
// expiry would run the newest first). Shared with the pending timer, so it
// outlives the links if the chain ends first.
struct RawQueue {
    std::mutex lock;
    std::deque<RawRequest*> requests;
    bool armed = false;  // a drain timer is pending
};

struct StackLinks::Objects {
    stack::EventChain* chain = nullptr;
    stack::ILibWebClient* http = nullptr;
    stack::LifetimeMonitor* timers = nullptr;
    stack::SsdpClient* ssdp = nullptr;
    int eventPort = 0;
    std::shared_ptr<RawQueue> raw = std::make_shared<RawQueue>();
};

namespace {

// Takes every queued request out and releases the timer's handle.
std::deque<RawRequest*> TakeQueued(void* handle) {
    std::unique_ptr<std::shared_ptr<RawQueue>> queue(
        static_cast<std::shared_ptr<RawQueue>*>(handle));
    std::lock_guard<std::mutex> guard((*queue)->lock);
    (*queue)->armed = false;
    return std::exchange((*queue)->requests, {});
}

void SendRaw(RawRequest* request) {
    std::unique_ptr<RawRequest> r(request);
    sockaddr_in server{};
    void* token = nullptr;
    if (ToAddress(r->host.c_str(), r->port, &server)) {
        token = stack::WebClient_Request(
            r->http, &server, stack::CopyText(r->header), static_cast<int>(r->header.size()), 0,
            stack::CopyText(r->body), static_cast<int>(r->body.size()), 0, &OnResponse, nullptr,
            r->thunk, nullptr, stack::WebRequestOptions{r->tag, 0, 0});
    }
    if (token == nullptr) OnUnqueued(r->thunk);
}

void SendQueued(void* handle) {
    for (RawRequest* request : TakeQueued(handle)) SendRaw(request);
}

void DropQueued(void* handle) {
    for (RawRequest* request : TakeQueued(handle)) {
        std::unique_ptr<RawRequest> r(request);
        OnUnqueued(r->thunk);
    }
}

}  // namespace

StackLinks::StackLinks(stack::EventChain* chain, ControlPoint* owner, const char* searchTarget,
                       bool search)
    : objects_(std::make_unique<Objects>()) {
    objects_->chain = chain;
    stack::WebServer* listener = stack::WebServer_Create(chain, 5, 0, &OnEventSession, nullptr);
    if (listener != nullptr) objects_->eventPort = stack::WebServer_LocalPort(listener);
    if (search) {
        objects_->ssdp = stack::SsdpClient_Create(chain, searchTarget,
                                                  static_cast<int>(std::strlen(searchTarget)),
                                                  &OnSsdpSighting, owner);
    }
    stack::WebClientOptions http;
    http.connectionsPerServer = kConnectionsPerServer;
    objects_->http = stack::WebClient_CreateWithOptions(kHttpPoolSockets, chain, http);
    objects_->timers = stack::LifetimeMonitor_Create(chain);
}

StackLinks::~StackLinks() = default;

void* StackLinks::QueuePacket(const char* host, int port, stack::Packet* packet,
                              HttpHandler handler, void* user1, void* user2,
                              const stack::WebRequestOptions& options) {
    sockaddr_in server{};
    if (!ToAddress(host, port, &server)) {
        stack::DestroyPacket(packet);
        return nullptr;
    }
    auto* thunk = new Thunk{handler, user1, user2, {}, false};
    void* token = stack::WebClient_RequestPacket(objects_->http, &server, packet, &OnResponse,
                                                 thunk, nullptr, options);
    if (token == nullptr) delete thunk;
    return token;
}

void StackLinks::QueueRaw(const char* host, int port, const std::string& header,
                          const std::string& body, HttpHandler handler, void* user1, void* user2,
                          void* tag) {
    auto* raw = new RawRequest{
        objects_->http, host, port, header, body, new Thunk{handler, user1, user2, {}, false}, tag};
    RawQueue& queue = *objects_->raw;
    {
        std::lock_guard<std::mutex> guard(queue.lock);
        queue.requests.push_back(raw);
        if (queue.armed) return;  // the pending drain sends it too
        queue.armed = true;
    }
    stack::LifetimeMonitor_Add(objects_->timers, new std::shared_ptr<RawQueue>(objects_->raw), -1,
                               &SendQueued, &DropQueued);
}

void StackLinks::Cancel(void* token) {
    if (token != nullptr) stack::WebClient_Cancel(objects_->http, token);
}

void StackLinks::DropTagged(void* tag) {
    stack::WebClient_DropTagged(objects_->http, tag);
}

void StackLinks::Search() {
    stack::SsdpClient_Search(objects_->ssdp);
}

int StackLinks::EventListenerPort() const {
    return objects_->eventPort;
}

}  // namespace norvale::cp
