#pragma once

#include <QString>
#include <optional>

namespace norvale::common {

// The installation a program folder belongs to. An installed Norvale
// Discovery runs from one release folder of a root that names the running
// release with the symlink "current":
//     ROOT/1.2.2026.341/norvale-discovery     ROOT/current -> 1.2.2026.341
// ROOT is what the main program gives the updater as DIR and what the
// updater updates.

// The name of the link to the running release inside ROOT.
inline constexpr char kCurrentReleaseLink[] = "current";

// The root when `programFolder` is the release "current" names; none for
// a build folder, a release that is not current, or anything else.
std::optional<QString> InstallRootOf(const QString& programFolder);

// True when this user may change the installation at `root`: it is a
// writable folder and its mode grants writing (a root made read-only counts
// as read-only even for the superuser).
bool CanUpdateInstallation(const QString& root);
// The same for a root open as `rootFd` (a folder).
bool CanUpdateInstallation(int rootFd);

}  // namespace norvale::common
