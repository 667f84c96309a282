#pragma once

// Local file header, little-endian (the entry's data follows it):
//   0 signature "PK\3\4"  4 version needed  6 flags  8 method
//  10 DOS time  12 DOS date  14 CRC-32  18 compressed size
//  22 uncompressed size  26 name length  28 extra length  30 name, extra
// Data descriptor after the data when flag bit 3 is set: optional signature
// "PK\7\b", CRC-32 (4), compressed size (4), uncompressed size (4); the sizes
// take 8 bytes each when the local extra field has a ZIP64 block.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "zip/AsyncFileWriter.h"
#include "zip/CentralDir.h"
#include "zip/DestFolder.h"
#include "zip/FileHeader.h"
#include "zip/ZipInternalInfo.h"
#include "zip/ZipStorage.h"

namespace norvale::zip {

// A ZIP archive opened for reading, with at most one entry open at a time.
// Errors throw CZipException; an index out of range throws
// std::invalid_argument. Not copyable.
class CZipArchive {
  public:
    CZipArchive() = default;
    ~CZipArchive() { Close(); }
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Opens the archive read-only and reads its central directory. False when
    // the file cannot be read or holds no end record; throws CZipException
    // when the archive is inconsistent.
    bool Open(const std::filesystem::path& path);
    // Drops an open entry, waits until every extracted file is written and
    // closed, then drops the directory and the archive file.
    void Close();
    bool IsOpen() const { return storage_.IsOpen(); }

    std::size_t GetCount() const { return directory_.Headers().size(); }
    const CFileHeader& GetFileInfo(std::size_t index) const;
    bool IsFolder(std::size_t index) const { return GetFileInfo(index).IsFolder(); }
    const CCentralDir& CentralDir() const { return directory_; }

    // Extracts one entry below `folder` (see CDestFolder) in chunks of
    // `bufferSize` bytes; a second thread creates and writes the file while
    // the next chunk is inflated. Throws on failure; a CRC-32 mismatch is
    // raised after all the data was written.
    void ExtractFile(std::size_t index, CDestFolder& folder, std::size_t bufferSize);
    // ExtractFile in two steps, so the next entry inflates while this one is
    // still being written. Throws what reading the entry finds; the result
    // (0 for a folder) goes to WaitExtracted, which waits for the file to be
    // written, checked against its CRC-32, stamped and closed, and throws
    // what went wrong there. `folder` must live until then; a different
    // `bufferSize` while files are pending throws kMisuse.
    std::uint64_t StartExtract(std::size_t index, CDestFolder& folder, std::size_t bufferSize);
    void WaitExtracted(std::uint64_t ticket);

    // Checks the local header and prepares the entry's data for ReadFile.
    void OpenFile(std::size_t index);
    // Fills up to `size` bytes of uncompressed data; a short count means the
    // entry's data is complete. Data beyond the declared size throws.
    std::size_t ReadFile(void* buffer, std::size_t size);
    // Checks the entry's size, CRC-32 (unless the caller computes it) and
    // data descriptor.
    void CloseFile();

  private:
    void CheckLocalHeader(const CFileHeader& header);
    void PrepareWriter(std::size_t chunk);
    void PumpEntry(CAsyncFileWriter& writer);
    void RefillInput();
    std::size_t ReadStored(std::uint8_t* out, std::size_t size);
    std::size_t ReadDeflated(std::uint8_t* out, std::size_t size);
    void ProbeForExcess();
    void CheckDataDescriptor(const CFileHeader& header);
    void AbortFile();

    CZipStorage storage_;
    CCentralDir directory_;
    CZipInternalInfo info_;
    std::ptrdiff_t openIndex_ = -1;             // entry being extracted, -1 none
    std::uint64_t dataStart_ = 0;               // archive position of its data
    bool zip64Descriptor_ = false;              // its descriptor has 8-byte sizes
    std::unique_ptr<CAsyncFileWriter> writer_;  // made by the first extraction after Open
    std::size_t outstanding_ = 0;               // tickets not yet waited for
    unsigned umask_ = 022;                      // the process's umask when opened
};

}  // namespace norvale::zip
