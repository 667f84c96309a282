#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "upnp/stack/PacketText.h"
#include "upnp/stack/TextParse.h"
#include "upnp/stack/Url.h"

using namespace norvale::stack;

namespace {

const std::string kNotify =
    "NOTIFY * HTTP/1.1\r\n"
    "HOST: 239.255.255.250:1900\r\n"
    "CACHE-CONTROL: max-age=1800\r\n"
    "LOCATION: http://10.0.0.5:49152/description.xml\r\n"
    "NT: urn:schemas-upnp-org:device:LuNAS:1\r\n"
    "NTS: ssdp:alive\r\n"
    "SERVER: Linux/3.10 UPnP/1.0 LuNAS/2.1\r\n"
    "USN: uuid:4d696e69-444c-164e-9d41-b827eb54e1a2::urn:schemas-upnp-org:device:LuNAS:1\r\n"
    "\r\n";

// A heap copy of exactly the text's bytes, so that the sanitizer sees any read past it.
struct Bytes {
    explicit Bytes(const std::string& text) : data(new char[text.size() + 1]), size(text.size()) {
        std::memcpy(data.get(), text.data(), text.size());
    }
    std::unique_ptr<char[]> data;
    std::size_t size;
    char* get() { return data.get(); }
    int length() const { return static_cast<int>(size); }
};

std::string S(const char* text, int length) {
    return text ? std::string(text, length) : "<null>";
}

std::vector<std::string> Pieces(TextPieces* pieces) {
    std::vector<std::string> out;
    for (TextPiece* p = pieces->first; p != nullptr; p = p->next)
        out.push_back(S(p->start, p->length));
    FreeTextPieces(pieces);
    return out;
}

std::string Value(Packet* packet, const char* name) {
    int length = 0;
    char* value = GetHeaderValue(packet, name, static_cast<int>(std::strlen(name)), &length);
    return S(value, length);
}

std::string Text(const Packet* packet) {
    char* text = nullptr;
    const int length = PacketToText(packet, &text);
    std::string result(text, length);
    std::free(text);
    return result;
}

}  // namespace

TEST(TextParse, SplitGivesOnePieceMoreThanDelimitersAndMatchesOnlyInsideRegion) {
    char text[] = "a\r\nbc\r\n\r\nd\r";
    EXPECT_EQ(Pieces(SplitText(text, 0, 11, "\r\n", 2)),
              (std::vector<std::string>{"a", "bc", "", "d\r"}));
    EXPECT_EQ(Pieces(SplitText(text, 0, 0, "\r\n", 2)), (std::vector<std::string>{""}));
    // The delimiter straddling the region end does not match.
    EXPECT_EQ(Pieces(SplitText(text, 3, 6, "\r\n", 2)), (std::vector<std::string>{"bc\r"}));
}

TEST(TextParse, QuotedSplitKeepsTheFirstQuoteCharacterForTheWholeText) {
    char text[] = "a='x y' b=\"p q\" c='r s'";
    EXPECT_EQ(Pieces(SplitQuotedText(text, 0, 23, " ", 1)),
              (std::vector<std::string>{"a='x y'", "b=\"p", "q\"", "c='r s'"}));
}

TEST(TextParse, TrimRemovesSpaceAndBackspaceOnlyAndLeavesAllBlankTextAlone) {
    const char* text = " \b\tv \b";
    const char* start = text;
    EXPECT_EQ(TrimText(start, 6), 2);
    EXPECT_EQ(S(start, 2), "\tv");
    const char* blank = "  \b ";
    start = blank;
    EXPECT_EQ(TrimText(start, 4), 4);
    EXPECT_EQ(start, blank);
    EXPECT_EQ(ParseDecimal("99999999999", 11), 2147483647);
    EXPECT_EQ(ParseDecimal("-5", 2), 0);
}

TEST(ParsePacket, StatusLineKeepsOnlyTheFirstWordOfTheReason) {
    Bytes ok("HTTP/1.1 200 OK\r\n\r\n");
    PacketPtr packet(ParsePacket(ok.get(), 0, ok.length()));
    ASSERT_TRUE(packet);
    EXPECT_STREQ(packet->version, "1.1");
    EXPECT_EQ(packet->statusCode, 200);
    EXPECT_EQ(S(packet->statusText, packet->statusTextLength), "OK");
    EXPECT_EQ(packet->method, nullptr);

    Bytes missing("HTTP/1.0 404 Not Found\r\n\r\n");
    packet.reset(ParsePacket(missing.get(), 0, missing.length()));
    EXPECT_EQ(S(packet->statusText, packet->statusTextLength), "Not");
    EXPECT_EQ(Text(packet.get()), "HTTP/1.0 404 Not\r\n\r\n");
}

TEST(ParsePacket, RequestLineNeedsTwoWords) {
    for (const char* line : {"GET\r\n\r\n", "GET", ""}) {
        Bytes bytes(line);
        EXPECT_EQ(ParsePacket(bytes.get(), 0, bytes.length()), nullptr) << line;
    }
    Bytes get("GET /desc.xml HTTP/1.0\r\nHost: 10.0.0.5\r\n\r\n");
    PacketPtr packet(ParsePacket(get.get(), 0, get.length()));
    ASSERT_TRUE(packet);
    EXPECT_STREQ(packet->method, "GET");
    EXPECT_STREQ(packet->path, "/desc.xml");
    EXPECT_STREQ(packet->version, "1.0");
    EXPECT_EQ(packet->statusCode, -1);
    EXPECT_EQ(packet->ownsStrings, 0);
    EXPECT_EQ(packet->path, get.get() + 4);  // points into the buffer, no copy
}

TEST(ParsePacket, HeaderValuesAreTrimmedAndLinesWithoutColonDropped) {
    Bytes bytes(
        "NOTIFY * HTTP/1.1\r\nNTS:   ssdp:alive  \r\nno colon here\r\nX:\ttab\r\nEXT:  \r\n\r\n");
    PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
    ASSERT_TRUE(packet);
    EXPECT_EQ(Value(packet.get(), "nts"), "ssdp:alive");
    EXPECT_STREQ(packet->firstHeader->value, "ssdp:alive");  // NUL-terminated in place
    EXPECT_EQ(Value(packet.get(), "X"), "\ttab");            // a tab is not a blank
    EXPECT_EQ(Value(packet.get(), "ext"), "");               // blanks only: empty, as written back
    EXPECT_EQ(packet->headerTable.Count(), 3u);
}

TEST(ParsePacket, DuplicateNamesStayInTheListButTableAndTextHoldTheLaterValueOnce) {
    Bytes bytes("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nEXT:\r\ncontent-length: 7\r\n\r\n");
    PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
    ASSERT_TRUE(packet);
    std::vector<std::string> list;
    for (PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        list.push_back(S(h->name, h->nameLength) + "=" + S(h->value, h->valueLength));
    }
    EXPECT_EQ(list, (std::vector<std::string>{"Content-Length=5", "EXT=", "content-length=7"}));
    EXPECT_EQ(Value(packet.get(), "CONTENT-LENGTH"), "7");
    EXPECT_EQ(Text(packet.get()), "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nEXT: \r\n\r\n");
}

TEST(ParsePacket, FoldedHeaderJoinsListTableAndText) {
    Bytes bytes("HTTP/1.1 200 OK\r\nX: one\r\n two\r\n\tthree\r\nY: y\r\n\r\n");
    PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
    ASSERT_TRUE(packet);
    EXPECT_EQ(S(packet->firstHeader->value, packet->firstHeader->valueLength), "onetwothree");
    EXPECT_EQ(packet->firstHeader->owned, -1);
    EXPECT_EQ(Value(packet.get(), "x"), "onetwothree");
    EXPECT_EQ(Value(packet.get(), "y"), "y");
    EXPECT_EQ(Text(packet.get()), "HTTP/1.1 200 OK\r\nX: onetwothree\r\nY: y\r\n\r\n");

    // After a dropped line nothing is current: a blank-led line is a header of its own.
    Bytes dropped("HTTP/1.1 200 OK\r\nnocolon\r\n Z: z\r\n\r\n");
    packet.reset(ParsePacket(dropped.get(), 0, dropped.length()));
    EXPECT_EQ(Value(packet.get(), " Z"), "z");
}

TEST(ParsePacket, PiecesThatRunToTheRegionEndAreCopiedNotTerminatedOutside) {
    std::string text = "GET /x/y\r\nHOST: 1.2.3.4:80";
    Bytes bytes(text + "#");  // the byte after the region must stay untouched
    PacketPtr packet(ParsePacket(bytes.get(), 0, static_cast<int>(text.size())));
    ASSERT_TRUE(packet);
    EXPECT_EQ(bytes.get()[text.size()], '#');
    EXPECT_STREQ(packet->path, "/x/y");  // the version came from the path's last word
    EXPECT_STREQ(packet->version, "x");
    EXPECT_EQ(packet->lastHeader->owned, -1);
    EXPECT_STREQ(GetHeaderValue(packet.get(), "host", 4), "1.2.3.4:80");

    Bytes status("HTTP/1.1");
    packet.reset(ParsePacket(status.get(), 0, status.length()));
    EXPECT_STREQ(packet->version, "1.1");
    EXPECT_EQ(packet->statusCode, 0);
}

TEST(PacketToText, LongValuesAreFoldedIn800BytePiecesAndParseBack) {
    for (int length : {1599, 1600, 1601, 2400}) {
        std::string value(length, 'v');
        for (int i = 0; i < length; i += 97) value[i] = static_cast<char>('a' + i % 26);
        PacketPtr packet(NewPacket());
        SetStatus(packet.get(), 200, "OK", 2);
        AddHeader(packet.get(), "X-Long", 6, value.data(), length);
        const std::string text = Text(packet.get());
        std::string expected = "HTTP/1.0 200 OK\r\nX-Long: ";
        for (int done = 0; done < length; done += 800) {
            if (done > 0 && length >= 1600) expected += "\r\n ";
            expected += value.substr(done, length >= 1600 ? 800 : length);
            if (length < 1600) break;
        }
        EXPECT_EQ(text, expected + "\r\n\r\n") << length;
        Bytes bytes(text);
        PacketPtr again(ParsePacket(bytes.get(), 0, bytes.length()));
        EXPECT_EQ(Value(again.get(), "x-long"), value) << length;
    }
}

TEST(ILibClonePacket, CopiesEverythingButTheBodyAndOutlivesTheBuffer) {
    PacketPtr clone;
    {
        Bytes bytes(kNotify);
        PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
        packet->receiverValue = 7;
        packet->receiverPointer = &clone;
        packet->body = bytes.get();
        packet->bodyLength = 3;
        clone.reset(ILibClonePacket(packet.get()));
    }
    EXPECT_EQ(clone->cloned, 1);
    EXPECT_EQ(clone->receiverValue, 7);
    EXPECT_EQ(clone->receiverPointer, &clone);
    EXPECT_EQ(clone->body, nullptr);
    EXPECT_STREQ(clone->method, "NOTIFY");
    EXPECT_EQ(Value(clone.get(), "Location"), "http://10.0.0.5:49152/description.xml");
    EXPECT_EQ(Text(clone.get()), kNotify);
    EXPECT_EQ(ILibClonePacket(nullptr), nullptr);
    DestroyPacket(nullptr);  // only a debug text
}

TEST(Packet, SettersOnAParsedPacketCopyBorrowedStringsFirst) {
    auto bytes = std::make_unique<Bytes>("HTTP/1.1 500 Internal Error\r\n\r\n");
    PacketPtr packet(ParsePacket(bytes->get(), 0, bytes->length()));
    SetRequestLine(packet.get(), "GET", 3, "/", 1);
    bytes.reset();  // nothing may point into it any more, nor be freed from it
    EXPECT_EQ(S(packet->statusText, packet->statusTextLength), "Internal");
    SetPacketVersion(packet.get(), "1.1", 3);
    EXPECT_STREQ(packet->version, "1.1");
}

TEST(Packet, ShiftMovesOnlyPointersIntoTheOldBuffer) {
    Bytes old(kNotify);
    PacketPtr packet(ParsePacket(old.get(), 0, old.length()));
    AddHeader(packet.get(), "X", 1, "own", 3);
    Bytes moved(std::string(old.get(), old.size));  // the buffer after a move
    ShiftPacketPointers(packet.get(), old.get(), old.get() + old.size, moved.get() - old.get());
    std::memset(old.get(), '!', old.size);
    EXPECT_STREQ(packet->method, "NOTIFY");
    EXPECT_EQ(Value(packet.get(), "NTS"), "ssdp:alive");
    EXPECT_EQ(Value(packet.get(), "X"), "own");
}

TEST(Packet, ShiftWithinOneBufferMovesARepeatedHeaderValueOnce) {
    // The packet sits 4 bytes into its buffer and is moved to the front in place.
    const std::string text = "HTTP/1.1 200 OK\r\nA: first\r\nA: second\r\n\r\n";
    Bytes buffer("    " + text);
    PacketPtr packet(ParsePacket(buffer.get(), 4, buffer.length()));
    std::memmove(buffer.get(), buffer.get() + 4, text.size());
    ShiftPacketPointers(packet.get(), buffer.get() + 4, buffer.get() + buffer.size, -4);
    EXPECT_EQ(Value(packet.get(), "A"), "second");
    EXPECT_EQ(S(packet->firstHeader->value, packet->firstHeader->valueLength), "first");
}

TEST(ParsePacket, EveryTruncationStaysInsideTheRegionAndKeepsHeaderPrefixes) {
    Bytes whole(kNotify);
    PacketPtr full(ParsePacket(whole.get(), 0, whole.length()));
    for (std::size_t cut = 0; cut <= kNotify.size(); ++cut) {
        Bytes bytes(kNotify.substr(0, cut));
        PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
        if (cut < 8) continue;  // "NOTIFY *" is the shortest request line
        ASSERT_TRUE(packet) << cut;
        for (PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
            // A cut line gives a prefix of the full value (or, cut after ":", a blank;
            // cut between CR and LF, the value keeps the lone CR).
            std::string value = S(h->value, h->valueLength);
            if (!value.empty() && value.back() == '\r') value.pop_back();
            if (value.find_first_not_of(' ') == std::string::npos) continue;
            EXPECT_EQ(Value(full.get(), h->name).rfind(value, 0), 0u) << cut;
        }
    }
}

TEST(ParsePacket, HeaderCountIsCapped) {
    std::string text = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < kMaxParsedHeaders + 50; ++i) {
        text += 'H';
        text += std::to_string(i);
        text += ": v\r\n";
    }
    Bytes bytes(text + "\r\n");
    PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
    EXPECT_EQ(packet->headerTable.Count(), static_cast<std::size_t>(kMaxParsedHeaders));
}

TEST(ParsePacket, HugeLinesAndLongFoldsAreReadInOnePass) {
    // A 1 MB header line, 200,000 blank-led lines after a dropped line, and a
    // header folded 200,000 times: each would take minutes if rescanned per line.
    std::string text = "HTTP/1.1 200 OK\r\nBig: " + std::string(1 << 20, 'x') + "\r\nnocolon\r\n";
    for (int i = 0; i < 200000; ++i) text += " a\r\n";
    text += "Fold: start\r\n";
    for (int i = 0; i < 200000; ++i) text += "\t+\r\n";
    Bytes bytes(text + "\r\n");
    PacketPtr packet(ParsePacket(bytes.get(), 0, bytes.length()));
    ASSERT_TRUE(packet);
    EXPECT_EQ(Value(packet.get(), "big").size(), 1u << 20);
    EXPECT_EQ(Value(packet.get(), "fold"), "start" + std::string(200000, '+'));
    EXPECT_EQ(packet->headerTable.Count(), 2u);  // the blank-led lines have no ":"
}

TEST(ParseUrl, SplitsHostPortAndPath) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://10.0.0.5:8080/desc.xml", "10.0.0.5", 8080, "/desc.xml"},
        {"http://10.0.0.5/desc.xml", "10.0.0.5", 80, "/desc.xml"},
        {"http://10.0.0.5:8080", "10.0.0.5", 8080, ""},
        {"10.0.0.5:1900/a/b?c", "10.0.0.5", 1900, "/a/b?c"},
        {"x://y://h:1:2/p", "y", 0, "//h:1:2/p"},  // only the first "://" ends a scheme
        {"http://10.0.0.9?u=http://10.0.0.5:80/d", "10.0.0.9", 80, "/?u=http://10.0.0.5:80/d"},
        {"", "", 80, ""},
    };
    for (const Case& c : cases) {
        char* host = nullptr;
        char* path = nullptr;
        int port = 0;
        ParseUrl(c.url, &host, &port, &path);
        EXPECT_STREQ(host, c.host) << c.url;
        EXPECT_EQ(port, c.port) << c.url;
        EXPECT_STREQ(path, c.path) << c.url;
        std::free(host);
        std::free(path);
    }
}

TEST(UrlHostAddress, ReadsTheDottedHostAfterTheDoubleSlash) {
    EXPECT_EQ(UrlHostAddress("http://10.0.0.5:8080/x"), inet_addr("10.0.0.5"));
    EXPECT_EQ(UrlHostAddress("http://10.0.0.5"), inet_addr("10.0.0.5"));
    EXPECT_EQ(UrlHostAddress("http://10.0.0.5/a:b"), inet_addr("10.0.0.5"));
    EXPECT_EQ(UrlHostAddress("http:/10.0.0.5/"), 0u);
    EXPECT_EQ(UrlHostAddress("10.0.0.5"), 0u);
    EXPECT_EQ(UrlHostAddress("http://100.100.100.1000/"), INADDR_NONE);
    EXPECT_EQ(UrlHostAddress("http://nas.local/"), INADDR_NONE);
}
