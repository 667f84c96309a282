#include "zip/ZipInternalInfo.h"

#include "zip/ZipException.h"

namespace norvale::zip {

void CZipInternalInfo::Begin(int entryMethod, std::uint64_t compressed,
                             std::uint64_t uncompressed) {
    End();
    if (!input.IsAllocated()) input.Allocate(kInputBufferSize);
    method = entryMethod;
    compressedLeft = compressed;
    uncompressedLeft = uncompressed;
    crc = 0;
    finished = false;
    computeCrc = true;
    stream = z_stream{};
    if (method == 8) {
        int result = inflateInit2(&stream, -MAX_WBITS);
        if (result != Z_OK) CZipException::Throw(result, "cannot start inflate");
        inflating_ = true;
    }
}

void CZipInternalInfo::Produced(const std::uint8_t* data, std::size_t n) {
    if (computeCrc) crc = static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(n)));
    uncompressedLeft -= n;
}

void CZipInternalInfo::End() {
    if (inflating_) inflateEnd(&stream);
    inflating_ = false;
    stream = z_stream{};
}

}  // namespace norvale::zip
