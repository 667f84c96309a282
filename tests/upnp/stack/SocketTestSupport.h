#pragma once

// Shared pieces of the socket tests and benchmarks: a loopback listener,
// callback trampolines that forward to std::function members, timed steps on
// the chain, and a fail-safe stop so a broken test cannot hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"

namespace norvale::stack::testing {

inline std::uint32_t Loopback(int last = 1) {
    return htonl(0x7F000000u | static_cast<unsigned>(last));
}

// A blocking-accept TCP listener on 127.0.0.1 at a port the system picks.
class Listener {
  public:
    explicit Listener(int backlog = 16) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = Loopback();
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, backlog);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener() { close(fd_); }
    int Port() const { return port_; }
    int Fd() const { return fd_; }
    // The next queued connection (it is there once the client saw "connected").
    int Accept() { return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Forwards every socket callback to the std::function members; used as the
// socket's user pointer.
struct Peer {
    std::function<void(AsyncSocket*, char*, int*, int, int*)> data;
    std::function<void(AsyncSocket*, int)> connect;
    std::function<void(AsyncSocket*)> disconnect;
    std::function<void(AsyncSocket*)> sendDone;
    std::function<void(AsyncSocket*)> interrupt;

    static void OnData(AsyncSocket* s, char* buffer, int* consumed, int length,
                       AsyncSocket_OnInterrupt*, void** user, int* pause) {
        auto* peer = static_cast<Peer*>(*user);
        if (peer->data) {
            peer->data(s, buffer, consumed, length, pause);
        } else {
            *consumed = length;
        }
    }
    static void OnConnect(AsyncSocket* s, int ok, void* user) {
        auto* peer = static_cast<Peer*>(user);
        if (peer->connect) peer->connect(s, ok);
    }
    static void OnDisconnect(AsyncSocket* s, void* user) {
        auto* peer = static_cast<Peer*>(user);
        if (peer->disconnect) peer->disconnect(s);
    }
    static void OnSendDone(AsyncSocket* s, void* user) {
        auto* peer = static_cast<Peer*>(user);
        if (peer->sendDone) peer->sendDone(s);
    }
    static void OnInterrupt(AsyncSocket* s, void* user) {
        auto* peer = static_cast<Peer*>(user);
        if (peer->interrupt) peer->interrupt(s);
    }
};

inline AsyncSocket* MakeSocket(EventChain* chain, int bufferSize = 4096) {
    return AsyncSocket_Create(chain, bufferSize, Peer::OnData, Peer::OnConnect, Peer::OnDisconnect,
                              Peer::OnSendDone);
}

inline void ConnectTo(AsyncSocket* socket, int port, Peer* peer) {
    AsyncSocket_Connect(socket, 0, Loopback(), port, Peer::OnInterrupt, peer);
}

// Runs `step` on the chain thread after `delayMs`.
inline void After(EventChain* chain, int delayMs, std::function<void()> step) {
    auto* held = new std::function<void()>(std::move(step));
    LifetimeMonitor_Add(
        EventChain_Timers(chain), held, delayMs,
        [](void* data) {
            auto* f = static_cast<std::function<void()>*>(data);
            (*f)();
            delete f;
        },
        [](void* data) { delete static_cast<std::function<void()>*>(data); });
}

// Runs the chain until a step stops it; returns false when the fail-safe
// stop after `limitMs` had to end it.
inline bool RunChain(EventChain* chain, int limitMs = 10000) {
    bool timedOut = false;
    After(chain, limitMs, [chain, &timedOut] {
        timedOut = true;
        EventChain_RequestStop(chain);
    });
    EventChain_Run(chain);
    return !timedOut;
}

}  // namespace norvale::stack::testing
