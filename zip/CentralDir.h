#pragma once

// End-of-central-directory record, little-endian, at the end of the archive:
//   0 signature "PK\5\6"   4 this disk   6 disk of the central directory
//   8 entries on this disk  10 total entries  12 central directory size
//  16 central directory offset  20 comment length  22 comment (<= 65535)
// The central directory (total entries x CFileHeader) ends where the record
// starts; bytes in front of the archive shift every stored offset.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zip/FileHeader.h"
#include "zip/ZipStorage.h"

namespace norvale::zip {

// The archive's table of contents. Read() throws CZipException; a failed
// Read leaves the directory empty.
class CCentralDir {
  public:
    static constexpr std::size_t kEndRecordSize = 22;
    static constexpr std::size_t kSearchBufferSize = 32768;
    static constexpr std::uint32_t kEndSignature = 0x06054b50;

    // Finds and checks the end record and reads every central header.
    // Returns false when no end record exists (not a ZIP archive); throws
    // kBadZipFile for an inconsistent one, kUnsupported for multi-volume
    // or ZIP64 archives.
    bool Read(CZipStorage& storage);
    void Clear();

    // Position of the end record, or -1 when there is none.
    static std::int64_t FindEndRecord(CZipStorage& storage);

    const std::vector<CFileHeader>& Headers() const { return headers_; }
    std::uint64_t BytesBefore() const { return bytesBefore_; }
    const std::string& Comment() const { return comment_; }
    std::uint64_t EndRecordPosition() const { return endPosition_; }

  private:
    void ReadEndRecord(CZipStorage& storage);
    void ReadHeaders(CZipStorage& storage);
    void CheckNoOverlap() const;

    std::uint16_t thisDisk_ = 0;
    std::uint16_t directoryDisk_ = 0;
    std::uint16_t entriesOnDisk_ = 0;
    std::uint16_t totalEntries_ = 0;
    std::uint32_t directorySize_ = 0;
    std::uint32_t directoryOffset_ = 0;
    std::string comment_;
    std::uint64_t endPosition_ = 0;
    std::uint64_t bytesBefore_ = 0;
    std::vector<CFileHeader> headers_;
};

}  // namespace norvale::zip
