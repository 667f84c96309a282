#pragma once

#include <cstddef>
#include <memory>

#include "upnp/stack/KeyedTable.h"

namespace norvale::stack {

// One header line of a Packet. Unless `owned` is set, name and value point
// into the buffer the packet was parsed from (NUL-terminated there); an owned
// node holds malloc'd NUL-terminated copies of both.
struct PacketHeader {
    char* name = nullptr;
    int nameLength = 0;
    char* value = nullptr;
    int valueLength = 0;
    int owned = 0;  // -1 when name and value are copies freed with the node
    PacketHeader* next = nullptr;
};

// One HTTP or SSDP message: start line, headers, body. A parsed packet's
// strings point into the parse buffer (ownsStrings 0, not cloned), which must
// outlive it; built and cloned packets own malloc'd copies. Every owned
// string is malloc'd and released with free(). Released with DestroyPacket.
struct Packet {
    Packet();
    Packet(const Packet&) = delete;
    Packet& operator=(const Packet&) = delete;

    char* method = nullptr;  // null for a response
    int methodLength = 0;
    char* path = nullptr;
    void* reservedBuffer = nullptr;  // when set (and ownsStrings), freed instead of path
    int pathLength = 0;
    int statusCode = -1;  // -1 for a request
    char* statusText = nullptr;
    int statusTextLength = 0;
    char* version;  // without "HTTP/"; a static "1.0" in a new packet (never write through it)
    int versionLength = 3;
    char* body = nullptr;
    int bodyLength = 0;
    int ownsStrings = -1;  // nonzero: method, path, statusText and body are freed with the packet
    int ownsVersion = 0;   // 1: version is freed with the packet
    int cloned = 0;        // 1: made by ILibClonePacket; nothing points into a receive buffer
    PacketHeader* firstHeader = nullptr;
    PacketHeader* lastHeader = nullptr;
    int receiverValue = 0;                // for the receiving module; copied by ILibClonePacket
    void* receiverPointer = nullptr;      // likewise
    KeyedTable<char*> headerTable{true};  // name (any case) -> last value, extra = value length

    // Storage for the first header nodes of a parse (one allocation with the
    // packet); nodes outside it are allocated one by one.
    static constexpr int kInlineHeaders = 16;
    alignas(PacketHeader) unsigned char inlineHeaders[kInlineHeaders * sizeof(PacketHeader)];
    int inlineHeadersUsed = 0;

    // A new zeroed header node, from the inline storage while it lasts.
    PacketHeader* NewHeader();
    bool IsInline(const PacketHeader* header) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(header);
        return bytes >= inlineHeaders && bytes < inlineHeaders + sizeof inlineHeaders;
    }
};

// A new empty request-shaped packet: ownsStrings -1, status -1, version "1.0".
Packet* NewPacket();

// Frees the header nodes (and their copies when owned), the owned strings,
// the owned version, the table and the packet. Null only writes the debug
// text "Don't want to destroy a NULL packet!".
void DestroyPacket(Packet* packet);

struct PacketDeleter {
    void operator()(Packet* packet) const { DestroyPacket(packet); }
};
using PacketPtr = std::unique_ptr<Packet, PacketDeleter>;

// Sets method and path to NUL-terminated copies and makes the packet own its
// strings (strings that pointed into a buffer are copied first, so nothing
// borrowed is ever freed). A null source gives a null field.
void SetRequestLine(Packet* packet, const char* method, int methodLength, const char* path,
                    int pathLength);

// Stores the code and a NUL-terminated copy of the text (null stays null);
// the packet then owns its strings as with SetRequestLine.
void SetStatus(Packet* packet, int code, const char* text, int textLength);

// Replaces the version by a NUL-terminated copy owned by the packet.
void SetPacketVersion(Packet* packet, const char* version, int length);

// Replaces the body by a malloc'd copy owned by the packet (null or 0 clears it).
void SetPacketBody(Packet* packet, const char* body, int length);

// Appends a header node holding copies of name and value and makes it the
// table's value for that name (any case). Empty names are listed but not put
// into the table.
void AddHeader(Packet* packet, const char* name, int nameLength, const char* value,
               int valueLength);

// Links `header` (a node of `packet`, filled in) at the end of the header
// list and makes it the table's value for its name.
void AppendHeader(Packet* packet, PacketHeader* header);

// The last value put for the name (ASCII case ignored), NUL-terminated at its
// length before it is returned; null when there is none. The length, when
// wanted, goes to *valueLength.
char* GetHeaderValue(Packet* packet, const char* name, int nameLength, int* valueLength = nullptr);

// A deep copy of start line, status, version, receiver fields and every header
// in list order; the body is not copied. The copy is marked cloned. Null in,
// null out (with a debug text).
Packet* ILibClonePacket(const Packet* packet);

// True when the packet's version is HTTP/1.1 or later ("1.1", "1.01", "2",
// "2.0"): major above 1, or major 1 with a minor above 0. False for "1.0",
// "0.9", a missing or empty version.
bool IsHttp11OrLater(const Packet* packet);

// For a module whose receive buffer moved by `delta` bytes: shifts every
// pointer of the packet that points into the old buffer [oldStart, oldEnd)
// (start line, version, unowned headers and their table entries). Owned
// copies and cloned packets are left alone.
void ShiftPacketPointers(Packet* packet, const char* oldStart, const char* oldEnd,
                         std::ptrdiff_t delta);

}  // namespace norvale::stack
