#include "upnp/stack/ChunkedDecoder.h"

#include <algorithm>

namespace norvale::stack {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void ChunkedDecoder::Reset() {
    *this = ChunkedDecoder();
}

ChunkedDecoder::Result ChunkedDecoder::Fail() {
    state_ = State::Failed;
    return Result::Failed;
}

// One byte of a size line. Returns false when the line is malformed.
bool ChunkedDecoder::SizeByte(char c) {
    if (++lineBytes_ > kMaxLineBytes) return false;
    switch (state_) {
        case State::SizeDigits: {
            const int value = HexValue(c);
            if (value >= 0) {
                if (++digits_ > 15) return false;
                size_ = size_ * 16 + value;
                return size_ <= kMaxChunkSize;
            }
            if (digits_ == 0) return false;
            if (c == ';' || c == ' ' || c == '\t') {
                state_ = State::SizeExtension;
            } else if (c == '\r') {
                state_ = State::SizeLf;
            } else if (c == '\n') {
                state_ = State::SizeLf;
                return SizeByte('\n');
            } else {
                return false;
            }
            return true;
        }
        case State::SizeExtension:
            if (c == '\n') {
                state_ = State::SizeLf;
                --lineBytes_;
                return SizeByte('\n');
            }
            return true;
        case State::SizeLf:
            if (c != '\n') return false;
            lineBytes_ = 0;
            digits_ = 0;
            remaining_ = size_;
            size_ = 0;
            state_ = remaining_ == 0 ? State::Trailer : State::Data;
            return true;
        default:
            return false;
    }
}

ChunkedDecoder::Result ChunkedDecoder::Feed(const char* data, std::size_t length,
                                            std::size_t* consumed, const char** piece,
                                            std::size_t* pieceLength) {
    std::size_t at = 0;
    *piece = nullptr;
    *pieceLength = 0;
    while (at < length) {
        const char c = data[at];
        switch (state_) {
            case State::SizeDigits:
            case State::SizeExtension:
            case State::SizeLf:
                ++at;
                if (!SizeByte(c)) {
                    *consumed = at;
                    return Fail();
                }
                break;
            case State::Data: {
                const auto take = static_cast<std::size_t>(
                    std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(length - at)));
                *piece = data + at;
                *pieceLength = take;
                remaining_ -= static_cast<std::int64_t>(take);
                if (remaining_ == 0) state_ = State::DataCr;
                *consumed = at + take;
                return Result::Data;
            }
            case State::DataCr:
                ++at;
                if (c == '\r') {
                    state_ = State::DataLf;
                } else if (c == '\n') {
                    state_ = State::SizeDigits;
                } else {
                    *consumed = at;
                    return Fail();
                }
                break;
            case State::DataLf:
                ++at;
                if (c != '\n') {
                    *consumed = at;
                    return Fail();
                }
                state_ = State::SizeDigits;
                break;
            case State::Trailer:
                ++at;
                if (++trailerBytes_ > kMaxTrailerBytes) {
                    *consumed = at;
                    return Fail();
                }
                if (c == '\n') {
                    if (trailerLineBytes_ == 0) {
                        state_ = State::Done;
                        *consumed = at;
                        return Result::Done;
                    }
                    trailerLineBytes_ = 0;
                } else if (c != '\r') {
                    ++trailerLineBytes_;
                }
                break;
            case State::Done:
                *consumed = at;
                return Result::Done;
            case State::Failed:
                *consumed = at;
                return Result::Failed;
        }
    }
    *consumed = at;
    if (state_ == State::Done) return Result::Done;
    if (state_ == State::Failed) return Result::Failed;
    return Result::NeedMore;
}

}  // namespace norvale::stack
