#include "zip/ExtractArchive.h"

#include <sys/statvfs.h>

#include <exception>
#include <new>
#include <system_error>

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
    unsigned long long declared = 0;
    for (std::size_t i = 0; i < zip.GetCount(); ++i) {
        const CFileHeader& header = zip.GetFileInfo(i);
        if (!header.IsFolder()) declared += header.uncompressedSize;
    }
    long long free = FreeSpaceFor(folder);
    if (free < 0 || declared <= static_cast<unsigned long long>(free)) return true;
    Report(
        failures, ZipEntryFailure::kWholeArchive, {}, CZipException::kNoSpaceCause,
        "archive needs " + std::to_string(declared) + " bytes, " + std::to_string(free) + " free");
    return false;
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
    return static_cast<long long>(fs.f_bavail) * static_cast<long long>(fs.f_frsize);
}

bool ExtractArchive(const std::filesystem::path& archivePath,
                    const std::filesystem::path& destinationFolder,
                    std::vector<ZipEntryFailure>* failures) {
    const std::size_t whole = ZipEntryFailure::kWholeArchive;
    CZipArchive zip;
    bool opened = false;
    if (!Attempt(failures, whole, {}, [&] { opened = zip.Open(archivePath); })) return false;
    if (!opened) {
        Report(failures, whole, {}, CZipException::kBadZipFileCause, "not a readable ZIP archive");
        return false;
    }
    if (!FitsInFreeSpace(zip, destinationFolder, failures)) return false;
    CDestFolder folder;
    if (!folder.Open(destinationFolder)) {
        Report(failures, whole, {}, CZipException::kSystemCause, "cannot open the destination");
        return false;
    }
    bool allExtracted = true;
    for (std::size_t i = 0; i < zip.GetCount(); ++i) {
        const std::string name = zip.GetFileInfo(i).Name();
        allExtracted &=
            Attempt(failures, i, name, [&] { zip.ExtractFile(i, folder, kExtractBufferSize); });
    }
    zip.Close();
    return allExtracted;
}

}  // namespace norvale::zip
