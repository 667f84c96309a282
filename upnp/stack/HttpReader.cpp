#include "upnp/stack/HttpReader.h"

#include <algorithm>
#include <cstring>

#include "upnp/stack/PacketText.h"
#include "upnp/stack/TextParse.h"

namespace norvale::stack {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\b';
}

bool EqualsNoCase(const char* text, int length, std::string_view literal) {
    return EqualsIgnoringCase(std::string_view(text, static_cast<std::size_t>(length)), literal);
}

// Calls `visit(token, length)` for every comma-separated token, blanks trimmed.
template <typename Visit>
void ForEachToken(const char* value, int length, Visit visit) {
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && value[i] != ',') continue;
        int s = start, e = i;
        while (s < e && IsSpace(value[s])) ++s;
        while (e > s && IsSpace(value[e - 1])) --e;
        visit(value + s, e - s);
        start = i + 1;
    }
}

// Reads the tokens of every Connection header of `packet`.
void ReadConnectionTokens(const Packet* packet, bool* close, bool* keep) {
    for (const PacketHeader* h = packet->firstHeader; h != nullptr; h = h->next) {
        if (!EqualsNoCase(h->name, h->nameLength, "connection")) continue;
        ForEachToken(h->value, h->valueLength, [&](const char* t, int n) {
            *close = *close || EqualsNoCase(t, n, "close");
            *keep = *keep || EqualsNoCase(t, n, "keep-alive");
        });
    }
}

// Strict Content-Length: 1 to 18 digits, blanks around allowed. -1 when invalid.
std::int64_t ParseContentLength(const char* value, int length) {
    int s = 0, e = length;
    while (s < e && IsSpace(value[s])) ++s;
    while (e > s && IsSpace(value[e - 1])) --e;
    if (e == s || e - s > 18) return -1;
    std::int64_t result = 0;
    for (int i = s; i < e; ++i) {
        if (value[i] < '0' || value[i] > '9') return -1;
        result = result * 10 + (value[i] - '0');
    }
    return result;
}

}  // namespace

HttpReader::HttpReader(Mode mode, const Limits& limits, Deliver deliver, void* owner)
    : mode_(mode), limits_(limits), deliver_(deliver), owner_(owner) {}

HttpReader::~HttpReader() {
    DropMessage();
}

void HttpReader::DropMessage() {
    if (packet_ != nullptr) DestroyPacket(packet_);
    packet_ = nullptr;
    head_.clear();
    searched_ = 0;
    collected_.clear();
    collectedBegin_ = 0;
    chunked_.Reset();
    body_ = Body::kNone;
    remaining_ = 0;
}

bool HttpReader::RequestKeepsAlive(const char* head, int length) {
    std::vector<char> copy(head, head + std::max(length, 0));
    Packet* request = ParsePacket(copy.data(), 0, static_cast<int>(copy.size()));
    if (request == nullptr) return false;
    bool close = false, keep = false;
    ReadConnectionTokens(request, &close, &keep);
    const bool keeps = !close && (IsHttp11OrLater(request) || keep);
    DestroyPacket(request);
    return keeps;
}

void HttpReader::Start(bool headRequest, bool deliverInterim, bool requestKeepsAlive) {
    DropMessage();
    headRequest_ = headRequest;
    requestKeepsAlive_ = requestKeepsAlive;
    deliverInterim_ = deliverInterim;
    phase_ = Phase::kHead;
    begun_ = false;
    stopRequested_ = false;
    keepAlive_ = false;
    interim_ = false;
    failure_ = Failure::kNone;
}

HttpReader::Status HttpReader::Fail(Failure failure) {
    failure_ = failure;
    phase_ = Phase::kFailed;
    return Status::kFailed;
}

HttpReader::Status HttpReader::Feed(char* data, int length, int* consumed) {
    int at = 0;
    Status status = Status::kNeedMore;
    stopRequested_ = false;
    while (status == Status::kNeedMore && (at < length || phase_ == Phase::kBody)) {
        if (phase_ == Phase::kHead) {
            status = FeedHead(data, length, &at);
        } else if (phase_ == Phase::kBody) {
            if (at >= length) break;
            status = FeedBody(data, length, &at);
        } else {
            status = phase_ == Phase::kDone ? Status::kComplete : Status::kFailed;
        }
        if (status == Status::kNeedMore && stopRequested_) status = Status::kStopped;
    }
    if (status == Status::kNeedMore && phase_ == Phase::kFailed) status = Status::kFailed;
    *consumed = at;
    return status;
}

// Collects head bytes until CRLF CRLF; then parses and starts the body.
HttpReader::Status HttpReader::FeedHead(char* data, int length, int* at) {
    if (head_.empty()) {
        while (*at < length && (data[*at] == '\r' || data[*at] == '\n')) ++*at;
        if (*at >= length) return Status::kNeedMore;
    }
    begun_ = true;
    const int room = limits_.maxHeaderBytes - static_cast<int>(head_.size());
    const int take = std::min(room, length - *at);
    head_.insert(head_.end(), data + *at, data + *at + take);
    const int size = static_cast<int>(head_.size());
    for (int i = std::max(0, searched_ - 3); i + 3 < size; ++i) {
        if (head_[i] == '\r' && head_[i + 1] == '\n' && head_[i + 2] == '\r' &&
            head_[i + 3] == '\n') {
            const int headLength = i + 4;
            *at += take - (size - headLength);
            head_.resize(headLength);
            return ParseHead() ? BeginBody(*at < length) : Fail(Failure::kMalformed);
        }
    }
    searched_ = size;
    *at += take;
    if (size >= limits_.maxHeaderBytes) return Fail(Failure::kHeaderTooBig);
    return Status::kNeedMore;
}

bool HttpReader::ParseHead() {
    packet_ = ParsePacket(head_.data(), 0, static_cast<int>(head_.size()));
    if (packet_ == nullptr) return false;
    if (mode_ == Mode::kResponse) {
        if (packet_->method != nullptr || packet_->statusCode < 100 || packet_->statusCode > 999)
            return false;
    } else if (packet_->method == nullptr || packet_->statusCode != -1 ||
               packet_->pathLength <= 0) {
        return false;
    }
    return ReadFraming();
}

// Reads Transfer-Encoding, Connection and Content-Length into the body kind
// and the keep-alive decision. The only transfer coding read is a single
// "chunked" over all Transfer-Encoding headers; any other coding list
// ("gzip", "chunked, gzip", "gzip, chunked", an empty one) cannot be framed
// and fails the message rather than being read by its Content-Length.
bool HttpReader::ReadFraming() {
    bool close = false, keep = false;
    int codings = 0, chunkedCodings = 0;
    std::int64_t contentLength = -1;
    for (const PacketHeader* h = packet_->firstHeader; h != nullptr; h = h->next) {
        if (EqualsNoCase(h->name, h->nameLength, "transfer-encoding")) {
            int listed = 0;
            ForEachToken(h->value, h->valueLength, [&](const char* t, int n) {
                if (n == 0) return;  // empty list elements are allowed
                ++listed;
                if (EqualsNoCase(t, n, "chunked")) ++chunkedCodings;
            });
            codings += listed == 0 ? 1 : listed;  // an empty list counts as unknown
        } else if (EqualsNoCase(h->name, h->nameLength, "content-length")) {
            const std::int64_t value = ParseContentLength(h->value, h->valueLength);
            if (value < 0 || (contentLength >= 0 && value != contentLength)) return false;
            contentLength = value;
        }
    }
    ReadConnectionTokens(packet_, &close, &keep);
    if (codings != chunkedCodings || chunkedCodings > 1) return false;
    const bool chunked = chunkedCodings == 1;
    if (mode_ == Mode::kRequest) {
        const bool http10 =
            packet_->versionLength == 3 && std::memcmp(packet_->version, "1.0", 3) == 0;
        keepAlive_ = !http10 && !close;
        body_ = chunked ? Body::kChunked : contentLength >= 0 ? Body::kLength : Body::kNone;
    } else {
        keepAlive_ = requestKeepsAlive_ && !close && (IsHttp11OrLater(packet_) || keep);
        body_ = chunked ? Body::kChunked : contentLength >= 0 ? Body::kLength : Body::kUntilClose;
        const int code = packet_->statusCode;
        if (code < 200 || code == 204 || code == 304 || headRequest_) body_ = Body::kNone;
        if (body_ == Body::kUntilClose) keepAlive_ = false;
    }
    remaining_ = body_ == Body::kLength ? contentLength : 0;
    if (body_ == Body::kLength && remaining_ == 0) body_ = Body::kNone;
    return true;
}

// `bodyFollows`: bytes after the head are already at hand. Otherwise a body
// that is still to come is announced by a call with the head alone (done 0),
// so that an owner can answer at once (a server's "100 Continue").
HttpReader::Status HttpReader::BeginBody(bool bodyFollows) {
    int ignored = 0;
    if (mode_ == Mode::kResponse && packet_->statusCode < 200) {
        interim_ = true;
        if (deliverInterim_) deliver_(owner_, packet_, nullptr, &ignored, 0, 0);
        DropMessage();
        phase_ = Phase::kHead;
        begun_ = false;
        return stopRequested_ ? Status::kStopped : Status::kNeedMore;
    }
    interim_ = false;
    switch (body_) {
        case Body::kNone:
            phase_ = Phase::kDone;
            deliver_(owner_, packet_, nullptr, &ignored, 0, -1);
            return Status::kComplete;
        case Body::kChunked:
            phase_ = Phase::kBody;
            deliver_(owner_, packet_, nullptr, &ignored, 0, 0);
            return stopRequested_ ? Status::kStopped : Status::kNeedMore;
        default:
            phase_ = Phase::kBody;
            if (!bodyFollows) deliver_(owner_, packet_, nullptr, &ignored, 0, 0);
            return stopRequested_ ? Status::kStopped : Status::kNeedMore;
    }
}

HttpReader::Status HttpReader::FeedBody(char* data, int length, int* at) {
    char* start = data + *at;
    const int available = length - *at;
    if (body_ == Body::kLength) {
        const int take = static_cast<int>(std::min<std::int64_t>(remaining_, available));
        remaining_ -= take;
        *at += take;
        return DeliverPiece(start, take, remaining_ == 0);
    }
    if (body_ == Body::kUntilClose) {
        *at = length;
        return DeliverPiece(start, available, false);
    }
    std::size_t used = 0, pieceLength = 0;
    const char* piece = nullptr;
    const auto result =
        chunked_.Feed(start, static_cast<std::size_t>(available), &used, &piece, &pieceLength);
    *at += static_cast<int>(used);
    switch (result) {
        case ChunkedDecoder::Result::Data:
            return DeliverPiece(const_cast<char*>(piece), static_cast<int>(pieceLength), false);
        case ChunkedDecoder::Result::Done:
            return DeliverPiece(nullptr, 0, true);
        case ChunkedDecoder::Result::Failed:
            return Fail(Failure::kMalformed);
        case ChunkedDecoder::Result::NeedMore:
            break;
    }
    return Status::kNeedMore;
}

// Offers the unconsumed body bytes plus `piece`; keeps what is not consumed.
HttpReader::Status HttpReader::DeliverPiece(char* piece, int length, bool last) {
    if (length == 0 && !last) return Status::kNeedMore;
    const bool direct = collectedBegin_ == collected_.size();
    char* buffer = piece;
    int count = length;
    if (!direct) {
        collected_.insert(collected_.end(), piece, piece + length);
        const std::size_t held = collected_.size() - collectedBegin_;
        if (static_cast<std::int64_t>(held) > limits_.maxBufferedBytes)
            return Fail(Failure::kBodyTooBig);
        buffer = collected_.data() + collectedBegin_;
        count = static_cast<int>(held);
    }
    int used = 0;
    deliver_(owner_, packet_, count > 0 ? buffer : nullptr, &used, count, last ? -1 : 0);
    if (last) {
        collected_.clear();
        collectedBegin_ = 0;
        phase_ = Phase::kDone;
        return Status::kComplete;
    }
    used = std::clamp(used, 0, count);
    if (direct) {
        if (count - used > limits_.maxBufferedBytes) return Fail(Failure::kBodyTooBig);
        collected_.assign(buffer + used, buffer + count);
        collectedBegin_ = 0;
    } else {
        collectedBegin_ += static_cast<std::size_t>(used);
        if (collectedBegin_ == collected_.size()) {
            collected_.clear();
            collectedBegin_ = 0;
        } else if (collectedBegin_ > collected_.size() / 2) {
            collected_.erase(collected_.begin(),
                             collected_.begin() + static_cast<std::ptrdiff_t>(collectedBegin_));
            collectedBegin_ = 0;
        }
    }
    return Status::kNeedMore;
}

HttpReader::Status HttpReader::PeerClosed() {
    if (phase_ == Phase::kBody && body_ == Body::kUntilClose) return DeliverPiece(nullptr, 0, true);
    if (phase_ == Phase::kDone) return Status::kComplete;
    if (phase_ == Phase::kFailed) return Status::kFailed;
    if (phase_ == Phase::kHead && !begun_) return Status::kNeedMore;
    return Fail(Failure::kTruncated);
}

}  // namespace norvale::stack
