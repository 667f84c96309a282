#include "upnp/stack/SsdpClient.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LocalAddresses.h"
#include "upnp/stack/PacketText.h"
#include "upnp/stack/TextParse.h"
#include "upnp/stack/Url.h"

namespace norvale::stack {
namespace {

constexpr const char* kGroup = "239.255.255.250";
constexpr int kSsdpPort = 1900;

bool NameIs(const PacketHeader* header, const char* name) {
    const int length = static_cast<int>(std::strlen(name));
    return header->nameLength == length &&
           strncasecmp(header->name, name, static_cast<std::size_t>(length)) == 0;
}

// The udn of a USN value: the text before the first "::" less its first five
// characters; empty when that text is shorter than 6 characters.
std::string UdnOf(const char* value, int length) {
    int end = 0;
    while (end < length && !(end + 1 < length && value[end] == ':' && value[end + 1] == ':')) ++end;
    if (end < 6) return {};
    return std::string(value + 5, static_cast<std::size_t>(end - 5));
}

// max-age of a CACHE-CONTROL value: the first "name = value" part whose
// trimmed name is max-age (any case); 0 when there is none.
int MaxAgeOf(const char* value, int length) {
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && value[i] != ',') continue;
        const char* part = value + start;
        const int partLength = i - start;
        start = i + 1;
        const char* equals =
            static_cast<const char*>(std::memchr(part, '=', static_cast<std::size_t>(partLength)));
        if (equals == nullptr) continue;
        const char* name = part;
        const int nameLength = TrimText(name, static_cast<int>(equals - part));
        if (nameLength != 7 || strncasecmp(name, "max-age", 7) != 0) continue;
        const char* number = equals + 1;
        const int numberLength = TrimText(number, static_cast<int>(part + partLength - number));
        return ParseDecimal(number, numberLength);
    }
    return 0;
}

// True when the LOCATION's host is the sender's address.
bool LocationIsSender(const char* location, std::uint32_t sender) {
    char* host = nullptr;
    char* path = nullptr;
    int port = 0;
    ParseUrl(location, &host, &port, &path);
    const bool same = host != nullptr && inet_addr(host) == sender;
    std::free(host);
    std::free(path);
    return same;
}

struct Sighting {
    std::string udn;
    bool hasUdn = false;
    char* location = nullptr;
    int maxAge = 0;
    bool match = false;
    bool alive = false;
};

}  // namespace

SsdpClient::SsdpClient(const char* searchTarget, int length, SsdpClient_OnResult onResult,
                       void* user)
    : target_(searchTarget, static_cast<std::size_t>(length)), onResult_(onResult), user_(user) {
    const std::size_t colon = target_.rfind(':');
    prefixLength_ = colon == std::string::npos ? 0 : static_cast<int>(colon + 1);
    minimumVersion_ = ParseDecimal(target_.data() + prefixLength_,
                                   static_cast<int>(target_.size()) - prefixLength_);
    message_ = "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nST: " + target_ +
               "\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
}

void SsdpClient::Open(EventChain* chain) {
    notify_ = UdpSocket_Create(chain, 4096, 0, kSsdpPort, kSsdpPort, 1, &OnDatagram, nullptr, this);
    search_ = UdpSocket_Create(chain, 4096, 0, 50000, 65500, 0, &OnDatagram, nullptr, this);
    if (search_ != nullptr) UdpSocket_SetMulticastTtl(search_, 4);
}

void SsdpClient::OnPrepare(SocketSet&, SocketSet&, SocketSet&, int&) {
    if (searched_) return;
    searched_ = true;
    Search();
}

void SsdpClient::OnDestroy() {
    addresses_.clear();
    notify_ = nullptr;
    search_ = nullptr;
}

void SsdpClient::Search() {
    GetLocalAddresses(addresses_);
    const std::uint32_t group = inet_addr(kGroup);
    if (notify_ != nullptr) {
        for (std::uint32_t address : addresses_) UdpSocket_JoinGroup(notify_, address, group);
    }
    if (search_ == nullptr) return;
    for (std::uint32_t address : addresses_) {
        if (UdpSocket_SetMulticastInterface(search_, address) != 0) continue;
        AsyncSocket_SendTo(search_, message_.data(), static_cast<int>(message_.size()), group,
                           kSsdpPort, kBufferCopy);
    }
}

void SsdpClient::OnDatagram(UdpSocket*, char* buffer, int length, std::uint32_t sender, int,
                            void* user, void*, int*) {
    static_cast<SsdpClient*>(user)->HandleDatagram(buffer, length, sender);
}

void SsdpClient::HandleDatagram(char* buffer, int length, std::uint32_t senderAddress) {
    if (buffer == nullptr || length <= 0 || onResult_ == nullptr) return;
    PacketPtr packet(ParsePacket(buffer, 0, length));
    if (packet == nullptr) return;
    const bool request = packet->statusCode == -1;
    if (request && (packet->methodLength < 6 || strncasecmp(packet->method, "NOTIFY", 6) != 0))
        return;
    if (!request && packet->statusCode != 200) return;
    Sighting seen;
    for (const PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        if (request && NameIs(h, "NT")) {
            seen.match = h->valueLength >= prefixLength_ &&
                         strncasecmp(h->value, target_.data(),
                                     static_cast<std::size_t>(prefixLength_)) == 0 &&
                         ParseDecimal(h->value + prefixLength_, h->valueLength - prefixLength_) >=
                             minimumVersion_;
        } else if (request && h->nameLength >= 3 && strncasecmp(h->name, "NTS", 3) == 0) {
            seen.alive = h->valueLength >= 10 && std::strncmp(h->value, "ssdp:alive", 10) == 0;
            if (!seen.alive) seen.match = false;
        } else if (NameIs(h, "USN")) {
            seen.udn = UdnOf(h->value, h->valueLength);
            seen.hasUdn = !seen.udn.empty();
        } else if (NameIs(h, "LOCATION")) {
            seen.location = h->value;
        } else if (NameIs(h, "CACHE-CONTROL")) {
            seen.maxAge = MaxAgeOf(h->value, h->valueLength);
        }
    }
    char* udn = seen.hasUdn ? seen.udn.data() : nullptr;
    if (request) {
        if (seen.alive) {
            if (!seen.match || seen.location == nullptr ||
                !LocationIsSender(seen.location, senderAddress)) {
                return;
            }
            onResult_(this, udn, -1, seen.location, seen.maxAge, kSsdpKindNotify, user_);
        } else {
            onResult_(this, udn, 0, seen.location, seen.maxAge, kSsdpKindNotify, user_);
        }
        return;
    }
    if (seen.location == nullptr || !LocationIsSender(seen.location, senderAddress)) return;
    onResult_(this, udn, -1, seen.location, seen.maxAge, kSsdpKindSearchResponse, user_);
}

SsdpClient* SsdpClient_Create(EventChain* chain, const char* searchTarget, int length,
                              SsdpClient_OnResult onResult, void* user) {
    if (chain == nullptr || searchTarget == nullptr || length <= 0) return nullptr;
    auto* client = new SsdpClient(searchTarget, length, onResult, user);
    EventChain_AddObject(chain, client);
    client->Open(chain);
    return client;
}

void SsdpClient_Search(SsdpClient* client) {
    if (client != nullptr) client->Search();
}

}  // namespace norvale::stack
