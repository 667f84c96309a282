#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "updater/InstallControl.h"
#include "updater/MinisignPublicKey.h"

class QWidget;

namespace norvale::updater {

struct UpdateJob;
class UpdateWorkerHost;
struct ProxyCredentials;

// Shows a message box (text, caption, owner, button set) and returns the
// button pressed (IDYES, IDNO, IDOK).
using UpdaterMessageBox = std::function<int(const QString&, const QString&, QWidget*, int)>;

// Everything the updater does outside itself that a test may put in place
// of the real thing. Null members do the real thing.
struct UpdaterOptions {
    // Null: ShowSkinMessageBox.
    UpdaterMessageBox showMessage;
    // Asks for the proxy's user name and password; null: the skinned dialog.
    std::function<std::optional<ProxyCredentials>()> proxyLogin;
    // Starts the updated main program (the file's path); null: a detached
    // process. The result is not used.
    std::function<void(const QString&)> relaunch;
    // The worker body; null: RunUpdateWorker.
    std::function<void(const UpdateJob&, UpdateWorkerHost&)> worker;
    // Asks the running main program to close its window; null: over its
    // local socket.
    std::function<void()> closeMainProgram;
    // Called once the progress dialog is open (tests drive it from there).
    std::function<void(QWidget*)> progressOpened;
    // The keys whose signatures are accepted; none: the keys compiled into
    // the program (TrustedUpdateKeys). Only code that builds the updater in
    // can set them; nothing outside the process can.
    std::optional<std::vector<MinisignPublicKey>> trustedKeys;
    // Seconds since 1970 (UTC); null: the system clock.
    std::function<std::int64_t()> clock;
    // Sees every install step (UpdateJob::installHook); null: nothing.
    std::function<bool(InstallStep)> installHook;
};

}  // namespace norvale::updater
