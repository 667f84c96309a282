#include "zip/CentralDir.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "zip/AutoBuffer.h"
#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

constexpr std::uint64_t kMaxComment = 65535;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;

}  // namespace

void CCentralDir::Clear() {
    *this = CCentralDir();
}

std::int64_t CCentralDir::FindEndRecord(CZipStorage& storage) {
    const std::uint64_t size = storage.Size();
    const std::uint64_t span = std::min<std::uint64_t>(size, kMaxComment + kEndRecordSize);
    const std::uint64_t lowest = size - span;
    CAutoBuffer block(kSearchBufferSize);
    // Blocks go backwards and overlap by 3 bytes so that a signature cut by
    // a block edge is still seen whole.
    std::uint64_t blockEnd = size;
    while (blockEnd > lowest) {
        std::uint64_t blockStart =
            blockEnd - std::min<std::uint64_t>(blockEnd - lowest, kSearchBufferSize);
        std::size_t length = static_cast<std::size_t>(blockEnd - blockStart);
        storage.Seek(blockStart);
        storage.Read(block.Data(), length);
        for (std::size_t i = length; i >= 4; --i) {
            if (Le32(block.Data() + i - 4) != kEndSignature) continue;
            std::uint64_t position = blockStart + i - 4;
            // The whole record and its comment must lie inside the file.
            if (position + kEndRecordSize > size) continue;
            std::uint8_t record[kEndRecordSize];
            storage.Seek(position);
            storage.Read(record, kEndRecordSize);
            if (position + kEndRecordSize + Le16(record + 20) > size) continue;
            return static_cast<std::int64_t>(position);
        }
        if (blockStart == lowest) break;
        blockEnd = blockStart + 3;
    }
    return -1;
}

bool CCentralDir::Read(CZipStorage& storage) {
    Clear();
    std::int64_t position = FindEndRecord(storage);
    if (position < 0) return false;
    endPosition_ = static_cast<std::uint64_t>(position);
    try {
        ReadEndRecord(storage);
        ReadHeaders(storage);
        CheckNoOverlap();
    } catch (...) {
        Clear();
        throw;
    }
    return true;
}

void CCentralDir::ReadEndRecord(CZipStorage& storage) {
    std::uint8_t r[kEndRecordSize];
    storage.Seek(endPosition_);
    storage.Read(r, kEndRecordSize);
    thisDisk_ = Le16(r + 4);
    directoryDisk_ = Le16(r + 6);
    entriesOnDisk_ = Le16(r + 8);
    totalEntries_ = Le16(r + 10);
    directorySize_ = Le32(r + 12);
    directoryOffset_ = Le32(r + 16);
    comment_.resize(Le16(r + 20));
    storage.Read(comment_.data(), comment_.size());

    const std::uint64_t directoryEnd = ReadZip64EndRecord(storage);
    if (thisDisk_ != 0 || directoryDisk_ != 0 || entriesOnDisk_ != totalEntries_)
        CZipException::Throw(CZipException::kUnsupported, "multi-volume archive");
    if (directorySize_ > directoryEnd || directoryOffset_ > directoryEnd - directorySize_)
        CZipException::Throw(CZipException::kBadZipFile, "end record inside the central directory");
    if ((directorySize_ == 0) != (totalEntries_ == 0))
        CZipException::Throw(CZipException::kBadZipFile,
                             "central directory size and entry count disagree");
    bytesBefore_ = directoryEnd - directorySize_ - directoryOffset_;
}

std::uint64_t CCentralDir::ReadZip64EndRecord(CZipStorage& storage) {
    constexpr std::size_t kLocatorSize = 20, kRecordSize = 56;
    if (endPosition_ < kLocatorSize + kRecordSize) return endPosition_;
    std::uint8_t locator[kLocatorSize];
    storage.Seek(endPosition_ - kLocatorSize);
    storage.Read(locator, kLocatorSize);
    if (Le32(locator) != kZip64LocatorSignature) return endPosition_;
    // The record normally sits right before the locator; its stored offset
    // does not count bytes in front of the archive.
    std::uint64_t position = endPosition_ - kLocatorSize - kRecordSize;
    std::uint8_t r[kRecordSize];
    storage.Seek(position);
    storage.Read(r, kRecordSize);
    if (Le32(r) != kZip64EndSignature) {
        const std::uint64_t stored = Le64(locator + 8);
        if (stored > position)
            CZipException::Throw(CZipException::kBadZipFile, "bad ZIP64 locator");
        position = stored;
        storage.Seek(position);
        storage.Read(r, kRecordSize);
        if (Le32(r) != kZip64EndSignature)
            CZipException::Throw(CZipException::kBadZipFile, "bad ZIP64 end record");
    }
    if (Le32(locator + 4) != 0 || Le32(locator + 16) > 1)
        CZipException::Throw(CZipException::kUnsupported, "multi-volume archive");
    thisDisk_ = Le32(r + 16);
    directoryDisk_ = Le32(r + 20);
    entriesOnDisk_ = Le64(r + 24);
    totalEntries_ = Le64(r + 32);
    directorySize_ = Le64(r + 40);
    directoryOffset_ = Le64(r + 48);
    return position;
}

void CCentralDir::ReadHeaders(CZipStorage& storage) {
    if (directorySize_ == 0) return;
    // The central directory lies between its offset and the end record, so
    // its size is bounded by the archive's.
    if (totalEntries_ > directorySize_ / CFileHeader::kFixedSize)
        CZipException::Throw(CZipException::kBadZipFile, "too many entries for the directory");
    CAutoBuffer directory(directorySize_);
    storage.Seek(directoryOffset_ + bytesBefore_);
    storage.Read(directory.Data(), directorySize_);
    headers_.reserve(totalEntries_);
    std::size_t at = 0;
    for (std::size_t i = 0; i < totalEntries_; ++i) {
        CFileHeader header;
        std::size_t consumed = 0;
        if (!header.Parse(directory.Data() + at, directorySize_ - at, &consumed))
            CZipException::Throw(CZipException::kBadZipFile, "bad central directory header");
        at += consumed;
        headers_.push_back(std::move(header));
    }
}

// Each entry's local header and data must lie before the next entry's and
// before the central directory: overlapping entries would let a small
// archive expand to many times its size.
void CCentralDir::CheckNoOverlap() const {
    std::vector<std::size_t> order(headers_.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return headers_[a].localHeaderOffset < headers_[b].localHeaderOffset;
    });
    for (std::size_t k = 0; k < order.size(); ++k) {
        const CFileHeader& h = headers_[order[k]];
        std::uint64_t end = h.localHeaderOffset + CFileHeader::kLocalHeaderSize + h.rawName.size();
        if (h.compressedSize > UINT64_MAX / 2 || end + h.compressedSize < end)
            CZipException::Throw(CZipException::kBadZipFile, "entry size out of range");
        end += h.compressedSize;
        std::uint64_t limit =
            k + 1 < order.size() ? headers_[order[k + 1]].localHeaderOffset : directoryOffset_;
        if (end > limit) CZipException::Throw(CZipException::kBadZipFile, "entries overlap");
    }
}

}  // namespace norvale::zip
