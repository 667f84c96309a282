#include "drives/CDriveMapDlg.h"

#include <QPointer>
#include <algorithm>

#include "drives/CMsgDriveMapDlg.h"
#include "skin/StringTable.h"

namespace drives {

CDriveMapDlg::CDriveMapDlg(QWidget* parent, SharePanelContext context, LetterQuestion ask)
    : SharePanel(parent, SharePanelIds{kTemplateId, kListId, kPageUpId, kPageDownId},
                 std::move(context)),
      ask_(std::move(ask)) {
    setAccessibleName(LoadSkinString(5));  // "Map Network Drive"
}

void CDriveMapDlg::Open(const QString& serverName, const QString& mapName,
                        const std::vector<ShareEntry>& shares, bool automatic) {
    automatic_ = automatic;
    std::vector<MapFailure> failures;
    Fill(serverName, mapName, shares, automatic, &failures);
    const bool unsupported = std::any_of(failures.begin(), failures.end(), [](const MapFailure& f) {
        return f.code == kErrorNotSupported;
    });
    if (unsupported) Drives().ShowSystemError(kErrorNotSupported, this);
}

bool CDriveMapDlg::AskLetter(const QString& share, QString* driveName) {
    if (ask_) return ask_(this, share, driveName);
    CMsgDriveMapDlg question(share, Drives().FreeDriveNames(), this);
    if (question.Run() != 1) return false;
    *driveName = question.DriveName();
    return true;
}

void CDriveMapDlg::HandleRowClick(int item) {
    // The question and the mapping run event loops of their own.
    QPointer<CDriveMapDlg> self(this);
    const QString share = ShareOfRow(item);
    QString chosen;
    if (!AskLetter(share, &chosen) || !self || chosen.size() != 2) return;
    // Whatever the chosen letter held goes first, even if the mapping fails.
    Platform().CancelConnection(chosen);
    const QString sharePath = SharePathOfRow(item);
    QString before;
    const int earlier = Drives().FindMappedDrive(sharePath, &before);
    if (Drives().MapDrive(this, chosen, sharePath) != kNoError || !self) return;
    if (item < Rows().Count()) Rows().SetLetter(item, chosen.at(0).unicode());
    if (earlier != 2 && !before.isEmpty() && before.compare(chosen, Qt::CaseInsensitive) != 0) {
        Platform().CancelConnection(before);
    }
}

}  // namespace drives
