#pragma once

#include <QString>
#include <optional>

namespace norvale::common {

// The folder where the updater keeps its program file, the downloaded
// archive and the unpacked files: $XDG_RUNTIME_DIR/norvale-discovery when
// the runtime folder is the user's own and private, otherwise
// norvale-discovery-<uid> in $TMPDIR (or /tmp). It is created with mode
// 0700 when missing and used only when it is a real folder (not a symlink),
// owned by this user, with no access for anyone else. When the fixed name in
// a shared folder is taken by something else, a fresh mkdtemp folder is made
// instead. nullopt when no such folder can be had.
std::optional<QString> PrivateTempFolder();

// True when `path` is a folder (not a symlink) owned by this user and closed
// to everyone else.
bool IsPrivateFolder(const QString& path);

}  // namespace norvale::common
