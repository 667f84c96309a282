#include "drives/ShareEnumeration.h"

#include <algorithm>
#include <vector>

#include "drives/ShareDrives.h"
#include "resources/MainStringIds.h"
#include "skin/MessageBoxSkin.h"
#include "skin/StringTable.h"

namespace drives {
ShareCheck CheckServerShares(ShareDrives& drives, QWidget* owner, const QString& mapName,
                             std::vector<ShareEntry>* shares) {
    const QString serverPath = ShareDrives::ServerPath(mapName);
    shares->clear();
    int result = drives.Platform().EnumShares(serverPath, shares);
    for (int round = 0; result == kErrorAccessDenied; ++round) {
        if (round == kMaxLoginRounds) return ShareCheck::kUnreachable;
        if (!drives.LoginToServer(owner, serverPath)) return ShareCheck::kCancelled;
        shares->clear();
        result = drives.Platform().EnumShares(serverPath, shares);
    }
    if (result != kNoError || shares->empty()) return ShareCheck::kUnreachable;
    const bool usable = std::any_of(shares->begin(), shares->end(), ShareDrives::IsUsableShare);
    return usable ? ShareCheck::kReady : ShareCheck::kNoShares;
}

bool PrepareSharePanel(ShareDrives& drives, QWidget* owner, const QString& mapName,
                       const ShareMessageFunction& showMessage, std::vector<ShareEntry>* shares) {
    const ShareCheck check = CheckServerShares(drives, owner, mapName, shares);
    const QString caption = LoadSkinString(MainString::kProductName);
    switch (check) {
        case ShareCheck::kReady:
            return true;
        case ShareCheck::kCancelled:
            return false;
        case ShareCheck::kUnreachable:
            showMessage(FormatWithArgument(LoadSkinString(MainString::kPathNotFound),
                                           ShareDrives::ServerPath(mapName)),
                        caption, owner, BTN_OK);
            return false;
        case ShareCheck::kNoShares:
            showMessage(LoadSkinString(MainString::kNoShare), caption, owner, BTN_OK);
            return false;
    }
    return false;
}

QString FormatWithArgument(const QString& format, const QString& argument) {
    const qsizetype at = format.indexOf(QLatin1String("%s"));
    if (at < 0) return format;
    QString text = format;
    text.replace(at, 2, argument);
    return text;
}

}  // namespace drives
