#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "zip/AutoBuffer.h"

namespace norvale::zip {

// Decompression state of the entry being extracted: the raw-inflate stream,
// the compressed input buffer and the counters. Owned by CZipArchive; not
// copyable. Begin() throws CZipException with zlib's code on failure.
class CZipInternalInfo {
  public:
    // Large enough that reading the archive costs few system calls.
    static constexpr std::size_t kInputBufferSize = 256 * 1024;

    CZipInternalInfo() = default;
    ~CZipInternalInfo() { End(); }
    CZipInternalInfo(const CZipInternalInfo&) = delete;
    CZipInternalInfo& operator=(const CZipInternalInfo&) = delete;

    // Starts an entry: method 8 sets up raw inflate (window bits -15).
    void Begin(int method, std::uint64_t compressed, std::uint64_t uncompressed);
    // Ends the inflate stream if one is running.
    void End();
    // Counts `n` bytes of the entry handed out at `data`: fewer left to
    // produce, and the CRC-32 over them unless the caller computes it.
    void Produced(const std::uint8_t* data, std::size_t n);

    z_stream stream{};
    CAutoBuffer input;
    int method = 0;
    std::uint64_t compressedLeft = 0;    // still in the archive, not yet read
    std::uint64_t uncompressedLeft = 0;  // still to be produced
    std::uint32_t crc = 0;               // over the bytes produced so far
    bool finished = false;               // the entry's data is complete
    bool computeCrc = true;              // false: the caller computes `crc`

  private:
    bool inflating_ = false;
};

}  // namespace norvale::zip
