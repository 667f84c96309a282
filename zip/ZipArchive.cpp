#include "zip/ZipArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

[[noreturn]] void ThrowBad(const char* what) {
    CZipException::Throw(CZipException::kBadZipFile, what);
}

// What an extracted file takes from its header once its data is complete.
struct FileStamp {
    std::time_t modified;
    int permissions;  // -1: none stored
    bool readOnly;
};

FileStamp StampOf(const CFileHeader& header) {
    return {header.ModificationTime(), header.UnixPermissions(), header.IsReadOnly()};
}

// Modification time from the DOS date and time; permissions rwx only, so an
// archive cannot make a setuid program. The entry stays extracted whatever
// these calls return.
void StampFile(int fd, const FileStamp& stamp) noexcept {
    struct timespec times[2] = {{0, UTIME_NOW}, {stamp.modified, 0}};
    (void)::futimens(fd, times);
    if (stamp.permissions >= 0) {
        (void)::fchmod(fd, static_cast<mode_t>(stamp.permissions));
    } else if (stamp.readOnly) {
        struct stat st {};
        if (::fstat(fd, &st) == 0) (void)::fchmod(fd, st.st_mode & 0555);
    }
}

}  // namespace

bool CZipArchive::Open(const std::filesystem::path& path) {
    Close();
    if (!storage_.Open(path)) return false;
    try {
        if (directory_.Read(storage_)) return true;
    } catch (...) {
        storage_.Close();
        throw;
    }
    storage_.Close();
    return false;
}

void CZipArchive::Close() {
    AbortFile();
    writer_.reset();  // writes and closes what is queued; unclaimed outcomes go
    outstanding_ = 0;
    directory_.Clear();
    storage_.Close();
}

const CFileHeader& CZipArchive::GetFileInfo(std::size_t index) const {
    if (index >= GetCount()) throw std::invalid_argument("entry index out of range");
    return directory_.Headers()[index];
}

void CZipArchive::ExtractFile(std::size_t index, CDestFolder& folder, std::size_t bufferSize) {
    WaitExtracted(StartExtract(index, folder, bufferSize));
}

std::uint64_t CZipArchive::StartExtract(std::size_t index, CDestFolder& folder,
                                        std::size_t bufferSize) {
    if (bufferSize == 0) throw std::invalid_argument("buffer size 0");
    const CFileHeader& header = GetFileInfo(index);
    std::vector<std::string> parts;
    if (!CDestFolder::SplitName(header.Name(), &parts))
        CZipException::Throw(CZipException::kUnsafeEntry, "name leaves the destination folder");
    if (header.IsSymlink()) CZipException::Throw(CZipException::kUnsafeEntry, "symlink entry");
    if (header.IsFolder()) {
        folder.MakeFolder(parts, header.UnixPermissions());
        return 0;
    }
    PrepareWriter(std::min<std::size_t>(bufferSize, 1u << 30));
    OpenFile(index);
    std::uint64_t ticket = 0;
    try {
        // The writer thread creates the file while the first chunk inflates.
        ticket = writer_->BeginFile([&folder, parts] { return folder.CreateFile(parts); });
        info_.computeCrc = false;  // the writer computes it
        PumpEntry(*writer_);
        if (writer_->Failed())
            AbortFile();  // WaitExtracted reports why
        else
            CloseFile();
    } catch (...) {
        if (ticket != 0) {
            writer_->EndFile({});
            writer_->WaitFile(ticket);  // nothing queued may outlive `folder`
        }
        AbortFile();
        throw;
    }
    writer_->EndFile([expected = header.crc32, stamp = StampOf(header)](int fd, std::uint32_t crc) {
        if (crc != expected) CZipException::Throw(CZipException::kBadCrc, "CRC-32 differs");
        StampFile(fd, stamp);
    });
    ++outstanding_;
    return ticket;
}

void CZipArchive::WaitExtracted(std::uint64_t ticket) {
    if (ticket == 0) return;
    if (!writer_) CZipException::Throw(CZipException::kMisuse, "archive closed meanwhile");
    --outstanding_;
    writer_->WaitFile(ticket);
}

void CZipArchive::PrepareWriter(std::size_t chunk) {
    if (writer_ && writer_->BufferSize() == chunk) return;
    if (outstanding_ > 0)
        CZipException::Throw(CZipException::kMisuse, "files of another buffer size are pending");
    writer_ = std::make_unique<CAsyncFileWriter>(chunk);
}

// Stops early when the writer cannot take the entry.
void CZipArchive::PumpEntry(CAsyncFileWriter& writer) {
    for (;;) {
        if (writer.Failed()) return;
        std::uint8_t* buffer = writer.AcquireBuffer();
        std::size_t n = 0;
        try {
            n = ReadFile(buffer, writer.BufferSize());
        } catch (...) {
            writer.Submit(buffer, 0);
            throw;
        }
        writer.Submit(buffer, n);
        if (n < writer.BufferSize()) return;
    }
}

void CZipArchive::OpenFile(std::size_t index) {
    const CFileHeader& header = GetFileInfo(index);
    if (openIndex_ >= 0) CZipException::Throw(CZipException::kMisuse, "another entry is open");
    if (header.IsEncrypted()) CZipException::Throw(CZipException::kUnsupported, "encrypted entry");
    if (header.method != 0 && header.method != 8) ThrowBad("unsupported compression method");
    CheckLocalHeader(header);
    if (header.method == 0 && header.compressedSize != header.uncompressedSize)
        CZipException::Throw(CZipException::kSizeMismatch, "stored sizes differ");
    info_.Begin(header.method, header.compressedSize, header.uncompressedSize);
    openIndex_ = static_cast<std::ptrdiff_t>(index);
}

void CZipArchive::CheckLocalHeader(const CFileHeader& header) {
    const std::uint64_t position = header.localHeaderOffset + directory_.BytesBefore();
    std::uint8_t local[CFileHeader::kLocalHeaderSize];
    storage_.Seek(position);
    storage_.Read(local, CFileHeader::kLocalHeaderSize);
    if (Le32(local) != kLocalSignature) ThrowBad("bad local header signature");
    if (Le16(local + 8) != header.method) ThrowBad("local header method differs");
    if (Le16(local + 26) != header.rawName.size()) ThrowBad("local header name differs");
    std::string extra(Le16(local + 28), '\0');
    storage_.Seek(position + CFileHeader::kLocalHeaderSize + header.rawName.size());
    storage_.Read(extra.data(), extra.size());
    const std::uint8_t* block = nullptr;
    std::size_t blockSize = 0;
    zip64Descriptor_ = FindExtraBlock(extra, 0x0001, &block, &blockSize);
    std::uint64_t uncompressed = Le32(local + 22), compressed = Le32(local + 18);
    if ((Le16(local + 6) & 0x0008) == 0) {
        if (!ApplyZip64(extra, &uncompressed, &compressed, nullptr) ||
            Le32(local + 14) != header.crc32 || compressed != header.compressedSize ||
            uncompressed != header.uncompressedSize)
            ThrowBad("local header sizes or CRC differ");
    }
    dataStart_ = storage_.Position();
    if (header.compressedSize > storage_.Size() - dataStart_) ThrowBad("entry data beyond the end");
}

std::size_t CZipArchive::ReadFile(void* buffer, std::size_t size) {
    if (openIndex_ < 0) CZipException::Throw(CZipException::kMisuse, "no entry is open");
    auto* out = static_cast<std::uint8_t*>(buffer);
    return info_.method == 0 ? ReadStored(out, size) : ReadDeflated(out, size);
}

std::size_t CZipArchive::ReadStored(std::uint8_t* out, std::size_t size) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, info_.uncompressedLeft));
    storage_.Read(out, n);
    info_.Produced(out, n);
    info_.compressedLeft -= n;
    if (info_.uncompressedLeft == 0) info_.finished = true;
    return n;
}

void CZipArchive::RefillInput() {
    std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(info_.input.Size(), info_.compressedLeft));
    storage_.Read(info_.input.Data(), n);
    info_.compressedLeft -= n;
    info_.stream.next_in = info_.input.Data();
    info_.stream.avail_in = static_cast<uInt>(n);
}

std::size_t CZipArchive::ReadDeflated(std::uint8_t* out, std::size_t size) {
    z_stream& s = info_.stream;
    std::size_t produced = 0;
    while (produced < size && !info_.finished) {
        if (info_.uncompressedLeft == 0) {
            // The declared bytes go out first; CloseFile probes as well.
            if (produced == 0) ProbeForExcess();
            break;
        }
        if (s.avail_in == 0 && info_.compressedLeft > 0) RefillInput();
        const std::size_t room = static_cast<std::size_t>(
            std::min<std::uint64_t>({size - produced, info_.uncompressedLeft, 1u << 30}));
        s.next_out = out + produced;
        s.avail_out = static_cast<uInt>(room);
        const uInt inBefore = s.avail_in;
        int result = inflate(&s, Z_NO_FLUSH);
        const std::size_t n = room - s.avail_out;
        info_.Produced(out + produced, n);
        produced += n;
        if (result == Z_STREAM_END) {
            info_.finished = true;
        } else if (result != Z_OK) {
            CZipException::Throw(result, result == Z_BUF_ERROR ? "compressed data ends early"
                                                               : "bad compressed data");
        } else if (n == 0 && s.avail_in == inBefore) {
            CZipException::Throw(Z_BUF_ERROR, "inflate makes no progress");
        }
    }
    return produced;
}

// Every declared byte was produced: the stream must end here. One byte more
// means the entry is longer than its central header says.
void CZipArchive::ProbeForExcess() {
    z_stream& s = info_.stream;
    std::uint8_t extra = 0;
    while (!info_.finished) {
        if (s.avail_in == 0 && info_.compressedLeft > 0) RefillInput();
        s.next_out = &extra;
        s.avail_out = 1;
        const uInt inBefore = s.avail_in;
        int result = inflate(&s, Z_NO_FLUSH);
        if (s.avail_out == 0)
            CZipException::Throw(CZipException::kSizeMismatch, "more data than declared");
        if (result == Z_STREAM_END) {
            info_.finished = true;
        } else if (result != Z_OK) {
            CZipException::Throw(result, "compressed data ends early");
        } else if (s.avail_in == inBefore) {
            CZipException::Throw(Z_BUF_ERROR, "inflate makes no progress");
        }
    }
}

void CZipArchive::CloseFile() {
    if (openIndex_ < 0) CZipException::Throw(CZipException::kMisuse, "no entry is open");
    const CFileHeader& header = directory_.Headers()[static_cast<std::size_t>(openIndex_)];
    try {
        if (info_.method == 8 && info_.uncompressedLeft == 0) ProbeForExcess();
        if (info_.uncompressedLeft != 0)
            CZipException::Throw(CZipException::kSizeMismatch, "less data than declared");
        if (info_.computeCrc && info_.crc != header.crc32)
            CZipException::Throw(CZipException::kBadCrc, "CRC-32 differs");
        info_.End();
        if (header.HasDataDescriptor()) CheckDataDescriptor(header);
    } catch (...) {
        AbortFile();
        throw;
    }
    openIndex_ = -1;
}

// After the data: optional signature, CRC-32, then both sizes in 4 bytes,
// or in 8 bytes when the local header carries a ZIP64 block.
void CZipArchive::CheckDataDescriptor(const CFileHeader& header) {
    std::uint8_t d[20];
    const std::size_t length = zip64Descriptor_ ? 20 : 12;
    storage_.Seek(dataStart_ + header.compressedSize);
    storage_.Read(d, 4);
    if (Le32(d) != kDescriptorSignature) storage_.Seek(dataStart_ + header.compressedSize);
    storage_.Read(d, length);
    const std::uint64_t compressed = zip64Descriptor_ ? Le64(d + 4) : Le32(d + 4);
    const std::uint64_t uncompressed = zip64Descriptor_ ? Le64(d + 12) : Le32(d + 8);
    if (Le32(d) != header.crc32 || compressed != header.compressedSize ||
        uncompressed != header.uncompressedSize)
        ThrowBad("data descriptor differs from the central header");
}

void CZipArchive::AbortFile() {
    info_.End();
    info_.finished = true;
    openIndex_ = -1;
}

}  // namespace norvale::zip
