#pragma once

// End-of-central-directory record, little-endian, at the end of the archive:
//   0 signature "PK\5\6"   4 this disk   6 disk of the central directory
//   8 entries on this disk  10 total entries  12 central directory size
//  16 central directory offset  20 comment length  22 comment (<= 65535)
// The central directory (total entries x CFileHeader) ends where the record
// starts; bytes in front of the archive shift every stored offset.
// ZIP64: a locator (20 bytes) right before the end record: "PK\6\7", disk
// (4), offset of the ZIP64 end record (8), disks (4). ZIP64 end record:
//   0 "PK\6\6"  4 record size (8)  12 made by  14 needed  16 this disk (4)
//  20 directory disk (4)  24 entries on disk (8)  32 total entries (8)
//  40 directory size (8)  48 directory offset (8); the directory ends there.

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
    // archives.
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
    // Reads the ZIP64 end record when a locator precedes the end record;
    // returns where the central directory must end.
    std::uint64_t ReadZip64EndRecord(CZipStorage& storage);
    void ReadHeaders(CZipStorage& storage);
    void CheckNoOverlap() const;

    std::uint32_t thisDisk_ = 0;
    std::uint32_t directoryDisk_ = 0;
    std::uint64_t entriesOnDisk_ = 0;
    std::uint64_t totalEntries_ = 0;
    std::uint64_t directorySize_ = 0;
    std::uint64_t directoryOffset_ = 0;
    std::string comment_;
    std::uint64_t endPosition_ = 0;
    std::uint64_t bytesBefore_ = 0;
    std::vector<CFileHeader> headers_;
};

}  // namespace norvale::zip
