#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "zip/BigFile.h"

namespace norvale::zip {

// The archive file as the reader sees it: exact reads that throw
// CZipException (kBadZipFile when the archive ends early, Z_ERRNO on an I/O
// error). Owns its CBigFile; not copyable.
class CZipStorage {
  public:
    CZipStorage() = default;
    CZipStorage(const CZipStorage&) = delete;
    CZipStorage& operator=(const CZipStorage&) = delete;

    // False when the file cannot be opened for reading.
    bool Open(const std::filesystem::path& path) { return file_.Open(path); }
    void Close() { file_.Close(); }
    bool IsOpen() const { return file_.IsOpen(); }

    std::uint64_t Size() const { return file_.Size(); }
    std::uint64_t Position() const { return file_.Position(); }
    // Throws kBadZipFile when `position` lies beyond the end.
    void Seek(std::uint64_t position);
    // Reads exactly `length` bytes or throws.
    void Read(void* buffer, std::size_t length);
    // Reads up to `length` bytes; the count is short only at the end.
    std::size_t ReadSome(void* buffer, std::size_t length);

  private:
    CBigFile file_;
};

// Little-endian field readers for the archive's records.
inline std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Le64(const std::uint8_t* p) {
    return std::uint64_t{Le32(p)} | (std::uint64_t{Le32(p + 4)} << 32);
}

}  // namespace norvale::zip
