#pragma once

// The message engine of the HTTP client and server: fed the bytes of one
// connection, it finds each message head, parses it into a Packet and hands
// the head and the body to its owner in pieces.
//
//   message = *( CRLF ) head body
//   head    = start-line *( header-line ) CRLF            (ends at CRLF CRLF)
//   body    = nothing               1xx / 204 / 304 answers, answers to HEAD,
//                                   requests without Content-Length or chunked
//           | Content-Length bytes
//           | chunked coding        (ChunkedDecoder)
//           | bytes until the close (answers without either)
//
// Hard limits: a head of at most Limits::maxHeaderBytes, and at most
// Limits::maxBufferedBytes of body that the owner has not consumed. Every
// input byte is taken over at once (the head into a private copy that the
// Packet points into, unconsumed body bytes into a collection buffer), so
// nothing depends on the caller's buffer after Feed returns. Once failed, the
// engine stays failed until the next Start().

#include <cstdint>
#include <vector>

#include "upnp/stack/ChunkedDecoder.h"
#include "upnp/stack/Packet.h"

namespace norvale::stack {

class HttpReader {
  public:
    enum class Mode { kResponse, kRequest };
    enum class Status {
        kNeedMore,  // all input taken; the message is not complete
        kComplete,  // the message ended (the final delivery had done -1)
        kFailed,    // see failure(); nothing more is delivered
        kStopped,   // the owner called Stop() inside a delivery
    };
    enum class Failure { kNone, kHeaderTooBig, kMalformed, kBodyTooBig, kTruncated };

    struct Limits {
        int maxHeaderBytes = 16384;
        std::int64_t maxBufferedBytes = 8 * 1024 * 1024;
    };

    // One delivery: `packet` is the parsed head (owned by the engine, valid
    // during the call), `buffer`/`length` body bytes (null/0 when none; the
    // owner may write into them), *consumed in/out, `done` -1 on the last call
    // of a message and 0 before it.
    using Deliver = void (*)(void* owner, Packet* packet, char* buffer, int* consumed, int length,
                             int done);

    HttpReader(Mode mode, const Limits& limits, Deliver deliver, void* owner);
    HttpReader(const HttpReader&) = delete;
    HttpReader& operator=(const HttpReader&) = delete;
    ~HttpReader();

    // Prepares for the next message, dropping any state of the last one.
    // `headRequest`: the answer to a HEAD has no body. `deliverInterim`: 1xx
    // heads are delivered (done 0) instead of being skipped.
    // `requestKeepsAlive` (responses): false when the request itself asked for
    // the connection to end, so no answer can keep it.
    void Start(bool headRequest = false, bool deliverInterim = false,
               bool requestKeepsAlive = true);

    // Whether the request head head[0, length) lets its connection persist:
    // HTTP/1.1 or later without "Connection: close", or an older version
    // with "Connection: keep-alive". False for an unreadable head.
    static bool RequestKeepsAlive(const char* head, int length);

    // Takes bytes from data[0, length); *consumed is what was used (all of it
    // unless the message completed, failed or was stopped before the end).
    Status Feed(char* data, int length, int* consumed);

    // The peer closed the connection: ends a body read until the close (final
    // delivery, kComplete); kFailed (truncated) when a message had begun
    // otherwise; kNeedMore when nothing of a message had arrived.
    Status PeerClosed();

    // From inside a delivery: Feed returns kStopped right after it.
    void Stop() { stopRequested_ = true; }

    // Any byte of the current message arrived (blank lines before it aside).
    bool Begun() const { return begun_; }
    bool HeadDone() const { return packet_ != nullptr; }
    Packet* Head() const { return packet_; }
    // After kComplete: the connection may carry another message.
    bool KeepAlive() const { return keepAlive_; }
    bool IsInterim() const { return interim_; }
    Failure failure() const { return failure_; }

  private:
    enum class Body { kNone, kLength, kChunked, kUntilClose };
    enum class Phase { kHead, kBody, kDone, kFailed };

    Status FeedHead(char* data, int length, int* at);
    Status FeedBody(char* data, int length, int* at);
    bool ParseHead();
    bool ReadFraming();
    Status BeginBody(bool bodyFollows);
    Status DeliverPiece(char* piece, int length, bool last);
    Status Fail(Failure failure);
    void DropMessage();

    Mode mode_;
    Limits limits_;
    Deliver deliver_;
    void* owner_;
    bool headRequest_ = false;
    bool deliverInterim_ = false;
    bool requestKeepsAlive_ = true;

    Phase phase_ = Phase::kHead;
    bool begun_ = false;
    bool stopRequested_ = false;
    bool keepAlive_ = false;
    bool interim_ = false;
    Failure failure_ = Failure::kNone;
    std::vector<char> head_;  // the head bytes; packet_ points into them
    int searched_ = 0;        // head bytes already searched for CRLF CRLF
    Packet* packet_ = nullptr;
    Body body_ = Body::kNone;
    std::int64_t remaining_ = 0;  // Content-Length bytes still to come
    ChunkedDecoder chunked_;
    std::vector<char> collected_;  // body bytes offered but not consumed
    std::size_t collectedBegin_ = 0;
};

}  // namespace norvale::stack
