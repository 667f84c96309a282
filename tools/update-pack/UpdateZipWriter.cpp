// Archive layout written (little-endian, PKWARE application note):
//   per file:  local header (30 bytes) | name | deflated data
//              local header: "PK\3\4", version 20, flags 0x0800 (UTF-8
//              names), method 8, DOS time, date, CRC-32, compressed size,
//              size, name length, extra length 0
//   then:      central header (46 bytes) | name, per file: "PK\1\2", made by
//              Unix (3 << 8 | 20), version 20, the same fields, external
//              attributes = (regular file | permission bits) << 16, offset
//   end:       "PK\5\6", disks 0, entries, entries, central size, offset, 0
#include "tools/update-pack/UpdateZipWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <set>

#include "common/FileWriting.h"
#include "zip/UniqueFd.h"

namespace norvale::updatepack {
namespace {

using zip::CUniqueFd;

constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint64_t kMaxSize = 0xFFFFFFFEull;
constexpr std::size_t kMaxEntries = 0xFFFF;

struct Entry {
    std::string name;
    std::uint32_t crc = 0;
    std::uint32_t compressed = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t mode = 0;
};

void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The fields local and central headers share, from the flags to the name length.
void PutEntryFields(std::string& header, const Entry& entry) {
    Put16(header, 0x0800);
    Put16(header, 8);
    Put16(header, entry.time);
    Put16(header, entry.date);
    Put32(header, entry.crc);
    Put32(header, entry.compressed);
    Put32(header, entry.size);
    Put16(header, static_cast<std::uint32_t>(entry.name.size()));
}

std::string LocalHeader(const Entry& entry) {
    std::string header;
    Put32(header, 0x04034B50);
    Put16(header, 20);
    PutEntryFields(header, entry);
    Put16(header, 0);  // extra
    return header + entry.name;
}

std::string CentralHeader(const Entry& entry) {
    std::string header;
    Put32(header, 0x02014B50);
    Put16(header, (3 << 8) | 20);
    Put16(header, 20);
    PutEntryFields(header, entry);
    for (int i = 0; i < 4; ++i) Put16(header, 0);  // extra, comment, disk, internal
    Put32(header, (S_IFREG | (entry.mode & 0777)) << 16);
    Put32(header, entry.offset);
    return header + entry.name;
}

void SetDosTime(std::time_t when, Entry* entry) {
    std::tm local{};
    ::localtime_r(&when, &local);
    if (local.tm_year < 80) local = std::tm{0, 0, 0, 1, 0, 80, 0, 0, 0, 0, nullptr};
    entry->time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                             (local.tm_sec / 2));
    entry->date = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) |
                                             ((local.tm_mon + 1) << 5) | local.tm_mday);
}

// Deflates the file into the archive after its header; fills in the sizes.
bool Deflate(int from, int to, Entry* entry, std::uint64_t* written) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return false;
    std::string in(kChunk, '\0'), out(kChunk, '\0');
    std::uint64_t size = 0, compressed = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool ok = true;
    for (int flush = Z_NO_FLUSH; ok && flush != Z_FINISH;) {
        const ssize_t got = ::read(from, in.data(), in.size());
        if (got < 0) ok = false;
        if (got <= 0) flush = Z_FINISH;
        size += static_cast<std::uint64_t>(std::max<ssize_t>(got, 0));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()),
                    static_cast<uInt>(std::max<ssize_t>(got, 0)));
        stream.next_in = reinterpret_cast<Bytef*>(in.data());
        stream.avail_in = static_cast<uInt>(std::max<ssize_t>(got, 0));
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            const std::size_t produced = out.size() - stream.avail_out;
            compressed += produced;
            ok = ok && common::WriteAll(to, out.data(), produced);
        } while (ok && stream.avail_out == 0);
    }
    deflateEnd(&stream);
    if (!ok || size > kMaxSize || compressed > kMaxSize) return false;
    entry->crc = static_cast<std::uint32_t>(crc);
    entry->size = static_cast<std::uint32_t>(size);
    entry->compressed = static_cast<std::uint32_t>(compressed);
    *written += compressed;
    return true;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool UpdateZipWriter::Write(const std::string& archivePath, const std::vector<std::string>& paths,
                            std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        ::unlink(archivePath.c_str());
        return false;
    };
    if (paths.empty() || paths.size() > kMaxEntries) return fail("give 1 to 65535 files");
    const CUniqueFd out(
        ::open(archivePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.IsValid()) return fail(archivePath + ": cannot be written");
    std::vector<Entry> entries;
    std::set<std::string> names;
    std::uint64_t offset = 0;
    for (const std::string& path : paths) {
        const CUniqueFd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (!in.IsValid() || ::fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode))
            return fail(path + ": not a readable file");
        Entry entry{BaseName(path)};
        if (entry.name.empty() || !names.insert(entry.name).second)
            return fail(path + ": a second file named " + entry.name);
        entry.mode = info.st_mode & 0777;
        entry.offset = static_cast<std::uint32_t>(offset);
        SetDosTime(info.st_mtime, &entry);
        // The header is written again once the sizes and the CRC are known.
        const std::string placeholder = LocalHeader(entry);
        offset += placeholder.size();
        if (!common::WriteAll(out.Get(), placeholder.data(), placeholder.size()) ||
            !Deflate(in.Get(), out.Get(), &entry, &offset))
            return fail(path + ": cannot be archived (unreadable, or 4 GiB or more)");
        const std::string header = LocalHeader(entry);
        if (::pwrite(out.Get(), header.data(), header.size(), static_cast<off_t>(entry.offset)) !=
            static_cast<ssize_t>(header.size()))
            return fail(archivePath + ": cannot be written");
        if (offset > kMaxSize) return fail("the archive would reach 4 GiB");
        entries.push_back(entry);
    }
    std::string directory;
    for (const Entry& entry : entries) directory += CentralHeader(entry);
    std::string end;
    Put32(end, 0x06054B50);
    Put32(end, 0);
    Put16(end, static_cast<std::uint32_t>(entries.size()));
    Put16(end, static_cast<std::uint32_t>(entries.size()));
    Put32(end, static_cast<std::uint32_t>(directory.size()));
    Put32(end, static_cast<std::uint32_t>(offset));
    Put16(end, 0);
    directory += end;
    if (!common::WriteAll(out.Get(), directory.data(), directory.size()) || ::fsync(out.Get()) != 0)
        return fail(archivePath + ": cannot be written");
    return true;
}

}  // namespace norvale::updatepack
