#pragma once

// Decoder of the HTTP chunked transfer coding, fed the bytes that follow the
// header block:
//
//   body       = *chunk last-chunk trailer CRLF
//   chunk      = size-line data CRLF
//   size-line  = 1*HEX [ ";" extension ] CRLF        (a bare LF is accepted too)
//   last-chunk = 1*"0" [ ";" extension ] CRLF
//   trailer    = *( header-line CRLF )
//
// Hard limits: a size of at most 15 hex digits and at most kMaxChunkSize,
// a size line of at most kMaxLineBytes, a trailer of at most kMaxTrailerBytes.
// Once failed, the decoder stays failed until Reset().

#include <cstddef>
#include <cstdint>

namespace norvale::stack {

class ChunkedDecoder {
  public:
    static constexpr std::int64_t kMaxChunkSize = std::int64_t{1} << 40;
    static constexpr int kMaxLineBytes = 4096;
    static constexpr int kMaxTrailerBytes = 8192;

    enum class Result {
        NeedMore,  // every byte offered was used; feed more
        Data,      // a piece of chunk data is ready (it lies inside the input)
        Done,      // the last chunk and the trailer have been read
        Failed,    // malformed or over a limit; permanent
    };

    // Reads from data[0, length). Sets *consumed to the bytes used (data bytes
    // of a returned piece included). On Data, *piece / *pieceLength point at
    // chunk bytes inside `data`; call again with the rest of the input.
    Result Feed(const char* data, std::size_t length, std::size_t* consumed, const char** piece,
                std::size_t* pieceLength);

    void Reset();
    bool IsFailed() const { return state_ == State::Failed; }
    bool IsDone() const { return state_ == State::Done; }

  private:
    enum class State {
        SizeDigits,
        SizeExtension,
        SizeLf,
        Data,
        DataCr,
        DataLf,
        Trailer,
        Done,
        Failed
    };

    Result Fail();
    bool SizeByte(char c);

    State state_ = State::SizeDigits;
    std::int64_t size_ = 0;       // value of the size line being read
    int digits_ = 0;              // hex digits seen in the size line
    int lineBytes_ = 0;           // bytes of the current size line
    std::int64_t remaining_ = 0;  // data bytes left in the current chunk
    int trailerBytes_ = 0;
    int trailerLineBytes_ = 0;  // bytes of the current trailer line, CR not counted
};

}  // namespace norvale::stack
