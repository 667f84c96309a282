#pragma once

#include <string>

#include "updater/InstallControl.h"

namespace norvale::updater {

enum class CopyResult { Copied, Failed, Cancelled };

// Copies every file directly inside `sourceFolder` into the folder open as
// `targetFd`, a fresh staging folder that holds none of their names. Each
// copy keeps the unpacked file's permission bits (without set-id bits), is
// always readable and writable by its owner, and is executable where the
// file of that name in `referenceFd` (the running release's folder; -1:
// none) is, so a program unpacked from an archive without modes still runs.
// Every copy is flushed to disk before the next one starts.
//
// Fails when the source cannot be listed, holds anything but regular files
// (a folder, a symlink) or more than 10,000 entries, or a copy fails. On
// Failed and Cancelled some copies may exist in the target: the caller
// removes the staging folder. `control` sees FileOpened, FileCopied,
// FileSynced and FileDone for each file and is asked for a cancel before
// each one.
CopyResult CopyFolderFiles(const std::string& sourceFolder, int targetFd, int referenceFd,
                           const InstallControl& control);

}  // namespace norvale::updater
