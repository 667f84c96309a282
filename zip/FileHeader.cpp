#include "zip/FileHeader.h"

#include <zlib.h>

#include "zip/ZipStorage.h"

namespace norvale::zip {
namespace {

// Code points of CP437 bytes 0x80..0xFF.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size(), i = 0;
    while (i < n) {
        unsigned c = p[i];
        std::size_t more = 0;
        char32_t cp = c;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= more) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

std::string DecodeEntryName(const std::string& bytes, bool utf8) {
    if (utf8 && IsValidUtf8(bytes)) return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) AppendUtf8(&out, c < 0x80 ? c : kCp437High[c - 0x80]);
    return out;
}

bool CFileHeader::Parse(const std::uint8_t* data, std::size_t length, std::size_t* consumed) {
    if (length < kFixedSize || Le32(data) != kSignature) return false;
    std::size_t nameLength = Le16(data + 28), extraLength = Le16(data + 30),
                commentLength = Le16(data + 32);
    std::size_t total = kFixedSize + nameLength + extraLength + commentLength;
    if (total > length) return false;
    versionMadeBy = Le16(data + 4);
    versionNeeded = Le16(data + 6);
    flags = Le16(data + 8);
    method = Le16(data + 10);
    dosTime = Le16(data + 12);
    dosDate = Le16(data + 14);
    crc32 = Le32(data + 16);
    compressedSize = Le32(data + 20);
    uncompressedSize = Le32(data + 24);
    diskStart = Le16(data + 34);
    internalAttributes = Le16(data + 36);
    externalAttributes = Le32(data + 38);
    localHeaderOffset = Le32(data + 42);
    const char* text = reinterpret_cast<const char*>(data + kFixedSize);
    rawName.assign(text, nameLength);
    extra.assign(text + nameLength, extraLength);
    comment.assign(text + nameLength + extraLength, commentLength);
    *consumed = total;
    return ApplyZip64(extra, &uncompressedSize, &compressedSize, &localHeaderOffset);
}

bool FindExtraBlock(const std::string& extra, unsigned tag, const std::uint8_t** data,
                    std::size_t* size) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(extra.data());
    std::size_t n = extra.size(), i = 0;
    while (i + 4 <= n) {
        std::size_t blockTag = Le16(p + i), blockSize = Le16(p + i + 2);
        if (i + 4 + blockSize > n) return false;
        if (blockTag == tag) {
            *data = p + i + 4;
            *size = blockSize;
            return true;
        }
        i += 4 + blockSize;
    }
    return false;
}

bool ApplyZip64(const std::string& extra, std::uint64_t* uncompressed, std::uint64_t* compressed,
                std::uint64_t* offset) {
    const std::uint8_t* block = nullptr;
    std::size_t size = 0, used = 0;
    for (std::uint64_t* value : {uncompressed, compressed, offset}) {
        if (value == nullptr || *value != 0xFFFFFFFFu) continue;
        if (block == nullptr && !FindExtraBlock(extra, 0x0001, &block, &size)) return false;
        if (used + 8 > size) return false;
        *value = std::uint64_t{Le32(block + used)} | (std::uint64_t{Le32(block + used + 4)} << 32);
        used += 8;
    }
    return true;
}

bool CFileHeader::UnicodePathName(std::string* name) const {
    const std::uint8_t* block = nullptr;
    std::size_t size = 0;
    if (!FindExtraBlock(extra, 0x7075, &block, &size) || size < 5 || block[0] != 1) return false;
    uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(rawName.data()),
                        static_cast<uInt>(rawName.size()));
    if (crc != Le32(block + 1)) return false;
    name->assign(reinterpret_cast<const char*>(block + 5), size - 5);
    return IsValidUtf8(*name);
}

std::string CFileHeader::Name() const {
    std::string unicode;
    if (UnicodePathName(&unicode)) return unicode;
    // Unix tools store names in the local character set, UTF-8 nowadays.
    return DecodeEntryName(rawName, (flags & 0x0800) != 0 || MadeOnUnix());
}

bool CFileHeader::IsFolder() const {
    if ((externalAttributes & 0x10) != 0) return true;
    if (MadeOnUnix() && UnixType() == 0040000u) return true;
    return !rawName.empty() && (rawName.back() == '/' || rawName.back() == '\\');
}

bool CFileHeader::IsSymlink() const {
    return MadeOnUnix() && UnixType() == 0120000u;
}

int CFileHeader::UnixPermissions() const {
    if (!MadeOnUnix() || (externalAttributes >> 16) == 0) return -1;
    return static_cast<int>((externalAttributes >> 16) & 0777u);
}

std::time_t CFileHeader::ModificationTime() const {
    std::tm t{};
    t.tm_year = ((dosDate >> 9) & 0x7F) + 80;
    t.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    t.tm_mday = dosDate & 0x1F;
    t.tm_hour = (dosTime >> 11) & 0x1F;
    t.tm_min = (dosTime >> 5) & 0x3F;
    t.tm_sec = (dosTime & 0x1F) * 2;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace norvale::zip
