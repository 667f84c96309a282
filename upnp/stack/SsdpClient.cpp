#include "upnp/stack/SsdpClient.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "upnp/stack/AddressWatcher.h"
#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/PacketText.h"
#include "upnp/stack/TextParse.h"
#include "upnp/stack/Url.h"

namespace norvale::stack {
namespace {

constexpr const char* kGroup = "239.255.255.250";
constexpr int kSsdpPort = 1900;

std::uint32_t Group() {
    return inet_addr(kGroup);
}

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

// True when the LOCATION's host is the sender's address. The host is the
// dotted address after the scheme's "//"; a LOCATION without a scheme (no
// "//" after its first "/") is no absolute URL and never matches.
bool LocationIsSender(const char* location, std::uint32_t sender) {
    const std::uint32_t host = UrlHostAddress(location);
    return host != 0 && host != INADDR_NONE && host == sender;
}

// What an NTS value announces. Only the two UDA words are acted on;
// ssdp:update (a device whose boot id changes) keeps the device as it is, and
// any other value, or none, is no reason to drop a live device.
enum class Announcement { kNone, kAlive, kByebye, kOther };

Announcement AnnouncementOf(const char* value, int length) {
    length = TrimText(value, length);
    const std::string_view word(value, static_cast<std::size_t>(length));
    if (EqualsIgnoringCase(word, "ssdp:alive")) return Announcement::kAlive;
    if (EqualsIgnoringCase(word, "ssdp:byebye")) return Announcement::kByebye;
    return Announcement::kOther;
}

struct Sighting {
    std::string udn;
    bool hasUdn = false;
    char* location = nullptr;
    int maxAge = 0;
    bool match = false;
    Announcement announcement = Announcement::kNone;
};

}  // namespace

// A non-loopback address searched on, with its own search socket.
struct SsdpClient::Interface {
    std::uint32_t address = 0;  // network order
    unsigned index = 0;
    UdpSocket* socket = nullptr;     // bound to the address; null: the loopback socket sends
    bool holdsMembership = false;    // the group is joined on its interface through it
    std::unique_ptr<Repeat> repeat;  // its copies after a search of its own
};

// The copies still to send of one search: on one interface, or (null) on
// every address. The timer's data pointer.
struct SsdpClient::Repeat {
    SsdpClient* client = nullptr;
    Interface* where = nullptr;
    int sent = 0;  // copies gone out so far
};

SsdpClient::SsdpClient(const char* searchTarget, int length, SsdpClient_OnResult onResult,
                       void* user)
    : target_(searchTarget, static_cast<std::size_t>(length)), onResult_(onResult), user_(user) {
    const std::size_t colon = target_.rfind(':');
    prefixLength_ = colon == std::string::npos ? 0 : static_cast<int>(colon + 1);
    minimumVersion_ = ParseDecimal(target_.data() + prefixLength_,
                                   static_cast<int>(target_.size()) - prefixLength_);
    message_ = "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nST: " + target_ +
               "\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    fullRepeat_ = std::make_unique<Repeat>();
    fullRepeat_->client = this;
}

SsdpClient::~SsdpClient() = default;

void SsdpClient::Open(EventChain* chain) {
    chain_ = chain;
    notify_ = UdpSocket_Create(chain, 4096, 0, kSsdpPort, kSsdpPort, 1, &OnDatagram, nullptr, this);
    search_ = UdpSocket_Create(chain, 4096, 0, 50000, 65500, 0, &OnDatagram, nullptr, this);
    if (search_ != nullptr) UdpSocket_SetMulticastTtl(search_, 4);
    AskForReceiveBuffer(notify_);
    AskForReceiveBuffer(search_);
    watcher_ = AddressWatcher_Create(chain, &OnAddressChange, this);
}

void SsdpClient::AskForReceiveBuffer(UdpSocket* socket) {
    if (socket == nullptr) return;
    const int granted = UdpSocket_SetReceiveBuffer(socket, kSsdpReceiveBufferBytes);
    if (granted >= kSsdpReceiveBufferBytes) return;
    char text[128];
    std::snprintf(text, sizeof text,
                  "SsdpClient: the kernel gave a receive buffer of %d bytes, asked for %d", granted,
                  kSsdpReceiveBufferBytes);
    DebugOutput(text);
}

void SsdpClient::OnPrepare(SocketSet&, SocketSet&, SocketSet&, int&) {
    if (searched_) return;
    searched_ = true;
    Search();
}

void SsdpClient::OnDestroy() {
    // The timers were ended by the chain's timer service before this hook.
    interfaces_.clear();
    spareSockets_.clear();
    notify_ = nullptr;
    search_ = nullptr;
    watcher_ = nullptr;
}

std::vector<std::uint32_t> SsdpClient::InterfaceAddresses() const {
    std::vector<std::uint32_t> addresses;
    for (const auto& i : interfaces_) addresses.push_back(i->address);
    return addresses;
}

UdpSocket* SsdpClient::InterfaceSocket(std::uint32_t address) const {
    for (const auto& i : interfaces_) {
        if (i->address == address) return i->socket;
    }
    return nullptr;
}

void SsdpClient::Search() {
    Refresh(false);
    for (const auto& i : interfaces_) SendOn(*i);
    SendOnLoopback();
    StartRepeats(fullRepeat_.get());
}

void SsdpClient::UpdateInterfaces() {
    Refresh(searched_);
}

void SsdpClient::OnAddressChange(void* user) {
    static_cast<SsdpClient*>(user)->UpdateInterfaces();
}

// Brings the interface list in line with the allowed local addresses.
void SsdpClient::Refresh(bool searchNew) {
    const std::vector<LocalInterface> found = AllowedLocalInterfaces();
    auto same = [](const Interface& a, const LocalInterface& b) {
        return a.address == b.address && a.index == b.index;
    };
    for (std::size_t i = interfaces_.size(); i-- > 0;) {
        Interface* known = interfaces_[i].get();
        const bool present = std::any_of(found.begin(), found.end(),
                                         [&](const LocalInterface& f) { return same(*known, f); });
        if (!present) DropInterface(known);
    }
    for (const LocalInterface& candidate : found) {
        const bool known = std::any_of(interfaces_.begin(), interfaces_.end(),
                                       [&](const auto& i) { return same(*i, candidate); });
        if (!known) AddInterface(candidate, searchNew);
    }
    if (!loopbackJoined_ && notify_ != nullptr) {
        loopbackJoined_ = UdpSocket_JoinGroup(notify_, htonl(INADDR_LOOPBACK), Group()) == 0;
    }
}

void SsdpClient::AddInterface(const LocalInterface& found, bool searchNew) {
    auto added = std::make_unique<Interface>();
    added->address = found.address;
    added->index = found.index;
    added->socket = OpenInterfaceSocket(found.address);
    added->repeat = std::make_unique<Repeat>();
    added->repeat->client = this;
    added->repeat->where = added.get();
    Interface* where = added.get();
    interfaces_.push_back(std::move(added));
    JoinOn(where);
    if (!searchNew) return;
    SendOn(*where);
    StartRepeats(where->repeat.get());
}

// Joins the group on the candidate's interface unless another address of
// that interface already holds the membership (a second join would fail).
void SsdpClient::JoinOn(Interface* candidate) {
    if (notify_ == nullptr) return;
    const bool held = std::any_of(interfaces_.begin(), interfaces_.end(), [&](const auto& i) {
        return i->index == candidate->index && i->holdsMembership;
    });
    if (held) return;
    candidate->holdsMembership = UdpSocket_JoinGroup(notify_, candidate->address, Group()) == 0;
}

void SsdpClient::DropInterface(Interface* gone) {
    if (chain_ != nullptr) LifetimeMonitor_Remove(EventChain_Timers(chain_), gone->repeat.get());
    if (gone->holdsMembership) UdpSocket_LeaveGroup(notify_, gone->index, gone->address, Group());
    if (gone->socket != nullptr) {
        AsyncSocket_Disconnect(gone->socket);
        spareSockets_.push_back(gone->socket);
    }
    const unsigned index = gone->index;
    const bool held = gone->holdsMembership;
    interfaces_.erase(std::find_if(interfaces_.begin(), interfaces_.end(),
                                   [&](const auto& i) { return i.get() == gone; }));
    if (!held) return;
    // Another address of the same interface takes the membership over.
    for (const auto& i : interfaces_) {
        if (i->index != index) continue;
        JoinOn(i.get());
        if (i->holdsMembership) break;
    }
}

UdpSocket* SsdpClient::OpenInterfaceSocket(std::uint32_t address) {
    UdpSocket* socket = nullptr;
    if (!spareSockets_.empty()) {
        socket = spareSockets_.back();
        if (!UdpSocket_Reopen(socket, address, 50000, 65500, 0, &OnDatagram, nullptr, this)) {
            return nullptr;
        }
        spareSockets_.pop_back();
    } else {
        socket =
            UdpSocket_Create(chain_, 4096, address, 50000, 65500, 0, &OnDatagram, nullptr, this);
        if (socket == nullptr) return nullptr;
    }
    UdpSocket_SetMulticastTtl(socket, 4);
    UdpSocket_SetMulticastInterface(socket, address);
    AskForReceiveBuffer(socket);
    return socket;
}

void SsdpClient::SendOn(const Interface& where) {
    if (where.socket != nullptr) {
        AsyncSocket_SendTo(where.socket, message_.data(), static_cast<int>(message_.size()),
                           Group(), kSsdpPort, kBufferCopy);
        return;
    }
    // No socket of its own: the loopback socket sends through its interface.
    if (search_ == nullptr || UdpSocket_SetMulticastInterface(search_, where.address) != 0) return;
    AsyncSocket_SendTo(search_, message_.data(), static_cast<int>(message_.size()), Group(),
                       kSsdpPort, kBufferCopy);
}

void SsdpClient::SendOnLoopback() {
    if (search_ == nullptr || UdpSocket_SetMulticastInterface(search_, htonl(INADDR_LOOPBACK)) != 0)
        return;
    AsyncSocket_SendTo(search_, message_.data(), static_cast<int>(message_.size()), Group(),
                       kSsdpPort, kBufferCopy);
}

// The first copy has just gone out; the timer sends the others.
void SsdpClient::StartRepeats(Repeat* repeat) {
    if (chain_ == nullptr) return;
    LifetimeMonitor* timers = EventChain_Timers(chain_);
    LifetimeMonitor_Remove(timers, repeat);
    repeat->sent = 1;
    LifetimeMonitor_Add(timers, repeat, kSearchCopyDelaysMs[1] - kSearchCopyDelaysMs[0], &OnRepeat,
                        nullptr);
}

void SsdpClient::OnRepeat(void* data) {
    auto* repeat = static_cast<Repeat*>(data);
    SsdpClient* self = repeat->client;
    if (repeat->where != nullptr) {
        self->SendOn(*repeat->where);
    } else {
        for (const auto& i : self->interfaces_) self->SendOn(*i);
        self->SendOnLoopback();
    }
    constexpr int kCopies = static_cast<int>(std::size(kSearchCopyDelaysMs));
    if (++repeat->sent >= kCopies) return;
    LifetimeMonitor_Add(EventChain_Timers(self->chain_), repeat,
                        kSearchCopyDelaysMs[repeat->sent] - kSearchCopyDelaysMs[repeat->sent - 1],
                        &OnRepeat, nullptr);
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
        } else if (request && NameIs(h, "NTS")) {
            seen.announcement = AnnouncementOf(h->value, h->valueLength);
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
        if (seen.announcement == Announcement::kAlive) {
            if (!seen.match || seen.location == nullptr ||
                !LocationIsSender(seen.location, senderAddress)) {
                return;
            }
            onResult_(this, udn, -1, seen.location, seen.maxAge, kSsdpKindNotify, user_);
        } else if (seen.announcement == Announcement::kByebye) {
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
