#pragma once

// Watches the kernel's routing messages (rtnetlink, groups IPv4 address and
// link) and reports that the local addresses may have changed. Messages it
// reads, one or more per datagram, each aligned to 4 bytes:
//
//   nlmsghdr { length u32, type u16, flags u16, sequence u32, pid u32 }
//   RTM_NEWADDR / RTM_DELADDR: ifaddrmsg { family u8, prefixlen u8, flags u8,
//                              scope u8, index u32 } then attributes
//   RTM_NEWLINK / RTM_DELLINK: ifinfomsg (an interface went up, down or away)
//
// Only the message types and the address family are read; the owner reads
// the addresses themselves again (getifaddrs) when told of a change.

#include "upnp/stack/ChainedObject.h"

namespace norvale::stack {

class EventChain;

// Called on the chain thread at most once per wake in which a relevant
// message arrived, or in which the kernel reported lost messages.
using AddressWatcher_OnChange = void (*)(void* user);

// A chained object with a netlink socket of its own; no polling, no timer.
// Owned by its chain; closes its socket when the chain ends.
class AddressWatcher : public ChainedObject {
  public:
    AddressWatcher(AddressWatcher_OnChange onChange, void* user);
    ~AddressWatcher() override;

    // Opens the netlink socket; false (nothing is watched) when it cannot be.
    bool Open();
    bool IsOpen() const { return fd_ >= 0; }

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnReady(int selectResult, const SocketSet& readSet, const SocketSet& writeSet,
                 const SocketSet& errorSet) override;
    void OnDestroy() override;

  private:
    bool Drain();
    void Close();

    AddressWatcher_OnChange onChange_;
    void* user_;
    int fd_ = -1;
};

// True when one received datagram of `length` bytes from the kernel holds an
// IPv4 address message or a link message. Reads inside the datagram only.
bool IsAddressChange(const void* datagram, int length);

// Creates a watcher on `chain` (which owns it) and opens it; null for a null
// chain. A watcher that could not open stays on the chain, idle.
AddressWatcher* AddressWatcher_Create(EventChain* chain, AddressWatcher_OnChange onChange,
                                      void* user);

}  // namespace norvale::stack
