#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace norvale::zip {

// A read-only file with 64-bit positions (the archive). Owns its descriptor;
// not copyable. Reads and seeks report failure through their results, never
// by throwing.
class CBigFile {
  public:
    CBigFile() = default;
    ~CBigFile() { Close(); }
    CBigFile(const CBigFile&) = delete;
    CBigFile& operator=(const CBigFile&) = delete;

    // Opens `path` for reading; false (and closed) when it cannot be opened
    // or is not a regular file.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Size at opening time.
    std::uint64_t Size() const { return size_; }
    std::uint64_t Position() const { return position_; }
    // Moves to an absolute position; false beyond the end.
    bool Seek(std::uint64_t position);
    // Reads up to `length` bytes at the position and advances; returns the
    // count (short only at the end of the file), or -1 on an I/O error.
    std::int64_t Read(void* buffer, std::size_t length);

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace norvale::zip
