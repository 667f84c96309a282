// Feeds arbitrary bytes to ParsePacket, then checks that the text form and a
// clone carry the same start line and header values through a second parse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "upnp/stack/PacketText.h"

using namespace norvale::stack;

namespace {

std::string_view View(const char* text, int length) {
    return text == nullptr ? std::string_view{}
                           : std::string_view(text, static_cast<std::size_t>(length));
}

void Check(bool condition) {
    if (!condition) std::abort();
}

bool Same(const Packet* a, const Packet* b) {
    return a->statusCode == b->statusCode &&
           View(a->method, a->methodLength) == View(b->method, b->methodLength) &&
           View(a->path, a->pathLength) == View(b->path, b->pathLength) &&
           View(a->version, a->versionLength) == View(b->version, b->versionLength) &&
           View(a->statusText, a->statusTextLength) == View(b->statusText, b->statusTextLength);
}

bool Blank(char c) {
    return c == ' ' || c == '\b';
}

// A header survives the text form only when its line reads back alone: no
// CRLF inside, no blank-led name (it would continue the line before), no
// blank at either end of the value or of its first 800-byte piece.
bool Representable(std::string_view name, std::string_view value) {
    if (name.empty() || name[0] == ' ' || name[0] == '\t') return false;
    if (name.find("\r\n") != name.npos || value.find("\r\n") != value.npos) return false;
    if (!value.empty() && (Blank(value.front()) || Blank(value.back()))) return false;
    if (value.size() >= 1600 && Blank(value[799])) return false;
    if (value.size() >= 1600 && value[799] == '\r' && value[800] == '\n') return false;
    return true;
}

void CheckRoundTrip(Packet* packet) {
    char* text = nullptr;
    const int length = PacketToText(packet, &text);
    Check(length >= 0 && text[length] == '\0');
    PacketPtr clone(ILibClonePacket(packet));
    Check(clone != nullptr && Same(packet, clone.get()));
    std::unique_ptr<char, decltype(&std::free)> owner(text, &std::free);
    PacketPtr again(ParsePacket(text, 0, length));
    Check(again != nullptr && Same(packet, again.get()));
    bool all = true;
    for (auto e = packet->headerTable.Enumerate(); !e.MoveNext();) {
        all = all &&
              Representable(std::string_view(e.Key(), e.KeyLength()), View(e.Value(), e.Extra()));
    }
    if (!all) return;
    Check(again->headerTable.Count() == packet->headerTable.Count());
    for (auto e = packet->headerTable.Enumerate(); !e.MoveNext();) {
        int valueLength = 0;
        char* value =
            GetHeaderValue(again.get(), e.Key(), static_cast<int>(e.KeyLength()), &valueLength);
        Check(value != nullptr && View(value, valueLength) == View(e.Value(), e.Extra()));
        Check(View(GetHeaderValue(clone.get(), e.Key(), static_cast<int>(e.KeyLength())),
                   e.Extra()) == View(e.Value(), e.Extra()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    // An exact-size copy: any read past the region is a heap overflow.
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(buffer.get(), data, size);
    PacketPtr packet(ParsePacket(buffer.get(), 0, static_cast<int>(size)));
    if (packet == nullptr) return 0;
    // A status line gives a response, anything else a request with a method.
    const bool status = size >= 5 && std::memcmp(data, "HTTP/", 5) == 0;
    Check(status
              ? packet->statusCode >= 0 && packet->method == nullptr
              : packet->statusCode == -1 && packet->method != nullptr && packet->path != nullptr);
    for (PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        Check(h->name[h->nameLength] == '\0' && h->value[h->valueLength] == '\0');
        GetHeaderValue(packet.get(), h->name, h->nameLength);
    }
    CheckRoundTrip(packet.get());
    return 0;
}
