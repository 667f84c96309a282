#include "drives/CShareFolderDlg.h"

#include <QPointer>
#include <QUrl>

#include "drives/ShareNames.h"
#include "resources/MainControlIds.h"
#include "resources/MainStringIds.h"
#include "skin/StringTable.h"

namespace drives {

CShareFolderDlg::CShareFolderDlg(QWidget* parent, SharePanelContext context)
    : SharePanel(parent,
                 SharePanelIds{MainControl::kShareFolderPanel, MainControl::kShareFolderList,
                               MainControl::kShareFolderPageUp, MainControl::kShareFolderPageDown},
                 std::move(context)) {
    setAccessibleName(LoadSkinString(MainString::kBrowseShares));
}

void CShareFolderDlg::Open(const QString& serverName, const QString& mapName,
                           const std::vector<ShareEntry>& shares) {
    Fill(serverName, mapName, shares, false);
}

QUrl CShareFolderDlg::ShareUrl(const QString& mapName, const QString& share) {
    const QString url = share.isEmpty() ? QString() : SmbUrl(mapName, share);
    return url.isEmpty() ? QUrl() : QUrl(url, QUrl::StrictMode);
}

void CShareFolderDlg::HandleRowClick(int item) {
    const QString share = ShareOfRow(item);
    if (Rows().At(item).letter != 0) {
        const QString sharePath = SharePathOfRow(item);
        QString driveName;
        const MappedState found = Drives().FindMappedDrive(sharePath, &driveName);
        if (found == kMappedConnected) {
            OpenDrive(driveName);
            return;
        }
        if (found == kMappedRemembered) {
            QPointer<CShareFolderDlg> self(this);
            if (Drives().MapDrive(this, driveName, sharePath) == kNoError && self) {
                OpenDrive(driveName);
            }
            return;
        }
    }
    OpenShare(share);
}

// The folder is looked into by the platform (on its worker, bounded): a
// mount whose server is gone must not freeze the window.
void CShareFolderDlg::OpenDrive(const QString& driveName) {
    const QString folder = Context().driveFolder ? Context().driveFolder(driveName) : QString();
    if (folder.isEmpty()) return;
    QPointer<CShareFolderDlg> self(this);
    const int answer = Platform().ProbeDrive(driveName);
    if (!self) return;
    if (answer != kNoError) {
        Drives().ShowSystemError(answer, this);
        return;
    }
    OpenUrl(QUrl::fromLocalFile(folder));
}

// The file manager would ask for credentials in a way of its own; the share
// is checked first without asking, and only a refusal brings up the
// program's prompt (the main window's top buttons are off meanwhile).
void CShareFolderDlg::OpenShare(const QString& share) {
    const QUrl url = ShareUrl(MapName(), share);
    if (!url.isValid()) return;
    const QString sharePath = ShareDrives::SharePath(MapName(), share);
    QPointer<CShareFolderDlg> self(this);
    const int access = Platform().AddConnection(QString(), sharePath, false, nullptr);
    if (!self) return;
    if (access == kErrorNotSupported) {
        // No GVfs: the file manager could not open it either.
        Drives().ShowSystemError(access, this);
        return;
    }
    if (access != kErrorAccessDenied) {
        OpenUrl(url);
        return;
    }
    emit Drives().busy(true);
    const bool connected = Drives().ConnectInteractive(this, sharePath);
    emit Drives().busy(false);
    if (connected && self) OpenUrl(url);
}

}  // namespace drives
