#pragma once

#include <QString>

namespace norvale::updater {

// Installs every file directly inside `sourceFolder` into `targetFolder`,
// all or nothing: each file is first copied to a hidden temporary name
// inside the target folder, and only when every copy succeeded are they
// renamed over the installed names (a running program keeps its old file).
// On failure the temporary files are removed and the target folder is left
// exactly as it was.
//
// Fails (false) when the source holds anything but regular files (a
// folder, a symlink), when an installed file of the same name is read-only
// or not a regular file, when the target folder cannot be opened or a copy
// fails. A copy keeps the unpacked file's permission bits, is always
// readable and writable by its owner, and stays executable where the file
// it replaces was. A source folder that cannot be listed is nothing to copy
// (true).
bool CopyFolderFiles(const QString& sourceFolder, const QString& targetFolder);

}  // namespace norvale::updater
