#pragma once

#include <QString>

namespace drives {

// True when a process of this user has a file open, or its working
// folder, in folder or below it (read from /proc without entering the
// folder). GVfs does not count files opened through its FUSE folders when
// asked to unmount, so a share is only let go when this says no. At most
// kMaxProcesses processes and kMaxFiles open files each are looked at.
bool FolderInUse(const QString& folder);

inline constexpr int kMaxProcesses = 65536;
inline constexpr int kMaxFiles = 65536;

}  // namespace drives
