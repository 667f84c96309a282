#pragma once

// SSDP client of one search target. Datagrams it reads (HTTP-style heads):
//
//   NOTIFY * HTTP/1.1            NT: <type>:<version>   NTS: ssdp:alive | ssdp:byebye
//                                (any case; ssdp:update, another word or no NTS: ignored)
//                                USN: uuid:<id>[::<type>]   LOCATION: <url>
//                                CACHE-CONTROL: [..., ]max-age = <seconds>[, ...]
//   HTTP/1.1 200 OK              (search response) USN, LOCATION, CACHE-CONTROL as above
//
// and the one message it sends, six times per local address and search:
//
//   M-SEARCH * HTTP/1.1 / MX: 3 / ST: <target> / HOST: 239.255.255.250:1900 /
//   MAN: "ssdp:discover"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/LocalAddresses.h"
#include "upnp/stack/UdpSocket.h"

namespace norvale::stack {

class AddressWatcher;
class EventChain;
class SsdpClient;

// A sighting: `udn` the device UUID (the USN up to "::" without its first
// five characters, "uuid:"), null when missing or too short; `alive` -1 for a
// present device, 0 for one that leaves; `location` the LOCATION value or
// null; `maxAge` the CACHE-CONTROL max-age, 0 when absent; `kind` 1 for a
// search response, 2 for a NOTIFY. The strings are valid only during the call.
using SsdpClient_OnResult = void (*)(SsdpClient* client, char* udn, int alive, char* location,
                                     int maxAge, int kind, void* user);

constexpr int kSsdpKindSearchResponse = 1;
constexpr int kSsdpKindNotify = 2;

// When the copies of one search go out, in milliseconds after the search.
// UDP loses datagrams, so each search is sent six times, all inside the MX
// window of the first copy: at once (a clean network lists as fast as with
// one copy); three times within half a second, so that a device whose answer
// was lost at random is heard again well before a person waits for it (with
// 10% of answers lost, one device in 10,000 misses all four); and twice more
// a second apart, past a burst of loss (a Wi-Fi access point holding
// multicast for its next beacon, a receive queue overflowing under a burst of
// answers). Devices answer every copy; the owner drops the repeated answers,
// which only refresh what it knows.
constexpr int kSearchCopyDelaysMs[] = {0, 100, 250, 450, 1000, 2000};

// Receive buffer asked for on every SSDP socket: hundreds of devices may
// answer one search at the same moment.
constexpr int kSsdpReceiveBufferBytes = 1024 * 1024;

// Finds devices of one search target: searches on the chain's first pass (and
// on SsdpClient_Search) on every allowed local IPv4 address, follows address
// changes (an address that appears is joined and searched at once, one that
// goes is left and its socket closed), filters NOTIFY messages and search
// responses and reports each sighting. Keeps no device state. Owned by its
// chain; its sockets and its address watcher are chained objects of their own.
class SsdpClient : public ChainedObject {
  public:
    SsdpClient(const char* searchTarget, int length, SsdpClient_OnResult onResult, void* user);
    ~SsdpClient() override;

    // Opens the notify socket (port 1900, shared), the search socket used
    // on loopback (random port 50000-65499, multicast TTL 4) and the
    // address watcher on `chain`.
    void Open(EventChain* chain);

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnDestroy() override;

    // Reads the local addresses again, then sends the M-SEARCH on every one,
    // with its two repeats (a search already repeating starts over).
    void Search();
    // Reads the local addresses again; new ones are joined and, once the
    // first search has gone out, searched at once with repeats; vanished
    // ones are left and their sockets closed.
    void UpdateInterfaces();

    // Handles one received datagram from `senderAddress` (network order). The
    // buffer is written to (NUL bytes) while it is parsed.
    void HandleDatagram(char* buffer, int length, std::uint32_t senderAddress);

    const std::string& SearchText() const { return message_; }
    UdpSocket* NotifySocket() const { return notify_; }
    // The search socket of loopback (bound to any address).
    UdpSocket* SearchSocket() const { return search_; }
    // The non-loopback addresses searched on now (network order).
    std::vector<std::uint32_t> InterfaceAddresses() const;
    // The open search socket bound to `address`, or null.
    UdpSocket* InterfaceSocket(std::uint32_t address) const;

  private:
    struct Interface;
    struct Repeat;

    static void OnDatagram(UdpSocket* socket, char* buffer, int length, std::uint32_t sender,
                           int senderPort, void* user, void* reserved, int* pause);
    static void OnAddressChange(void* user);
    static void OnRepeat(void* data);

    void Refresh(bool searchNew);
    void AddInterface(const LocalInterface& found, bool searchNew);
    void DropInterface(Interface* gone);
    void JoinOn(Interface* candidate);
    UdpSocket* OpenInterfaceSocket(std::uint32_t address);
    void SendOn(const Interface& where);
    void SendOnLoopback();
    void StartRepeats(Repeat* repeat);
    void AskForReceiveBuffer(UdpSocket* socket);

    std::string target_;
    int prefixLength_ = 0;  // the target up to and including its last ':'
    int minimumVersion_ = 0;
    std::string message_;
    EventChain* chain_ = nullptr;
    UdpSocket* notify_ = nullptr;
    UdpSocket* search_ = nullptr;
    AddressWatcher* watcher_ = nullptr;
    bool searched_ = false;
    bool loopbackJoined_ = false;
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::vector<UdpSocket*> spareSockets_;  // closed, reopened for the next address
    std::unique_ptr<Repeat> fullRepeat_;    // the repeats of a search on every address
    SsdpClient_OnResult onResult_;
    void* user_;
};

// Creates the client for `searchTarget` (`length` bytes) on `chain`, which
// owns it; null for a null chain or target. The first search runs on the
// chain's first pass.
SsdpClient* SsdpClient_Create(EventChain* chain, const char* searchTarget, int length,
                              SsdpClient_OnResult onResult, void* user);

// Sends the M-SEARCH again (with its repeats) on every local address. Chain
// thread only.
void SsdpClient_Search(SsdpClient* client);

}  // namespace norvale::stack
