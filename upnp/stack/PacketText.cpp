// The text form of a message head, as read by ParsePacket and written by
// PacketToText:
//   head        = start-line *( CRLF header-line ) [ CRLF CRLF ... ]
//   start-line  = response-line / request-line          (words split at single " ")
//   response    = "HTTP/" version *( "/" any ) " " code " " reason-word *( " " any )
//   request     = method " " path *( " " word )          (version: after "/" of the last word)
//   header-line = name ":" value                          (value trimmed of " " and 0x08)
//               / ( " " / HTAB ) continuation            (appended to the previous value
//                                                         without its first byte)
//               / line without ":"                        (dropped)
// An empty line ends the head. Lines end at CRLF or at the end of the region.
#include "upnp/stack/PacketText.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "upnp/stack/TextParse.h"

namespace norvale::stack {
namespace {

// The CR of the first CRLF in [p, end), or end.
char* LineEnd(char* p, char* end) {
    while (p < end) {
        auto* cr = static_cast<char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (cr == nullptr) return end;
        if (cr + 1 < end && cr[1] == '\n') return cr;
        p = cr + 1;
    }
    return end;
}

char* Find(char* p, char* end, char c) {
    auto* found = p < end ? static_cast<char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)))
                          : nullptr;
    return found == nullptr ? end : found;
}

int Length(const char* from, const char* to) {
    return static_cast<int>(to - from);
}

char* Allocate(std::size_t size) {
    auto* memory = static_cast<char*>(std::malloc(size));
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

// Points the version at [version, versionEnd): NUL-terminated in place when
// `inPlace`, copied otherwise.
void TakeVersion(Packet* packet, char* version, char* versionEnd, bool inPlace) {
    if (!inPlace) return SetPacketVersion(packet, version, Length(version, versionEnd));
    *versionEnd = '\0';
    packet->version = version;
    packet->versionLength = Length(version, versionEnd);
}

// "HTTP/" version " " code " " reason: [line, word1End) is the first word.
void ParseStatusLine(Packet* packet, char* line, char* word1End, char* lineEnd, char* end) {
    char* const version = line + 5;
    char* const versionEnd = Find(version, word1End, '/');
    TakeVersion(packet, version, versionEnd, versionEnd < end);
    packet->statusCode = 0;  // unless a code follows
    if (word1End == lineEnd) return;
    char* const word2 = word1End + 1;
    char* const word2End = Find(word2, lineEnd, ' ');
    packet->statusCode = ParseDecimal(word2, Length(word2, word2End));
    if (word2End == lineEnd) return;
    char* const word3 = word2End + 1;  // the reason's first word only
    packet->statusText = word3;
    packet->statusTextLength = Length(word3, Find(word3, lineEnd, ' '));
}

// method " " path [ ... " " last-word ]: [line, word1End) is the method and a
// second word follows.
void ParseRequestLine(Packet* packet, char* line, char* word1End, char* lineEnd, char* end) {
    char* const word2 = word1End + 1;
    char* const word2End = Find(word2, lineEnd, ' ');
    // The version is the part after the first "/" of the last word.
    char* lastWord = lineEnd;
    while (lastWord > word2 && lastWord[-1] != ' ') --lastWord;
    char* const slash = Find(lastWord, lineEnd, '/');
    if (slash < lineEnd) {
        char* const versionEnd = Find(slash + 1, lineEnd, '/');
        // In place only when the NUL lands inside the region and not inside the path.
        TakeVersion(packet, slash + 1, versionEnd, versionEnd < end && lastWord != word2);
    }
    if (word2End == end) {
        return SetRequestLine(packet, line, Length(line, word1End), word2, Length(word2, word2End));
    }
    *word1End = '\0';
    *word2End = '\0';
    packet->method = line;
    packet->methodLength = Length(line, word1End);
    packet->path = word2;
    packet->pathLength = Length(word2, word2End);
}

// Reads the first line [line, lineEnd); `end` is the end of the region.
// Returns false for a request line of one word.
bool ParseStartLine(Packet* packet, char* line, char* lineEnd, char* end) {
    char* const word1End = Find(line, lineEnd, ' ');
    packet->ownsStrings = 0;
    if (word1End - line >= 5 && std::memcmp(line, "HTTP/", 5) == 0) {
        ParseStatusLine(packet, line, word1End, lineEnd, end);
        return true;
    }
    if (word1End == lineEnd) return false;
    ParseRequestLine(packet, line, word1End, lineEnd, end);
    return true;
}

// True when a line starts at `line` (inside the region) with a blank.
bool IsContinuation(const char* line, const char* end) {
    return line < end && (*line == ' ' || *line == '\t');
}

// One header line [line, lineEnd) with its ':' at `colon`, followed by the
// continuation lines up to `groupEnd` (the end of the last of them).
void AddParsedHeader(Packet* packet, char* line, char* colon, char* lineEnd, char* groupEnd,
                     char* end) {
    char* value = colon + 1;
    int valueLength = TrimText(value, Length(value, lineEnd));
    if (valueLength > 0 && (*value == ' ' || *value == '\b')) {
        value += valueLength;  // only blanks: an empty value, as "EXT:" is written back
        valueLength = 0;
    }
    PacketHeader* header = packet->NewHeader();
    header->nameLength = Length(line, colon);
    if (groupEnd == lineEnd && value + valueLength < end) {
        *colon = '\0';
        value[valueLength] = '\0';
        header->name = line;
        header->value = value;
        header->valueLength = valueLength;
        AppendHeader(packet, header);
        return;
    }
    // Folded or running to the end of the region: name and value are copied.
    std::size_t total = static_cast<std::size_t>(valueLength);
    for (char* p = lineEnd; p < groupEnd;) {
        char* const next = LineEnd(p + 2, end);
        total += static_cast<std::size_t>(next - (p + 3));
        p = next;
    }
    header->owned = -1;
    header->name = Allocate(static_cast<std::size_t>(header->nameLength) + 1);
    std::memcpy(header->name, line, static_cast<std::size_t>(header->nameLength));
    header->name[header->nameLength] = '\0';
    header->value = Allocate(total + 1);
    std::memcpy(header->value, value, static_cast<std::size_t>(valueLength));
    std::size_t used = static_cast<std::size_t>(valueLength);
    for (char* p = lineEnd; p < groupEnd;) {
        char* const next = LineEnd(p + 2, end);
        std::memcpy(header->value + used, p + 3, static_cast<std::size_t>(next - (p + 3)));
        used += static_cast<std::size_t>(next - (p + 3));
        p = next;
    }
    header->value[total] = '\0';
    header->valueLength = static_cast<int>(total);
    AppendHeader(packet, header);
}

void ParseHeaders(Packet* packet, char* p, char* end) {
    int count = 0;
    while (p < end) {
        char* const lineEnd = LineEnd(p, end);
        if (lineEnd == p) return;  // the blank line
        char* const colon = Find(p, lineEnd, ':');
        char* groupEnd = lineEnd;
        // A line without ":" is dropped; what follows has no header to continue.
        if (colon < lineEnd) {
            if (count++ == kMaxParsedHeaders) return;
            // Continuation lines that follow this one (each starts after a CRLF).
            while (groupEnd < end && IsContinuation(groupEnd + 2, end)) {
                groupEnd = LineEnd(groupEnd + 2, end);
            }
            AddParsedHeader(packet, p, colon, lineEnd, groupEnd, end);
        }
        p = groupEnd < end ? groupEnd + 2 : end;
    }
}

}  // namespace

Packet* ParsePacket(char* buffer, int offset, int end) {
    if (buffer == nullptr || offset < 0 || end <= offset) return nullptr;
    char* const first = buffer + offset;
    char* const last = buffer + end;
    PacketPtr packet(NewPacket());
    char* const lineEnd = LineEnd(first, last);
    if (!ParseStartLine(packet.get(), first, lineEnd, last)) return nullptr;
    if (lineEnd < last) ParseHeaders(packet.get(), lineEnd + 2, last);
    return packet.release();
}

namespace {

constexpr int kFoldFrom = 1600;
constexpr int kFoldPiece = 800;

class TextWriter {
  public:
    explicit TextWriter(char* out) : out_(out) {}
    void Put(const char* text, int length) {
        if (text == nullptr || length <= 0) return;
        if (out_ != nullptr) std::memcpy(out_ + size_, text, static_cast<std::size_t>(length));
        size_ += static_cast<std::size_t>(length);
    }
    void Put(std::string_view text) { Put(text.data(), static_cast<int>(text.size())); }
    void PutValue(const char* value, int length) {
        if (length < kFoldFrom) return Put(value, length);
        for (int done = 0; done < length; done += kFoldPiece) {
            if (done > 0) Put("\r\n ");
            Put(value + done, length - done < kFoldPiece ? length - done : kFoldPiece);
        }
    }
    std::size_t Size() const { return size_; }

  private:
    char* out_;
    std::size_t size_ = 0;
};

// Writes the whole text (or, with a null writer target, only measures it).
void WritePacket(const Packet* packet, TextWriter& writer) {
    if (packet->statusCode == -1) {
        writer.Put(packet->method, packet->methodLength);
        writer.Put(" ");
        writer.Put(packet->path, packet->pathLength);
        writer.Put(" HTTP/");
        writer.Put(packet->version, packet->versionLength);
    } else {
        char code[16];
        const int codeLength = std::snprintf(code, sizeof code, " %d ", packet->statusCode);
        writer.Put("HTTP/");
        writer.Put(packet->version, packet->versionLength);
        writer.Put(code, codeLength);
        writer.Put(packet->statusText, packet->statusTextLength);
    }
    writer.Put("\r\n");
    auto entry = packet->headerTable.Enumerate();
    while (!entry.MoveNext()) {
        writer.Put(entry.Key(), static_cast<int>(entry.KeyLength()));
        writer.Put(": ");
        writer.PutValue(entry.Value(), entry.Extra());
        writer.Put("\r\n");
    }
    writer.Put("\r\n");
    writer.Put(packet->body, packet->bodyLength);
}

}  // namespace

int PacketToText(const Packet* packet, char** text) {
    *text = nullptr;
    if (packet == nullptr) return -1;
    TextWriter measure(nullptr);
    WritePacket(packet, measure);
    if (measure.Size() >= static_cast<std::size_t>(INT_MAX)) return -1;
    char* out = Allocate(measure.Size() + 1);
    TextWriter writer(out);
    WritePacket(packet, writer);
    out[writer.Size()] = '\0';
    *text = out;
    return static_cast<int>(writer.Size());
}

}  // namespace norvale::stack
