#include "drives/CShareFolderDlg.h"

#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include "skin/StringTable.h"

namespace drives {

CShareFolderDlg::CShareFolderDlg(QWidget* parent, SharePanelContext context)
    : SharePanel(parent, SharePanelIds{kTemplateId, kListId, kPageUpId, kPageDownId},
                 std::move(context)) {
    setAccessibleName(LoadSkinString(6));  // "Browse Network Shares"
}

void CShareFolderDlg::Open(const QString& serverName, const QString& mapName) {
    Fill(serverName, mapName, false);
}

QUrl CShareFolderDlg::ShareUrl(const QString& mapName, const QString& share) {
    QUrl url;
    url.setScheme(QStringLiteral("smb"));
    url.setHost(mapName, QUrl::StrictMode);
    // The share name is one path segment: slashes in it are encoded, never
    // read as further segments.
    QString segment = share;
    segment.replace(QLatin1Char('%'), QLatin1String("%25"));
    segment.replace(QLatin1Char('/'), QLatin1String("%2F"));
    url.setPath(QLatin1Char('/') + segment, QUrl::TolerantMode);
    if (url.host().isEmpty() || share.isEmpty()) return QUrl();
    return url;
}

void CShareFolderDlg::HandleRowClick(int item) {
    const QString share = ShareOfRow(item);
    if (ShareDrives::IsMappedRowText(Rows().At(item).text)) {
        const QString sharePath = SharePathOfRow(item);
        QString driveName;
        const int found = Drives().FindMappedDrive(sharePath, &driveName);
        if (found == 0) {
            OpenDrive(driveName);
            return;
        }
        if (found == 1) {
            QPointer<CShareFolderDlg> self(this);
            if (Drives().MapDrive(this, driveName, sharePath) == kNoError && self) {
                OpenDrive(driveName);
            }
            return;
        }
    }
    OpenShare(share);
}

void CShareFolderDlg::OpenDrive(const QString& driveName) {
    const QString folder = Context().driveFolder ? Context().driveFolder(driveName) : QString();
    if (folder.isEmpty()) return;
    const QFileInfo info(folder);
    if (info.exists() && (!info.isReadable() || !info.isExecutable())) {
        Drives().ShowSystemError(kErrorAccessDenied, this);
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
    const int access = Platform().AddConnection(QString(), sharePath, false, nullptr);
    if (access != kErrorAccessDenied) {
        OpenUrl(url);
        return;
    }
    QPointer<CShareFolderDlg> self(this);
    emit Drives().busy(0);
    const int connected = Drives().ConnectInteractive(this, sharePath);
    emit Drives().busy(1);
    if (connected == 1 && self) OpenUrl(url);
}

}  // namespace drives
