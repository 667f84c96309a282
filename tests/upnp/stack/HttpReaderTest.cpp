#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upnp/stack/ChunkedDecoder.h"
#include "upnp/stack/HttpReader.h"

using namespace norvale::stack;

namespace {

// Decodes `input` fed in pieces of `step` bytes; returns the data or "FAIL".
std::string Dechunk(const std::string& input, std::size_t step) {
    ChunkedDecoder decoder;
    std::string out;
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t end = std::min(input.size(), at + step);
        std::size_t offset = at;
        while (offset < end) {
            std::size_t used = 0, length = 0;
            const char* piece = nullptr;
            const auto result =
                decoder.Feed(input.data() + offset, end - offset, &used, &piece, &length);
            offset += used;
            if (result == ChunkedDecoder::Result::Data) out.append(piece, length);
            if (result == ChunkedDecoder::Result::Failed) return "FAIL";
            if (result == ChunkedDecoder::Result::Done)
                return offset == input.size() ? out : "EXTRA";
            if (result == ChunkedDecoder::Result::NeedMore) break;
        }
        at = end;
    }
    return "INCOMPLETE:" + out;
}

TEST(ChunkedDecoder, DecodesExtensionsAndTrailersAtEverySplit) {
    const std::string body =
        "5;name=value\r\nhello\r\n1A \r\nabcdefghijklmnopqrstuvwxyz\r\n0;last\r\nX-Trailer: "
        "1\r\n\r\n";
    for (std::size_t step = 1; step <= body.size(); ++step)
        EXPECT_EQ(Dechunk(body, step), "helloabcdefghijklmnopqrstuvwxyz") << "step " << step;
}

TEST(ChunkedDecoder, RejectsHostileFraming) {
    EXPECT_EQ(Dechunk("FFFFFFFFFFFFFFFFFFFF\r\n", 3), "FAIL");  // size overflow
    EXPECT_EQ(Dechunk("10000000001\r\n", 100), "FAIL");         // above the size ceiling
    EXPECT_EQ(Dechunk("\r\n", 1), "FAIL");                      // no digits
    EXPECT_EQ(Dechunk("3\r\nabcXY0\r\n\r\n", 2), "FAIL");       // data not followed by CRLF
    EXPECT_EQ(Dechunk("5;" + std::string(5000, 'x') + "\r\n", 64), "FAIL");  // endless size line
    EXPECT_EQ(Dechunk("0\r\n" + std::string(9000, 'x'), 128), "FAIL");       // endless trailer
}

// Collects what an HttpReader delivers; consumes `consumeLimit` bytes per call.
struct Collector {
    std::vector<int> codes;  // status (or -1 for a request) per delivery
    std::string body;
    int doneCalls = 0;
    int calls = 0;
    int consumeLimit = 1 << 30;
    static void Deliver(void* owner, Packet* packet, char* buffer, int* consumed, int length,
                        int done) {
        auto* self = static_cast<Collector*>(owner);
        ++self->calls;
        self->codes.push_back(packet->statusCode);
        const int take = done == -1 ? length : std::min(length, self->consumeLimit);
        if (buffer != nullptr) self->body.append(buffer, static_cast<std::size_t>(take));
        *consumed = take;
        if (done == -1) ++self->doneCalls;
    }
};

// Feeds `input` in `step`-byte reads the way a socket does: unconsumed bytes
// are offered again together with the next read.
HttpReader::Status FeedSplit(HttpReader& reader, const std::string& input, std::size_t step,
                             std::size_t* leftover = nullptr) {
    std::string pending;
    HttpReader::Status status = HttpReader::Status::kNeedMore;
    for (std::size_t at = 0; at < input.size(); at += step) {
        pending += input.substr(at, step);
        int consumed = 0;
        status = reader.Feed(pending.data(), static_cast<int>(pending.size()), &consumed);
        pending.erase(0, static_cast<std::size_t>(consumed));
        if (status != HttpReader::Status::kNeedMore) break;
    }
    if (leftover != nullptr) *leftover = pending.size();
    return status;
}

struct ResponseCase {
    const char* name;
    std::string bytes;
    bool head;
    std::string body;
    bool keepAlive;
};

TEST(HttpReader, DeliversEveryBodyKindAtEverySplit) {
    const std::vector<ResponseCase> cases = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, "hello", true},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
         "chunked\r\n\r\n3;x=y\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         false, "abcde", true},
        {"interim", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         false, "ok", true},
        {"head", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n", true, "", true},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, "", true},
        {"http/1.0", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", false, "x", false},
        {"close mark", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx", false,
         "x", false},
    };
    for (const auto& c : cases) {
        for (std::size_t step = 1; step <= c.bytes.size(); ++step) {
            Collector collector;
            HttpReader reader(HttpReader::Mode::kResponse, {}, &Collector::Deliver, &collector);
            reader.Start(c.head);
            std::size_t leftover = 0;
            ASSERT_EQ(FeedSplit(reader, c.bytes, step, &leftover), HttpReader::Status::kComplete)
                << c.name << " step " << step;
            EXPECT_EQ(collector.body, c.body) << c.name << " step " << step;
            EXPECT_EQ(collector.doneCalls, 1) << c.name;
            EXPECT_EQ(collector.codes.back(), c.head ? 200 : collector.codes.back());
            EXPECT_EQ(reader.KeepAlive(), c.keepAlive) << c.name;
            EXPECT_EQ(leftover, 0u) << c.name;
        }
    }
}

TEST(HttpReader, UnconsumedBytesAreOfferedAgainUntilTheLastCall) {
    Collector collector;
    collector.consumeLimit = 0;  // a caller that waits for the whole body
    HttpReader reader(HttpReader::Mode::kResponse, {}, &Collector::Deliver, &collector);
    reader.Start();
    const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789";
    ASSERT_EQ(FeedSplit(reader, response, 7), HttpReader::Status::kComplete);
    EXPECT_EQ(collector.body, "0123456789");  // all of it on the final call
}

TEST(HttpReader, HeadIsReportedBeforeAnAwaitedBody) {
    // A client that sent "Expect: 100-continue" waits for an answer to the head.
    Collector collector;
    HttpReader reader(HttpReader::Mode::kRequest, {}, &Collector::Deliver, &collector);
    reader.Start();
    std::string head =
        "POST /e HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n";
    int consumed = 0;
    ASSERT_EQ(reader.Feed(head.data(), static_cast<int>(head.size()), &consumed),
              HttpReader::Status::kNeedMore);
    EXPECT_EQ(collector.calls, 1);
    EXPECT_EQ(collector.doneCalls, 0);
    std::string body = "data";
    ASSERT_EQ(reader.Feed(body.data(), 4, &consumed), HttpReader::Status::kComplete);
    EXPECT_EQ(collector.body, "data");
}

TEST(HttpReader, ReadUntilCloseEndsWithThePeer) {
    Collector collector;
    HttpReader reader(HttpReader::Mode::kResponse, {}, &Collector::Deliver, &collector);
    reader.Start();
    ASSERT_EQ(FeedSplit(reader, "HTTP/1.0 200 OK\r\n\r\nstream of bytes", 4),
              HttpReader::Status::kNeedMore);
    EXPECT_EQ(reader.PeerClosed(), HttpReader::Status::kComplete);
    EXPECT_EQ(collector.body, "stream of bytes");
    EXPECT_EQ(collector.doneCalls, 1);
}

TEST(HttpReader, HostileResponsesFailCleanly) {
    struct Hostile {
        const char* name;
        std::string bytes;
        HttpReader::Failure failure;
    };
    HttpReader::Limits limits;
    limits.maxHeaderBytes = 3072;
    limits.maxBufferedBytes = 4096;
    const std::vector<Hostile> cases = {
        {"endless head", "HTTP/1.1 200 OK\r\n" + std::string(5000, 'a'),
         HttpReader::Failure::kHeaderTooBig},
        {"chunk overflow",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFF\r\n",
         HttpReader::Failure::kMalformed},
        {"huge length kept",
         "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\n" + std::string(6000, 'b'),
         HttpReader::Failure::kBodyTooBig},
        {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n",
         HttpReader::Failure::kMalformed},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
         HttpReader::Failure::kMalformed},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", HttpReader::Failure::kMalformed},
    };
    for (const auto& c : cases) {
        Collector collector;
        collector.consumeLimit = 0;
        HttpReader reader(HttpReader::Mode::kResponse, limits, &Collector::Deliver, &collector);
        reader.Start();
        EXPECT_EQ(FeedSplit(reader, c.bytes, 977), HttpReader::Status::kFailed) << c.name;
        EXPECT_EQ(reader.failure(), c.failure) << c.name;
        EXPECT_EQ(collector.doneCalls, 0) << c.name;
    }
}

TEST(HttpReader, UnknownTransferCodingFailsInsteadOfFallingBackToTheLength) {
    // A body in a coding this engine cannot undo is no body of the stated
    // length: read by Content-Length it would leave the stream mid-message.
    for (const char* coding : {"gzip", "chunked, gzip", "gzip, chunked",
                               "chunked\r\n"
                               "Transfer-Encoding: gzip"}) {
        const std::string framing =
            std::string("Transfer-Encoding: ") + coding + "\r\nContent-Length: 5\r\n\r\nhello";
        for (const auto mode : {HttpReader::Mode::kResponse, HttpReader::Mode::kRequest}) {
            const bool response = mode == HttpReader::Mode::kResponse;
            Collector collector;
            HttpReader reader(mode, {}, &Collector::Deliver, &collector);
            reader.Start();
            const std::string message =
                (response ? "HTTP/1.1 200 OK\r\n" : "POST /c HTTP/1.1\r\nHost: x\r\n") + framing;
            EXPECT_EQ(FeedSplit(reader, message, message.size()), HttpReader::Status::kFailed)
                << coding << (response ? " response" : " request");
            EXPECT_EQ(collector.doneCalls, 0) << coding;
        }
    }
}

TEST(HttpReader, TruncatedLengthBodyIsAFailureNotACompletion) {
    Collector collector;
    HttpReader reader(HttpReader::Mode::kResponse, {}, &Collector::Deliver, &collector);
    reader.Start();
    FeedSplit(reader, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 100);
    EXPECT_EQ(reader.PeerClosed(), HttpReader::Status::kFailed);
    EXPECT_EQ(reader.failure(), HttpReader::Failure::kTruncated);
    EXPECT_EQ(collector.doneCalls, 0);
}

TEST(HttpReader, RequestsWithoutLengthHaveNoBodyAndStopAtTheirEnd) {
    Collector collector;
    HttpReader reader(HttpReader::Mode::kRequest, {}, &Collector::Deliver, &collector);
    reader.Start();
    std::string two = "GET /a HTTP/1.1\r\nHost: x\r\n\r\nGET /b HTTP/1.1\r\nHost: x\r\n\r\n";
    int consumed = 0;
    ASSERT_EQ(reader.Feed(two.data(), static_cast<int>(two.size()), &consumed),
              HttpReader::Status::kComplete);
    EXPECT_EQ(consumed, static_cast<int>(two.size() / 2));  // the second request stays unread
    EXPECT_TRUE(reader.KeepAlive());

    reader.Start();
    std::string http10 = "POST /c HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc";
    ASSERT_EQ(reader.Feed(http10.data(), static_cast<int>(http10.size()), &consumed),
              HttpReader::Status::kComplete);
    EXPECT_EQ(collector.body, "abc");
    EXPECT_FALSE(reader.KeepAlive());
}

}  // namespace
