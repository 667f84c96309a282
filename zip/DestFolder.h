#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "zip/UniqueFd.h"

namespace norvale::zip {

// The folder entries are extracted into. Every path below it is walked one
// component at a time from the folder's descriptor without following
// symlinks, so nothing an entry creates can land outside the folder, even
// when the folder already holds symlinks. Failures throw CZipException
// (kUnsafeEntry for a refused route, kSystem for an operating-system error).
class CDestFolder {
  public:
    // Opens `folder`, creating it and missing parents; false when impossible.
    bool Open(const std::filesystem::path& folder);
    bool IsOpen() const { return root_.IsValid(); }

    // Splits a stored name at "/" and "\" into the components below the
    // folder. Leading separators are dropped, so "/etc/x" lands at "etc/x"
    // inside the folder. False (refused) when the name starts with a drive
    // letter, holds a ".." component or a NUL byte. Empty and "." components
    // are dropped.
    static bool SplitName(const std::string& name, std::vector<std::string>* parts);

    // Creates the folder `parts` and every missing parent; Unix permissions
    // (>= 0) are applied with the owner keeping full access.
    void MakeFolder(const std::vector<std::string>& parts, int permissions);
    // Creates the missing parents, removes any existing non-folder item of
    // that name (a symlink is removed, not followed) and creates a new
    // regular file for writing. The caller owns the returned descriptor.
    CUniqueFd CreateFile(const std::vector<std::string>& parts);

  private:
    // Descriptor of the folder made of the first `count` parts.
    CUniqueFd WalkFolders(const std::vector<std::string>& parts, std::size_t count);

    CUniqueFd root_;
};

}  // namespace norvale::zip
