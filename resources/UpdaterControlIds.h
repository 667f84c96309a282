#pragma once

// Control ids of NorvaleAutoUpdate's windows; a dialog carries its
// template's id as its own. The message box's controls are the skin's
// (SkinControlIds.h).
namespace UpdaterControl {

enum Id : int {
    // The progress dialog.
    kProgressDialog = 1102,
    kCancel = 2,
    kMinimise = 1001,
    kClose = 1002,

    // The message box.
    kMessageBox = 1148,

    // The proxy login.
    kProxyOk = 1,
    kProxyCancel = 2,
    kProxyUser = 1101,
    kProxyPassword = 1102,
};

}  // namespace UpdaterControl
