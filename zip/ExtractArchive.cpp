#include "zip/ExtractArchive.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "zip/DestFolder.h"
#include "zip/ZipArchive.h"
#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

// Output chunk: large enough to keep system calls few, small enough to stay
// in the processor cache while the CRC-32 is computed over it.
constexpr std::size_t kExtractBufferSize = 256 * 1024;

void Report(std::vector<ZipEntryFailure>* failures, std::size_t index, std::string name, int cause,
            std::string detail) {
    if (failures) failures->push_back({index, std::move(name), cause, std::move(detail)});
}

// Runs `action`, turning anything it throws into a failure record.
template <typename Action>
bool Attempt(std::vector<ZipEntryFailure>* failures, std::size_t index, const std::string& name,
             Action&& action) {
    try {
        action();
        return true;
    } catch (const CZipException& e) {
        Report(failures, index, name, e.Cause(), e.Detail());
    } catch (const std::bad_alloc&) {
        Report(failures, index, name, CZipException::kMemError, "out of memory");
    } catch (const std::exception& e) {
        Report(failures, index, name, CZipException::kGeneric, e.what());
    }
    return false;
}

bool FitsInFreeSpace(const CZipArchive& zip, const std::filesystem::path& folder,
                     std::vector<ZipEntryFailure>* failures) {
    // Declared sizes are the archive's word: summed with overflow checks, so
    // entries of 2^63 bytes each cannot wrap round to a small total.
    unsigned long long declared = 0;
    bool overflowed = false;
    for (std::size_t i = 0; i < zip.GetCount() && !overflowed; ++i) {
        const CFileHeader& header = zip.GetFileInfo(i);
        if (!header.IsFolder())
            overflowed = __builtin_add_overflow(declared, header.uncompressedSize, &declared);
    }
    long long free = FreeSpaceFor(folder);
    if (!overflowed && (free < 0 || declared <= static_cast<unsigned long long>(free))) return true;
    Report(failures, ZipEntryFailure::kWholeArchive, {}, CZipException::kNoSpaceCause,
           overflowed ? std::string("archive declares more bytes than can be counted")
                      : "archive needs " + std::to_string(declared) + " bytes, " +
                            std::to_string(free) + " free");
    return false;
}

// Extracts every entry, each one inflating while the writer thread still
// writes the one before. Failures come out in entry order.
bool ExtractEntries(CZipArchive& zip, CDestFolder& folder, std::vector<ZipEntryFailure>* failures) {
    const std::size_t reported = failures ? failures->size() : 0;
    bool allExtracted = true;
    std::size_t pendingIndex = 0;
    std::uint64_t pending = 0;
    auto settle = [&] {
        if (pending == 0) return;
        const std::uint64_t ticket = std::exchange(pending, 0);
        allExtracted &= Attempt(failures, pendingIndex, zip.GetFileInfo(pendingIndex).Name(),
                                [&] { zip.WaitExtracted(ticket); });
    };
    for (std::size_t i = 0; i < zip.GetCount(); ++i) {
        std::uint64_t ticket = 0;
        allExtracted &= Attempt(failures, i, zip.GetFileInfo(i).Name(),
                                [&] { ticket = zip.StartExtract(i, folder, kExtractBufferSize); });
        settle();
        pending = ticket, pendingIndex = i;
    }
    settle();
    if (failures)
        std::stable_sort(failures->begin() + static_cast<std::ptrdiff_t>(reported), failures->end(),
                         [](const auto& a, const auto& b) { return a.index < b.index; });
    return allExtracted;
}

}  // namespace

long long FreeSpaceFor(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path probe = std::filesystem::absolute(folder, ec);
    if (ec) return -1;
    while (!std::filesystem::exists(probe, ec) && probe.has_parent_path() &&
           probe.parent_path() != probe)
        probe = probe.parent_path();
    struct statvfs fs {};
    if (::statvfs(probe.c_str(), &fs) != 0) return -1;
    long long bytes = 0;
    if (__builtin_mul_overflow(fs.f_bavail, fs.f_frsize, &bytes)) return -1;
    return bytes;
}

bool ExtractArchive(const std::filesystem::path& archivePath,
                    const std::filesystem::path& destinationFolder,
                    std::vector<ZipEntryFailure>* failures) {
    const std::size_t whole = ZipEntryFailure::kWholeArchive;
    CDestFolder folder;  // outlives the archive's writer thread
    CZipArchive zip;
    bool opened = false;
    if (!Attempt(failures, whole, {}, [&] { opened = zip.Open(archivePath); })) return false;
    if (!opened) {
        Report(failures, whole, {}, CZipException::kBadZipFileCause, "not a readable ZIP archive");
        return false;
    }
    if (!FitsInFreeSpace(zip, destinationFolder, failures)) return false;
    if (!folder.Open(destinationFolder)) {
        Report(failures, whole, {}, CZipException::kSystemCause, "cannot open the destination");
        return false;
    }
    const bool allExtracted = ExtractEntries(zip, folder, failures);
    zip.Close();
    return allExtracted;
}

}  // namespace norvale::zip
