#include "upnp/stack/Packet.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/TextParse.h"

namespace norvale::stack {
namespace {

char defaultVersion[] = "1.0";

// A copy of text[0, length) (see CopyText); null for a null text.
char* CopyOrNull(const char* text, int length) {
    if (text == nullptr) return nullptr;
    return stack::CopyText(std::string_view(text, static_cast<std::size_t>(std::max(length, 0))));
}

// Before a setter stores a copy: a packet whose strings still point into a
// buffer gets copies of them, so that owning them from now on frees only
// what it allocated.
void TakeOwnership(Packet* packet) {
    if (packet->ownsStrings != 0) return;
    packet->method = CopyOrNull(packet->method, packet->methodLength);
    packet->path = CopyOrNull(packet->path, packet->pathLength);
    packet->reservedBuffer = nullptr;
    packet->statusText = CopyOrNull(packet->statusText, packet->statusTextLength);
    packet->body = CopyOrNull(packet->body, packet->bodyLength);
    packet->ownsStrings = -1;
}

void FreeHeaders(Packet* packet) {
    for (PacketHeader* header = packet->firstHeader; header != nullptr;) {
        PacketHeader* next = header->next;
        if (header->owned != 0) {
            std::free(header->name);
            std::free(header->value);
        }
        if (!packet->IsInline(header)) delete header;
        header = next;
    }
    packet->firstHeader = packet->lastHeader = nullptr;
}

bool Inside(const void* pointer, const char* start, const char* end) {
    const auto p = reinterpret_cast<std::uintptr_t>(pointer);
    return p >= reinterpret_cast<std::uintptr_t>(start) &&
           p < reinterpret_cast<std::uintptr_t>(end);
}

template <typename T>
void Shift(T*& pointer, const char* start, const char* end, std::ptrdiff_t delta) {
    if (pointer != nullptr && Inside(pointer, start, end)) {
        pointer = reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(pointer) +
                                       static_cast<std::uintptr_t>(delta));
    }
}

}  // namespace

Packet::Packet() : version(defaultVersion) {}

PacketHeader* Packet::NewHeader() {
    if (inlineHeadersUsed == kInlineHeaders) return new PacketHeader;
    void* slot =
        inlineHeaders + sizeof(PacketHeader) * static_cast<std::size_t>(inlineHeadersUsed++);
    return new (slot) PacketHeader;
}

Packet* NewPacket() {
    return new Packet;
}

void DestroyPacket(Packet* packet) {
    if (packet == nullptr) {
        DebugOutput("Don't want to destroy a NULL packet!");
        return;
    }
    FreeHeaders(packet);
    if (packet->ownsStrings != 0) {
        std::free(packet->statusText);
        std::free(packet->method);
        std::free(packet->reservedBuffer != nullptr ? packet->reservedBuffer : packet->path);
        std::free(packet->body);
    }
    if (packet->ownsVersion != 0) std::free(packet->version);
    delete packet;  // the header table goes with it
}

void SetRequestLine(Packet* packet, const char* method, int methodLength, const char* path,
                    int pathLength) {
    TakeOwnership(packet);
    char* newMethod = CopyOrNull(method, methodLength);
    char* newPath = CopyOrNull(path, pathLength);
    std::free(packet->method);
    std::free(packet->reservedBuffer != nullptr ? packet->reservedBuffer : packet->path);
    packet->reservedBuffer = nullptr;
    packet->method = newMethod;
    packet->methodLength = method == nullptr ? 0 : methodLength;
    packet->path = newPath;
    packet->pathLength = path == nullptr ? 0 : pathLength;
}

void SetStatus(Packet* packet, int code, const char* text, int textLength) {
    TakeOwnership(packet);
    char* newText = CopyOrNull(text, textLength);
    std::free(packet->statusText);
    packet->statusCode = code;
    packet->statusText = newText;
    packet->statusTextLength = text == nullptr ? 0 : textLength;
}

void SetPacketVersion(Packet* packet, const char* version, int length) {
    char* newVersion =
        CopyOrNull(version == nullptr ? "" : version, version == nullptr ? 0 : length);
    if (packet->ownsVersion != 0) std::free(packet->version);
    packet->version = newVersion;
    packet->versionLength = version == nullptr || length < 0 ? 0 : length;
    packet->ownsVersion = 1;
}

void SetPacketBody(Packet* packet, const char* body, int length) {
    TakeOwnership(packet);
    char* newBody = length > 0 ? CopyOrNull(body, length) : nullptr;
    std::free(packet->body);
    packet->body = newBody;
    packet->bodyLength = newBody == nullptr ? 0 : length;
}

void AddHeader(Packet* packet, const char* name, int nameLength, const char* value,
               int valueLength) {
    if (nameLength < 0) nameLength = 0;
    if (valueLength < 0) valueLength = 0;
    PacketHeader* header = packet->NewHeader();
    header->name = CopyOrNull(name == nullptr ? "" : name, name == nullptr ? 0 : nameLength);
    header->nameLength = name == nullptr ? 0 : nameLength;
    header->value = CopyOrNull(value == nullptr ? "" : value, value == nullptr ? 0 : valueLength);
    header->valueLength = value == nullptr ? 0 : valueLength;
    header->owned = -1;
    AppendHeader(packet, header);
}

void AppendHeader(Packet* packet, PacketHeader* header) {
    if (packet->lastHeader != nullptr) {
        packet->lastHeader->next = header;
    } else {
        packet->firstHeader = header;
    }
    packet->lastHeader = header;
    packet->headerTable.Put(header->name, static_cast<std::size_t>(header->nameLength),
                            header->value, header->valueLength);
}

char* GetHeaderValue(Packet* packet, const char* name, int nameLength, int* valueLength) {
    char* value = nullptr;
    int length = 0;
    if (packet != nullptr && name != nullptr && nameLength > 0) {
        packet->headerTable.GetWithExtra(name, static_cast<std::size_t>(nameLength), &value,
                                         &length);
    }
    // Every table value has a writable byte at its length: the CR or blank
    // after it in the parse buffer, or the terminator of a copy.
    if (value != nullptr) value[length] = '\0';
    if (valueLength != nullptr) *valueLength = length;
    return value;
}

Packet* ILibClonePacket(const Packet* packet) {
    if (packet == nullptr) {
        DebugOutput("ILibClonePacket: input parameter is NULL.");
        return nullptr;
    }
    Packet* copy = new (std::nothrow) Packet;
    if (copy == nullptr) {
        DebugOutput("ILibClonePacket: create empty packet failed.");
        return nullptr;
    }
    copy->cloned = 1;
    copy->receiverValue = packet->receiverValue;
    copy->receiverPointer = packet->receiverPointer;
    if (packet->method != nullptr || packet->path != nullptr) {
        SetRequestLine(copy, packet->method, packet->methodLength, packet->path,
                       packet->pathLength);
    }
    SetStatus(copy, packet->statusCode, packet->statusText, packet->statusTextLength);
    SetPacketVersion(copy, packet->version, packet->versionLength);
    for (const PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        AddHeader(copy, h->name, h->nameLength, h->value, h->valueLength);
    }
    return copy;
}

bool IsHttp11OrLater(const Packet* packet) {
    const char* v = packet->version;
    const int n = packet->versionLength;
    if (v == nullptr || n <= 0) return false;
    int major = 0, i = 0;
    for (; i < n && v[i] >= '0' && v[i] <= '9' && major < 1000; ++i)
        major = major * 10 + (v[i] - '0');
    int minor = 0;
    if (i < n && v[i] == '.') {
        for (++i; i < n && v[i] >= '0' && v[i] <= '9' && minor < 1000; ++i)
            minor = minor * 10 + (v[i] - '0');
    }
    return major > 1 || (major == 1 && minor >= 1);
}

void ShiftPacketPointers(Packet* packet, const char* oldStart, const char* oldEnd,
                         std::ptrdiff_t delta) {
    if (packet == nullptr || packet->cloned != 0) return;
    if (packet->ownsStrings == 0) {
        Shift(packet->method, oldStart, oldEnd, delta);
        Shift(packet->path, oldStart, oldEnd, delta);
        Shift(packet->statusText, oldStart, oldEnd, delta);
        Shift(packet->body, oldStart, oldEnd, delta);
    }
    if (packet->ownsVersion == 0) Shift(packet->version, oldStart, oldEnd, delta);
    for (PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        if (h->owned != 0) continue;
        Shift(h->name, oldStart, oldEnd, delta);
        Shift(h->value, oldStart, oldEnd, delta);
    }
    // Table values are the values of the last node of each name: putting every
    // node again in order leaves exactly those (each pointer moved only once,
    // even when the old and new places overlap).
    for (const PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        packet->headerTable.Put(h->name, static_cast<std::size_t>(h->nameLength), h->value,
                                h->valueLength);
    }
}

}  // namespace norvale::stack
