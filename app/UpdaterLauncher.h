#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "common/ProductVersion.h"

namespace norvale::app {

// The updater travels inside the main program as a resource. LaunchUpdater
// writes it into the user's private folder (mode 0700, owned by the user)
// and starts it with "VER:<version> DIR:<installation root>"
// (common::UpdaterCommandLineText; the root is common::InstallRootOf the
// running program's folder).
struct UpdaterLaunchOptions {
    // Where the updater's bytes come from.
    QString source = QStringLiteral(":/exe/norvale-autoupdate");
    // The private folder to write it to; empty: the per-user temporary
    // folder of the updater.
    QString folder;
    // The running program's folder; empty: the folder of the executable.
    QString programFolder;
    common::ProductVersion version = common::ProductVersion::Current();
    // Starts the written program with its one argument; null: a detached
    // process. The result is not checked further.
    std::function<bool(const QString&, const QStringList&)> start;
};

// Writes the updater file "norvale-autoupdate" into the private folder and
// starts it. The file is written under a fresh name and renamed into place,
// so a link planted under the final name is replaced, never followed.
// Returns 1 when the start was requested, 0 (silently) when the resource,
// the folder or the file could not be handled, and 0 without writing or
// starting anything when the program does not run as the current release of
// an installation this user can change (a build folder, a package, an
// installation of another user): then there is nothing to update.
int LaunchUpdater(const UpdaterLaunchOptions& options = {});

}  // namespace norvale::app
