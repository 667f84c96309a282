#pragma once

// Central directory file header, little-endian:
//   0 signature "PK\1\2"      4 version made by (high byte: host, 3 = Unix)
//   6 version needed          8 flags (bit 0 encrypted, bit 3 data descriptor,
//                                      bit 11 UTF-8 name)
//  10 method (0, 8)          12 DOS time            14 DOS date
//  16 CRC-32                 20 compressed size     24 uncompressed size
//  28 name length            30 extra length        32 comment length
//  34 disk number start      36 internal attributes
//  38 external attributes (low byte: DOS attributes, 0x10 folder;
//                          high 16 bits: Unix mode when made on Unix)
//  42 local header offset    46 name, extra field, comment
// Extra field: blocks of tag (2), size (2), data. Tag 0x7075 (Unicode path):
// version (1) = 1, CRC-32 of the stored name (4), UTF-8 name. Tag 0x0001
// (ZIP64): 8-byte uncompressed size, compressed size, local header offset,
// in that order, each present only when its 4-byte field is 0xFFFFFFFF.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace norvale::zip {

// One entry of the central directory, as read from the archive.
class CFileHeader {
  public:
    static constexpr std::size_t kFixedSize = 46;
    // The fixed part of the local header that stands before each entry's data.
    static constexpr std::size_t kLocalHeaderSize = 30;
    static constexpr std::uint32_t kSignature = 0x02014b50;

    // Reads one header from `data`; false when the signature is wrong, the
    // header does not fit in `length` or a ZIP64 value it announces is
    // missing. On success `*consumed` is its size.
    bool Parse(const std::uint8_t* data, std::size_t length, std::size_t* consumed);

    // The name as UTF-8: the Unicode path extra field when it matches the
    // stored name, else the stored bytes as UTF-8 (flag bit 11, or valid
    // UTF-8 from an archive made on Unix) or CP437.
    std::string Name() const;
    // Folder: DOS folder attribute, Unix folder mode, or a name ending in a
    // slash or backslash.
    bool IsFolder() const;
    // True when made on Unix with the mode of a symlink. Other special types
    // (a pipe zip read from stdin) are extracted as regular files.
    bool IsSymlink() const;
    // Unix permission bits (rwx for owner, group, others) when made on Unix,
    // else -1.
    int UnixPermissions() const;
    bool IsReadOnly() const { return (externalAttributes & 0x01) != 0; }
    bool HasDataDescriptor() const { return (flags & 0x0008) != 0; }
    bool IsEncrypted() const { return (flags & 0x0001) != 0; }
    // The DOS date and time as local time.
    std::time_t ModificationTime() const;

    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;  // from the ZIP64 extra field when needed
    std::uint64_t uncompressedSize = 0;
    std::uint16_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localHeaderOffset = 0;
    std::string rawName;  // the stored 8-bit bytes
    std::string extra;
    std::string comment;

  private:
    bool MadeOnUnix() const { return (versionMadeBy >> 8) == 3; }
    unsigned UnixType() const { return (externalAttributes >> 16) & 0170000u; }
    bool UnicodePathName(std::string* name) const;
};

// Finds the extra-field block `tag` in `extra`; false when absent or when
// the blocks do not fit. `*data`/`*size` point at the block's contents.
bool FindExtraBlock(const std::string& extra, unsigned tag, const std::uint8_t** data,
                    std::size_t* size);
// Replaces each of the three values that reads 0xFFFFFFFF with the next
// 8-byte value of a ZIP64 block; false when the block is missing or short.
bool ApplyZip64(const std::string& extra, std::uint64_t* uncompressed, std::uint64_t* compressed,
                std::uint64_t* offset);

// Converts 8-bit text: `utf8` keeps valid UTF-8 as it is; anything else is
// read as CP437.
std::string DecodeEntryName(const std::string& bytes, bool utf8);
bool IsValidUtf8(const std::string& bytes);

}  // namespace norvale::zip
