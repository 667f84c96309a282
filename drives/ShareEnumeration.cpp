#include "drives/ShareEnumeration.h"

#include <algorithm>
#include <vector>

#include "drives/ShareDrives.h"
#include "skin/MessageBoxSkin.h"
#include "skin/StringTable.h"

namespace drives {
namespace {

constexpr int kProductNameText = 1;
constexpr int kNoShareText = 56;
constexpr int kPathNotFoundText = 57;

}  // namespace

ShareCheck CheckServerShares(ShareDrives& drives, QWidget* owner, const QString& mapName,
                             std::vector<ShareEntry>* shares) {
    const QString serverPath = ShareDrives::ServerPath(mapName);
    shares->clear();
    int result = drives.Platform().EnumShares(serverPath, shares);
    for (int round = 0; result == kErrorAccessDenied; ++round) {
        if (round == kMaxLoginRounds) return ShareCheck::kUnreachable;
        if (drives.LoginToServer(owner, serverPath) == 0) return ShareCheck::kCancelled;
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
    const QString caption = LoadSkinString(kProductNameText);
    switch (check) {
        case ShareCheck::kReady:
            return true;
        case ShareCheck::kCancelled:
            return false;
        case ShareCheck::kUnreachable:
            showMessage(FormatWithArgument(LoadSkinString(kPathNotFoundText),
                                           ShareDrives::ServerPath(mapName)),
                        caption, owner, BTN_OK);
            return false;
        case ShareCheck::kNoShares:
            showMessage(LoadSkinString(kNoShareText), caption, owner, BTN_OK);
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
