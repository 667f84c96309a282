#pragma once

#include <optional>
#include <string>

#include "common/InstallRoot.h"
#include "updater/InstallControl.h"
#include "updater/ReleaseVersion.h"
#include "zip/UniqueFd.h"

namespace norvale::updater {

// An installation of Norvale Discovery that is never half updated:
//
//   ROOT/                       e.g. PREFIX/lib/norvale-discovery
//     1.2.2026.341/             one folder per release, with all its files
//     1.2.2026.342/
//     current -> 1.2.2026.342   the release that runs (a relative symlink)
//     previous -> 1.2.2026.341  the one before it, kept for one step back
//
// A new release is copied into a hidden staging folder beside the others,
// flushed to disk, renamed to its version and then made current by renaming
// a fresh symlink over "current" (rename(2) replaces it in one step). A
// kill at any moment leaves "current" naming a complete release; what an
// interrupted run leaves beside it is removed by the next one. Only one
// updater may work on a root at a time (the caller holds the updater's
// single-instance lock).
class VersionedInstall {
  public:
    static constexpr const char* kCurrentLink = common::kCurrentReleaseLink;
    static constexpr const char* kPreviousLink = "previous";
    // The main program inside a release folder; a release without it is refused.
    static constexpr const char* kMainProgram = "norvale-discovery";

    enum class Result { Installed, AlreadyCurrent, Cancelled, Failed };

    // The installation at `root` (an absolute path): none unless "current"
    // is a symlink to a plain name of a folder inside it.
    static std::optional<VersionedInstall> Open(const std::string& root);

    // True when this user may change the installation
    // (common::CanUpdateInstallation).
    bool IsWritable() const;
    const std::string& CurrentRelease() const { return current_; }

    // Installs the files directly inside `unpackedFolder` as release
    // `version` and makes it current; then keeps the release that ran until
    // now as "previous" and removes older ones. Before the switch a failure
    // or a cancel leaves the installation exactly as it was (its staging
    // folder removed); AlreadyCurrent when `version` is the current release
    // (only what an interrupted run left is tidied up).
    Result Install(const std::string& unpackedFolder, const ReleaseVersion& version,
                   const InstallControl& control);

    // Removes staging folders and link temporaries an interrupted run left.
    void RemoveLeftovers() const;

  private:
    VersionedInstall(std::string root, zip::CUniqueFd fd, std::string current)
        : root_(std::move(root)), fd_(std::move(fd)), current_(std::move(current)) {}

    Result CopyToStaging(const std::string& unpackedFolder, const std::string& staging,
                         const InstallControl& control) const;
    bool MoveIntoPlace(const std::string& staging, const std::string& release,
                       const InstallControl& control) const;
    Result Commit(const std::string& staging, const std::string& release,
                  const InstallControl& control);
    // Points `link` at `target` through a temporary link renamed over it;
    // false when it still names what it did. `*proceed`: the control's
    // answer to the switched step.
    bool SwitchLink(const char* link, const std::string& target, InstallStep made,
                    InstallStep switched, const InstallControl& control, bool* proceed) const;
    void RemoveOldReleases(const std::string& keep, const InstallControl& control) const;
    bool RemoveEntry(const std::string& name) const;

    std::string root_;
    zip::CUniqueFd fd_;
    std::string current_;
};

}  // namespace norvale::updater
