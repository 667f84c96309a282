#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "drives/ShareTypes.h"

class QWidget;

namespace drives {

class ShareDrives;

// Shows a message (text, caption, owner, button set) and returns the button
// pressed: ShowSkinMessageBox, or what a test puts in.
using ShareMessageFunction = std::function<int(const QString&, const QString&, QWidget*, int)>;

// What the check of a server's shares found before a share panel opens.
enum class ShareCheck {
    kReady,        // at least one usable share: the panel may open
    kCancelled,    // the user cancelled the credential prompt
    kUnreachable,  // the shares cannot be listed (unknown server, refused, ...)
    kNoShares,     // listed, but no share a user can open
};

// Lists the shares of the map name's server. Access denied leads to the
// credential prompt (LoginToServer, owner its parent) and another listing,
// until the listing succeeds, fails otherwise or the prompt is cancelled;
// after kMaxLoginRounds refused rounds the server counts as unreachable, so
// a platform that cannot prompt never loops for ever. *shares gets the
// listing, for the panel to show without asking the server again.
ShareCheck CheckServerShares(ShareDrives& drives, QWidget* owner, const QString& mapName,
                             std::vector<ShareEntry>* shares);
inline constexpr int kMaxLoginRounds = 16;

// CheckServerShares, then the reports: string 57 with the server path in
// quotes when unreachable, string 56 when nothing is usable (caption
// string 1, OK, owner as parent); nothing after a cancelled prompt. True
// when the panel may open, with *shares the listing.
bool PrepareSharePanel(ShareDrives& drives, QWidget* owner, const QString& mapName,
                       const ShareMessageFunction& showMessage, std::vector<ShareEntry>* shares);

// format with its first "%s" replaced by argument; nothing in argument is
// read as a format.
QString FormatWithArgument(const QString& format, const QString& argument);

}  // namespace drives
