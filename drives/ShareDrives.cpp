#include "drives/ShareDrives.h"

#include <algorithm>

#include "skin/CLuMessageBox.h"

namespace drives {

namespace {

constexpr char16_t kFirstLetter = u'Z';
constexpr char16_t kLastLetter = u'D';

// Drive types a letter search never looks behind: local or removable media.
bool IsLocalDriveType(int type) {
    return type == kDriveRemovable || type == kDriveFixed || type == kDriveCdrom ||
           type == kDriveRamdisk;
}

// Plain UTF-16 code-unit order, case-sensitive ("A" < "B" < "a").
bool CodeUnitLess(const QString& a, const QString& b) {
    return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(),
                                        b.utf16() + b.size());
}

}  // namespace

ShareDrives::ShareDrives(SharePlatform& platform, QObject* parent)
    : QObject(parent), platform_(platform) {}

void ShareDrives::SetErrorPresenter(ErrorPresenter presenter) {
    errorPresenter_ = std::move(presenter);
}

QString ShareDrives::ServerPath(const QString& mapName) {
    return QStringLiteral("\\\\") + mapName;
}

QString ShareDrives::SharePath(const QString& mapName, const QString& share) {
    return QStringLiteral("\\\\") + mapName + QLatin1Char('\\') + share;
}

QString ShareDrives::DriveName(char16_t letter) {
    return QString(QChar(letter)) + QLatin1Char(':');
}

QString ShareDrives::MappedRowText(const QString& share, const QString& driveName) {
    return share + QStringLiteral(" (") + driveName + QLatin1Char(')');
}

bool ShareDrives::IsMappedRowText(const QString& text) {
    const qsizetype n = text.size();
    return n >= 4 && text.at(n - 4) == QLatin1Char('(') && text.at(n - 1) == QLatin1Char(')');
}

QString ShareDrives::ShareNameOfRow(const QString& text) {
    if (!IsMappedRowText(text)) return text;
    return text.left(std::max<qsizetype>(0, text.size() - 5));
}

bool ShareDrives::IsUsableShare(const ShareEntry& entry) {
    if (entry.type == kSharePrintQueue) return false;
    if (entry.name.endsWith(QLatin1Char('$'))) return false;
    return entry.name.compare(QLatin1String("Configuration"), Qt::CaseInsensitive) != 0;
}

int ShareDrives::ListUsableShares(const QString& mapName) {
    std::vector<ShareEntry> shares;
    if (platform_.EnumShares(ServerPath(mapName), &shares) != kNoError) return 0;
    return std::any_of(shares.begin(), shares.end(), IsUsableShare) ? 1 : 0;
}

int ShareDrives::FindMappedDrive(const QString& sharePath, QString* driveName) {
    for (char16_t letter = kFirstLetter; letter >= kLastLetter; --letter) {
        const QString drive = DriveName(letter);
        if (IsLocalDriveType(platform_.GetDriveType(drive))) continue;
        QString remote;
        const int rc = platform_.GetConnection(drive, &remote);
        if (rc != kNoError && rc != kErrorConnectionUnavail) remote.clear();
        if (remote.isEmpty() || remote.compare(sharePath, Qt::CaseInsensitive) != 0) continue;
        if (driveName) *driveName = drive;
        return rc == kNoError ? 0 : 1;
    }
    return 2;
}

int ShareDrives::MapDrive(QWidget* owner, const QString& driveName, const QString& sharePath) {
    if (owner) emit busy(0);
    const int rc = platform_.AddConnection(driveName, sharePath, owner != nullptr, owner);
    if (rc != kNoError && owner) ShowSystemError(rc, owner);
    emit busy(1);
    return rc;
}

int ShareDrives::ConnectInteractive(QWidget* owner, const QString& path) {
    const int rc = platform_.AddConnection(QString(), path, true, owner);
    if (rc == kNoError) return 1;
    ShowSystemError(rc, owner);
    return 0;
}

int ShareDrives::LoginToServer(QWidget* owner, const QString& serverPath) {
    return platform_.AddConnection(QString(), serverPath, true, owner) == kErrorCancelled ? 0 : 1;
}

void ShareDrives::ShowSystemError(int code, QWidget* owner) {
    if (code == kErrorCancelled || !owner) return;
    const QString text = platform_.ErrorText(code);
    if (errorPresenter_) {
        errorPresenter_(text, owner);
    } else {
        ShowSkinMessageBox(text, QString(), owner, BTN_OK);
    }
}

QStringList ShareDrives::FreeDriveNames() {
    QStringList names;
    for (char16_t letter = kFirstLetter; letter >= kLastLetter; --letter) {
        const QString drive = DriveName(letter);
        const int type = platform_.GetDriveType(drive);
        if (IsLocalDriveType(type) || type == kDriveRemote) continue;
        QString remote;
        const int rc = platform_.GetConnection(drive, &remote);
        if ((rc == kNoError || rc == kErrorConnectionUnavail) && !remote.isEmpty()) continue;
        names.append(drive);
    }
    return names;
}

char16_t ShareDrives::NextFreeLetter(char16_t candidate, char16_t* found) {
    while (candidate > u'C') {
        const QString drive = DriveName(candidate);
        const int type = platform_.GetDriveType(drive);
        if (!IsLocalDriveType(type) && type != kDriveRemote) {
            QString remote;
            if (platform_.GetConnection(drive, &remote) == kErrorNotConnected) {
                *found = candidate;
                return candidate;
            }
        }
        --candidate;
    }
    *found = 0;
    return candidate;
}

int ShareDrives::ListShares(const QString& mapName, bool map, ShareRowSink* sink) {
    std::vector<ShareEntry> entries;
    if (platform_.EnumShares(ServerPath(mapName), &entries) != kNoError || entries.empty())
        return 0;
    QStringList shares;
    for (const ShareEntry& entry : entries) {
        if (IsUsableShare(entry)) shares.append(entry.name);
    }
    std::stable_sort(shares.begin(), shares.end(), CodeUnitLess);

    auto send = [sink](const QString& text, char16_t letter) {
        if (sink) sink->AddShareRow(text, letter);
    };
    char16_t candidate = kFirstLetter;
    for (const QString& share : shares) {
        const QString path = SharePath(mapName, share);
        QString drive;
        if (FindMappedDrive(path, &drive) != 2) {
            send(MappedRowText(share, drive), drive.at(0).unicode());
            continue;
        }
        char16_t letter = 0;
        candidate = NextFreeLetter(candidate, &letter);
        if (letter && map && MapDrive(nullptr, DriveName(letter), path) == kNoError) {
            send(MappedRowText(share, DriveName(letter)), letter);
            if (candidate > u'C') --candidate;
            continue;
        }
        send(share, 0);
    }
    return 1;
}

}  // namespace drives
