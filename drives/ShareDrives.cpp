#include "drives/ShareDrives.h"

#include "drives/ShareNames.h"

#include <algorithm>
#include <chrono>

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

const DriveState& StateOf(const DriveStates& drives, char16_t letter) {
    return drives[static_cast<std::size_t>(letter - u'A')];
}

// From candidate downward (never below D): the first letter that holds
// nothing into *found (0 when none is left), and the candidate where the
// search stopped.
char16_t NextFreeLetter(const DriveStates& drives, char16_t candidate, char16_t* found) {
    for (; candidate > u'C'; --candidate) {
        const DriveState& state = StateOf(drives, candidate);
        if (IsLocalDriveType(state.type) || state.type == kDriveRemote) continue;
        if (state.connection == kErrorNotConnected) {
            *found = candidate;
            return candidate;
        }
    }
    *found = 0;
    return candidate;
}

qint64 SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ShareDrives::ShareDrives(SharePlatform& platform, QObject* parent)
    : QObject(parent), platform_(platform), clock_(SteadyMilliseconds) {}

void ShareDrives::SetErrorPresenter(ErrorPresenter presenter) {
    errorPresenter_ = std::move(presenter);
}

void ShareDrives::SetClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(SteadyMilliseconds);
}

QString ShareDrives::ServerPath(const QString& mapName) {
    return QStringLiteral("\\\\") + mapName;
}

QString ShareDrives::SharePath(const QString& mapName, const QString& share) {
    return UncSharePath(mapName, share);
}

QString ShareDrives::DriveName(char16_t letter) {
    return QString(QChar(letter)) + QLatin1Char(':');
}

QString ShareDrives::MappedRowText(const QString& share, const QString& driveName) {
    return share + QStringLiteral(" (") + driveName + QLatin1Char(')');
}

QString ShareDrives::RowText(const QString& share, char16_t letter) {
    return letter ? MappedRowText(share, DriveName(letter)) : share;
}

bool ShareDrives::IsUsableShare(const ShareEntry& entry) {
    if (entry.type == kSharePrintQueue) return false;
    if (entry.name.endsWith(QLatin1Char('$'))) return false;
    return entry.name.compare(QLatin1String("Configuration"), Qt::CaseInsensitive) != 0;
}

bool ShareDrives::ListUsableShares(const QString& mapName) {
    std::vector<ShareEntry> shares;
    if (platform_.EnumShares(ServerPath(mapName), &shares) != kNoError) return false;
    return std::any_of(shares.begin(), shares.end(), IsUsableShare);
}

MappedState ShareDrives::FindMappedDrive(const DriveStates& drives, const QString& sharePath,
                                         QString* driveName) {
    for (char16_t letter = kFirstLetter; letter >= kLastLetter; --letter) {
        const DriveState& state = StateOf(drives, letter);
        if (IsLocalDriveType(state.type)) continue;
        const bool named =
            state.connection == kNoError || state.connection == kErrorConnectionUnavail;
        if (!named || state.remote.isEmpty() ||
            state.remote.compare(sharePath, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (driveName) *driveName = DriveName(letter);
        return state.connection == kNoError ? kMappedConnected : kMappedRemembered;
    }
    return kNotMapped;
}

MappedState ShareDrives::FindMappedDrive(const QString& sharePath, QString* driveName) {
    DriveStates drives;
    platform_.ReadDrives(&drives);
    return FindMappedDrive(drives, sharePath, driveName);
}

int ShareDrives::MapDrive(QWidget* owner, const QString& driveName, const QString& sharePath) {
    if (owner) emit busy(true);
    const int rc = platform_.AddConnection(driveName, sharePath, owner != nullptr, owner);
    if (rc != kNoError && owner) ShowSystemError(rc, owner);
    emit busy(false);
    return rc;
}

bool ShareDrives::ConnectInteractive(QWidget* owner, const QString& path) {
    const int rc = platform_.AddConnection(QString(), path, true, owner);
    if (rc == kNoError) return true;
    ShowSystemError(rc, owner);
    return false;
}

bool ShareDrives::LoginToServer(QWidget* owner, const QString& serverPath) {
    return platform_.AddConnection(QString(), serverPath, true, owner) != kErrorCancelled;
}

void ShareDrives::ShowSystemError(int code, QWidget* owner) {
    if (code == kErrorCancelled || !owner || !errorPresenter_) return;
    errorPresenter_(platform_.ErrorText(code), owner);
}

QStringList ShareDrives::FreeDriveNames() {
    DriveStates drives;
    platform_.ReadDrives(&drives);
    QStringList names;
    for (char16_t letter = kFirstLetter; letter >= kLastLetter; --letter) {
        const DriveState& state = StateOf(drives, letter);
        if (IsLocalDriveType(state.type) || state.type == kDriveRemote) continue;
        const bool named =
            state.connection == kNoError || state.connection == kErrorConnectionUnavail;
        if (named && !state.remote.isEmpty()) continue;
        names.append(DriveName(letter));
    }
    return names;
}

bool ShareDrives::ListShares(const QString& mapName, bool map, ShareRowSink* sink) {
    std::vector<ShareEntry> entries;
    if (platform_.EnumShares(ServerPath(mapName), &entries) != kNoError) return false;
    return ListShares(mapName, entries, map, sink);
}

// What one listing keeps while it walks its shares: each letter is read
// once, at its start, and kept up to date by the mapping.
struct ShareDrives::Listing {
    QString mapName;
    QStringList shares;
    DriveStates drives;
    char16_t candidate = kFirstLetter;
    qint64 deadline = 0;
    QStringList prepared;  // share paths connected at once already
};

QStringList ShareDrives::NextBatch(const Listing& listing, int first) {
    QStringList batch;
    char16_t candidate = listing.candidate;
    for (int i = first; i < listing.shares.size(); ++i) {
        const QString path = SharePath(listing.mapName, listing.shares.at(i));
        if (FindMappedDrive(listing.drives, path, nullptr) != kNotMapped || batch.contains(path))
            continue;
        char16_t letter = 0;
        candidate = NextFreeLetter(listing.drives, candidate, &letter);
        if (!letter) break;
        batch.append(path);
        if (candidate > u'C') --candidate;
    }
    return batch;
}

// The shares to map are connected at once (a batch of as many as there are
// free letters), then given letters in listing order as if one by one: a
// share whose connection failed leaves its letter to the next.
int ShareDrives::MapListed(Listing& listing, int index, char16_t letter) {
    if (!letter) return kErrorNoMoreDevices;
    const qint64 left = listing.deadline - clock_();
    if (left <= 0) return kErrorTimeout;
    const QString path = SharePath(listing.mapName, listing.shares.at(index));
    if (!listing.prepared.contains(path)) {
        const QStringList batch = NextBatch(listing, index);
        platform_.PrepareConnections(batch, static_cast<int>(left));
        listing.prepared += batch;
    }
    const int rc = MapDrive(nullptr, DriveName(letter), path);
    if (rc == kNoError) listing.drives[letter - u'A'] = DriveState{kDriveRemote, kNoError, path};
    return rc;
}

bool ShareDrives::ListShares(const QString& mapName, const std::vector<ShareEntry>& entries,
                             bool map, ShareRowSink* sink, std::vector<MapFailure>* failures) {
    if (entries.empty()) return false;
    Listing listing;
    listing.mapName = mapName;
    for (const ShareEntry& entry : entries) {
        if (IsUsableShare(entry)) listing.shares.append(entry.name);
    }
    std::stable_sort(listing.shares.begin(), listing.shares.end(), CodeUnitLess);
    platform_.ReadDrives(&listing.drives);
    listing.deadline = clock_() + kAutomaticMappingMs;
    auto send = [sink](const QString& share, char16_t letter) {
        if (sink) sink->AddShareRow(share, letter);
    };
    for (int i = 0; i < listing.shares.size(); ++i) {
        const QString& share = listing.shares.at(i);
        QString drive;
        if (FindMappedDrive(listing.drives, SharePath(mapName, share), &drive) != kNotMapped) {
            send(share, drive.at(0).unicode());
            continue;
        }
        char16_t letter = 0;
        listing.candidate = NextFreeLetter(listing.drives, listing.candidate, &letter);
        const int code = map ? MapListed(listing, i, letter) : kErrorNotConnected;
        if (code == kNoError) {
            send(share, letter);
            if (listing.candidate > u'C') --listing.candidate;
            continue;
        }
        if (map && failures) failures->push_back({share, code});
        send(share, 0);
    }
    if (!listing.prepared.isEmpty()) platform_.PrepareConnections({}, 0);
    return true;
}

}  // namespace drives
