#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace norvale::zip {

// One entry (or the archive as a whole) that could not be extracted.
struct ZipEntryFailure {
    static constexpr std::size_t kWholeArchive = static_cast<std::size_t>(-1);
    std::size_t index = kWholeArchive;  // central-directory index
    std::string name;                   // the entry's UTF-8 name ("" for the archive)
    int cause = 0;                      // CZipException cause code
    std::string detail;                 // short text for people
};

// Extracts every entry of the archive at `archivePath` below
// `destinationFolder` (created when missing), in central-directory order.
// Every entry is attempted even after a failure. Returns true only when the
// archive opened and every entry succeeded; nothing is written when the
// archive is not a readable ZIP or its declared size exceeds the free space.
// `failures`, when not null, receives what failed.
bool ExtractArchive(const std::filesystem::path& archivePath,
                    const std::filesystem::path& destinationFolder,
                    std::vector<ZipEntryFailure>* failures = nullptr);

// Bytes available to an unprivileged user on the file system that holds
// `folder` (or its nearest existing parent); -1 when unknown.
long long FreeSpaceFor(const std::filesystem::path& folder);

}  // namespace norvale::zip
