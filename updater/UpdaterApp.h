#pragma once

#include <QString>

#include "updater/UpdaterOptions.h"

namespace norvale::updater {

// The updater's one pass: choose the language block, set the message-box
// look, read the command line, make sure no other updater runs, ask the
// server for an upgrade link, ask the user (UpdaterString::kNewerVersion, Yes
// or No only) and run the progress dialog. Nothing is shown, and the server
// is not even asked, when another updater runs or the command line names no
// installation this user can change; nothing is shown either when the server
// offers nothing or the user answers No. A QApplication must exist; use on
// its thread.
class CAutoUpdateApp {
  public:
    explicit CAutoUpdateApp(UpdaterOptions options = {});
    CAutoUpdateApp(const CAutoUpdateApp&) = delete;
    CAutoUpdateApp& operator=(const CAutoUpdateApp&) = delete;

    // Runs the pass for one command line ("VER:... DIR:..."); returns the
    // process exit status, always 0.
    int InitInstance(const QString& commandLine);

    // What the last pass did, for its callers' logs and tests.
    enum class Outcome { NoUpdate, NoInstallFolder, AlreadyRunning, Declined, DialogRan };
    Outcome LastOutcome() const { return outcome_; }

  private:
    int AskFirstQuestion(QWidget* owner);

    UpdaterOptions options_;
    Outcome outcome_ = Outcome::NoUpdate;
};

// True when `folder` can take an update: the root of a versioned
// installation (VersionedInstall) that this user may change.
bool UsableInstallFolder(const QString& folder);

}  // namespace norvale::updater
