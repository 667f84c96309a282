#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvale::updatepack {

// Writes an update archive: a ZIP of plain files stored flat by name, each
// deflated, with its Unix permission bits, the layout the updater's reader
// takes. Files and the archive stay below 4 GiB (no ZIP64).
class UpdateZipWriter {
  public:
    // Writes `archivePath` from the files at `paths`, each stored under its
    // base name. False with `*error` (not null) when a file is not a regular
    // file, two share a name, something is too large or cannot be read, or
    // the archive cannot be written (a partial archive is removed).
    static bool Write(const std::string& archivePath, const std::vector<std::string>& paths,
                      std::string* error);
};

}  // namespace norvale::updatepack
