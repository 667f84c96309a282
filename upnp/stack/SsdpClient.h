#pragma once

// SSDP client of one search target. Datagrams it reads (HTTP-style heads):
//
//   NOTIFY * HTTP/1.1            NT: <type>:<version>   NTS: ssdp:alive | ssdp:byebye
//                                USN: uuid:<id>[::<type>]   LOCATION: <url>
//                                CACHE-CONTROL: [..., ]max-age = <seconds>[, ...]
//   HTTP/1.1 200 OK              (search response) USN, LOCATION, CACHE-CONTROL as above
//
// and the one message it sends, once per local address and search:
//
//   M-SEARCH * HTTP/1.1 / MX: 3 / ST: <target> / HOST: 239.255.255.250:1900 /
//   MAN: "ssdp:discover"

#include <cstdint>
#include <string>
#include <vector>

#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/UdpSocket.h"

namespace norvale::stack {

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

// Finds devices of one search target: searches once on the chain's first
// pass (and on SsdpClient_Search), filters NOTIFY messages and search
// responses and reports each sighting. Keeps no device state. Owned by its
// chain; its two sockets are chained objects of their own.
class SsdpClient : public ChainedObject {
  public:
    SsdpClient(const char* searchTarget, int length, SsdpClient_OnResult onResult, void* user);

    // Opens the notify socket (port 1900, shared) and the search socket
    // (random port 50000-65499, multicast TTL 4) on `chain`.
    void Open(EventChain* chain);

    void OnPrepare(SocketSet& readSet, SocketSet& writeSet, SocketSet& errorSet,
                   int& blockTimeMs) override;
    void OnDestroy() override;

    // Joins the group and sends one M-SEARCH on every local address.
    void Search();

    // Handles one received datagram from `senderAddress` (network order). The
    // buffer is written to (NUL bytes) while it is parsed.
    void HandleDatagram(char* buffer, int length, std::uint32_t senderAddress);

    const std::string& SearchText() const { return message_; }
    UdpSocket* NotifySocket() const { return notify_; }
    UdpSocket* SearchSocket() const { return search_; }

  private:
    static void OnDatagram(UdpSocket* socket, char* buffer, int length, std::uint32_t sender,
                           int senderPort, void* user, void* reserved, int* pause);

    std::string target_;
    int prefixLength_ = 0;  // the target up to and including its last ':'
    int minimumVersion_ = 0;
    std::string message_;
    std::vector<std::uint32_t> addresses_;
    UdpSocket* notify_ = nullptr;
    UdpSocket* search_ = nullptr;
    bool searched_ = false;
    SsdpClient_OnResult onResult_;
    void* user_;
};

// Creates the client for `searchTarget` (`length` bytes) on `chain`, which
// owns it; null for a null chain or target. The first search runs on the
// chain's first pass.
SsdpClient* SsdpClient_Create(EventChain* chain, const char* searchTarget, int length,
                              SsdpClient_OnResult onResult, void* user);

// Sends the M-SEARCH again on every local address.
void SsdpClient_Search(SsdpClient* client);

}  // namespace norvale::stack
