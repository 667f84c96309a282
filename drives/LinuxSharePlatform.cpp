#include "drives/LinuxSharePlatform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "drives/FolderUse.h"
#include "drives/MountList.h"
#include "drives/ShareNames.h"
#include "resources/MainStringIds.h"
#include "skin/StringTable.h"

namespace drives {

namespace {

// Pause between looks at a folder that is not there yet.
constexpr int kFolderWaitStepMs = 50;

QString FixedText(int code) {
    switch (code) {
        case kErrorAccessDenied:
            return QStringLiteral("Access is denied.");
        case kErrorNotEnoughMemory:
            return QStringLiteral("Not enough memory.");
        case kErrorNotSupported:
            return LoadSkinString(MainString::kNeedsGvfs);
        case kErrorBadNetPath:
            return QStringLiteral("The network path was not found.");
        case kErrorUnexpectedNetwork:
            return QStringLiteral("An unexpected network error occurred.");
        case kErrorBadNetName:
            return QStringLiteral("The network name cannot be found.");
        case kErrorAlreadyAssigned:
            return QStringLiteral("The drive name is already in use.");
        case kErrorInvalidParameter:
            return QStringLiteral("The parameter is incorrect.");
        case kErrorInvalidName:
            return QStringLiteral("The network name is not valid.");
        case kErrorNoAssociation:
            return QStringLiteral("No application is associated with this location.");
        case kErrorConnectionUnavail:
            return QStringLiteral("The connection is not available.");
        case kErrorNoMoreDevices:
            return QStringLiteral("No drive letter is free.");
        case kErrorCancelled:
            return QStringLiteral("The operation was cancelled by the user.");
        case kErrorTimeout:
            return QStringLiteral("The operation did not finish in the time allowed.");
        case kErrorNotConnected:
            return QStringLiteral("The network connection does not exist.");
        case kErrorDeviceInUse:
            return QStringLiteral("Files are open on the share: it stays connected.");
        default:
            return QStringLiteral("Error %1.").arg(code);
    }
}

// What looking into a folder finds: 0 when it can be listed, 5 when access
// is denied, 53 when it is not there or not usable.
int LookInto(const QByteArray& name) {
    struct stat info {};
    if (stat(name.constData(), &info) != 0) {
        return errno == EACCES ? kErrorAccessDenied : kErrorBadNetPath;
    }
    if (!S_ISDIR(info.st_mode)) return kErrorBadNetPath;
    DIR* dir = opendir(name.constData());
    if (!dir) return errno == EACCES ? kErrorAccessDenied : kErrorBadNetPath;
    errno = 0;
    const bool listed = readdir(dir) != nullptr || errno == 0;
    closedir(dir);
    return listed ? kNoError : kErrorBadNetPath;
}

// Looks into a folder on a thread of its own and waits at most timeoutMs
// for it: a FUSE folder whose daemon hangs blocks that thread (until the
// daemon answers or dies), never the caller. LookInto's answer, or 1460 when
// the folder does not answer in time.
int ProbeFolder(const QString& path, int timeoutMs) {
    struct Probe {
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
        int code = kErrorTimeout;
    };
    auto probe = std::make_shared<Probe>();
    std::thread([probe, name = QFile::encodeName(path)] {
        const int code = LookInto(name);
        std::lock_guard<std::mutex> hold(probe->lock);
        probe->code = code;
        probe->done = true;
        probe->finished.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(probe->lock);
    probe->finished.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                             [&probe] { return probe->done; });
    return probe->code;
}

// Probes a folder again while it is missing or unusable, for at most
// timeoutMs in all: a new mount can take a moment to show in the FUSE tree,
// where the kernel may still remember the folder as it was before (missing,
// or the folder of an earlier mount that answers with I/O errors).
int ProbeUntilThere(const QString& path, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const qint64 left = timeoutMs - waited.elapsed();
        const int code = ProbeFolder(path, static_cast<int>(std::max<qint64>(left, 1)));
        if (code != kErrorBadNetPath || left <= kFolderWaitStepMs) return code;
        std::this_thread::sleep_for(std::chrono::milliseconds(kFolderWaitStepMs));
    }
}

// True when a letter holding entry may be given the share: it holds
// nothing, or a link to this very share.
bool FitsShare(const DriveEntry& entry, const QString& server, const QString& share) {
    if (entry.kind == DriveEntry::kNone) return true;
    return entry.kind == DriveEntry::kOurLink &&
           entry.server.compare(server, Qt::CaseInsensitive) == 0 &&
           entry.share.compare(share, Qt::CaseInsensitive) == 0;
}

}  // namespace

LinuxSharePlatform::LinuxSharePlatform(DriveFolder folder, CredentialPrompt* prompt,
                                       MountList* mounts)
    : folder_(std::move(folder)),
      prompt_(prompt),
      mounts_(mounts ? *mounts : GvfsMountList::Instance()),
      mounter_(cache_, prompt_),
      record_(folder_.MountRecordPath()) {}

LinuxSharePlatform::~LinuxSharePlatform() = default;

int LinuxSharePlatform::Fail(int code, const QString& message) {
    if (code != kNoError && !message.isEmpty()) lastText_.insert(code, message);
    return code;
}

QString LinuxSharePlatform::ErrorText(int code) {
    const QString text = code == kErrorNotSupported ? QString() : lastText_.value(code);
    return text.isEmpty() ? FixedText(code) : text;
}

int LinuxSharePlatform::EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) {
    shares->clear();
    QString server, share;
    if (!SplitUncPath(serverPath, &server, &share) || !share.isEmpty()) {
        return Fail(kErrorInvalidName, FixedText(kErrorInvalidName));
    }
    if (!loginServer_.isEmpty() && loginServer_.compare(server, Qt::CaseInsensitive) == 0) {
        loginServer_.clear();
        shares->swap(loginShares_);
        loginShares_.clear();
        return kNoError;
    }
    QString message;
    const int code = lister_.List(server, cache_.Find(server), shares, &message);
    return Fail(code, message);
}

DriveState LinuxSharePlatform::StateOf(const DriveEntry& entry,
                                       const QSet<QString>& mounted) const {
    switch (entry.kind) {
        case DriveEntry::kNone:
            return {};
        case DriveEntry::kOther:
            return {kDriveFixed, kErrorNotConnected, QString()};
        case DriveEntry::kOurLink:
            break;
    }
    return {kDriveRemote, mounted.contains(entry.target) ? kNoError : kErrorConnectionUnavail,
            UncSharePath(entry.server, entry.share)};
}

void LinuxSharePlatform::ReadDrives(DriveStates* states) {
    QSet<QString> mounted;
    mounts_.MountedFolders(&mounted);
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        (*states)[letter - u'A'] = StateOf(folder_.Read(letter), mounted);
    }
}

int LinuxSharePlatform::GetConnection(const QString& driveName, QString* remoteName) {
    remoteName->clear();
    const char16_t letter = DriveFolder::LetterOf(driveName);
    if (!letter) return kErrorNotConnected;
    const DriveEntry entry = folder_.Read(letter);
    QSet<QString> mounted;
    if (entry.kind == DriveEntry::kOurLink) mounts_.MountedFolders(&mounted);
    const DriveState state = StateOf(entry, mounted);
    *remoteName = state.remote;
    return state.connection;
}

int LinuxSharePlatform::GetDriveType(const QString& driveName) {
    const char16_t letter = DriveFolder::LetterOf(driveName);
    if (!letter) return kDriveNoRootDir;
    return StateOf(folder_.Read(letter), {}).type;
}

int LinuxSharePlatform::AddConnection(const QString& driveName, const QString& remotePath,
                                      bool interactive, QWidget* owner) {
    QString server, share;
    if (!SplitUncPath(remotePath, &server, &share)) {
        return Fail(kErrorInvalidName, FixedText(kErrorInvalidName));
    }
    const char16_t letter = DriveFolder::LetterOf(driveName);
    if (!driveName.isEmpty() && (!letter || share.isEmpty())) {
        return Fail(kErrorInvalidParameter, FixedText(kErrorInvalidParameter));
    }
    if (share.isEmpty()) return LoginToServer(server, interactive, owner);
    return ConnectShare(letter, server, share, interactive, owner);
}

// A server has nothing to mount: logging in means finding credentials with
// which its shares can be listed, asked for until they work or the user
// cancels, and keeping them for this run. It is asked for after a refused
// listing, so an interactive login goes to the prompt at once.
int LinuxSharePlatform::LoginToServer(const QString& server, bool interactive, QWidget* owner) {
    std::vector<ShareEntry> shares;
    QString message;
    const drives::Credentials* cached = cache_.Find(server);
    if (!interactive || !prompt_) {
        return Fail(lister_.List(server, cached, &shares, &message), message);
    }
    drives::Credentials answer = cached ? *cached : drives::Credentials{};
    for (bool retry = false;; retry = true) {
        if (!prompt_->Ask(owner, server, QString(), retry, &answer)) return kErrorCancelled;
        const int code = lister_.List(server, &answer, &shares, &message);
        if (code == kNoError) {
            cache_.Store(server, answer);
            loginServer_ = server;
            loginShares_ = std::move(shares);
            return kNoError;
        }
        if (code != kErrorAccessDenied) return Fail(code, message);
    }
}

MountTask LinuxSharePlatform::MountShare(const QString& server, const QString& share,
                                         bool interactive, QWidget* owner) {
    const QString key = UncSharePath(server, share).toLower();
    if (!interactive && prepared_.contains(key)) return prepared_.take(key);
    MountTask task;
    task.server = server;
    task.share = share;
    task.code = mounter_.Mount(server, share, interactive && prompt_, owner, &task.fusePath,
                               &task.message, &task.existed);
    if (task.code == kNoError && !task.existed) RememberOwnMounts({task.fusePath});
    return task;
}

int LinuxSharePlatform::ConnectShare(char16_t letter, const QString& server, const QString& share,
                                     bool interactive, QWidget* owner) {
    // A letter that holds anything but a link to this very share is taken.
    if (letter && !FitsShare(folder_.Read(letter), server, share)) {
        return Fail(kErrorAlreadyAssigned, FixedText(kErrorAlreadyAssigned));
    }
    if (!GvfsMounter::CanMountSmb()) return kErrorNotSupported;
    const MountTask task = MountShare(server, share, interactive, owner);
    if (task.code != kNoError || !letter) return Fail(task.code, task.message);
    if (task.fusePath.isEmpty()) return kErrorNotSupported;
    // A fresh look: the letter may have been taken while the prompt was up
    // or the mount ran.
    const DriveEntry now = folder_.Read(letter);
    if (!FitsShare(now, server, share)) {
        ReleaseIfUnused(task.fusePath, server, share);
        return Fail(kErrorAlreadyAssigned, FixedText(kErrorAlreadyAssigned));
    }
    // A remembered link to this share comes back to life by the mount.
    if (now.kind == DriveEntry::kOurLink && now.target == task.fusePath) return kNoError;
    if (!folder_.MakeLink(letter, task.fusePath)) {
        const int error = errno;
        ReleaseIfUnused(task.fusePath, server, share);
        return Fail(error == EEXIST ? kErrorAlreadyAssigned : kErrorCannotMake,
                    QString::fromLocal8Bit(strerror(error)));
    }
    return kNoError;
}

void LinuxSharePlatform::PrepareConnections(const QStringList& sharePaths, int timeoutMs) {
    ReleasePrepared();
    if (sharePaths.isEmpty() || !GvfsMounter::CanMountSmb()) return;
    std::vector<MountTask> tasks;
    for (const QString& path : sharePaths) {
        MountTask task;
        if (SplitUncPath(path, &task.server, &task.share) && !task.share.isEmpty())
            tasks.push_back(task);
    }
    mounter_.MountAll(&tasks, timeoutMs);
    QStringList own;
    for (const MountTask& task : tasks) {
        if (task.code == kNoError && !task.existed) own.append(task.fusePath);
        prepared_.insert(UncSharePath(task.server, task.share).toLower(), task);
    }
    RememberOwnMounts(own);
}

// Prepared mounts no AddConnection took: our own are let go again.
void LinuxSharePlatform::ReleasePrepared() {
    const QHash<QString, MountTask> left = std::exchange(prepared_, {});
    for (const MountTask& task : left) {
        if (task.code == kNoError && !task.existed)
            ReleaseIfUnused(task.fusePath, task.server, task.share);
    }
}

void LinuxSharePlatform::RememberOwnMounts(QStringList fusePaths) {
    fusePaths.removeAll(QString());
    if (fusePaths.isEmpty() || !folder_.EnsureExists()) return;
    // Entries no longer mounted were let go elsewhere: whoever mounts them
    // again is not us.
    QSet<QString> mounted;
    const bool known = mounts_.MountedFolders(&mounted);
    record_.Update(fusePaths, known ? &mounted : nullptr);
}

// A share mounted by us that no letter uses any more is unmounted, never
// forced: with files open there it stays (and stays ours).
void LinuxSharePlatform::ReleaseIfUnused(const QString& fusePath, const QString& server,
                                         const QString& share) {
    if (fusePath.isEmpty() || folder_.CountLinksTo(fusePath) > 0 || !record_.Contains(fusePath))
        return;
    if (!IsValidHostName(server) || !IsValidShareName(share) || FolderInUse(fusePath)) return;
    QString message;
    if (mounter_.Unmount(server, share, &message) == kNoError) record_.Remove(fusePath);
}

int LinuxSharePlatform::CancelConnection(const QString& driveName) {
    const char16_t letter = DriveFolder::LetterOf(driveName);
    const DriveEntry entry = letter ? folder_.Read(letter) : DriveEntry{};
    if (entry.kind != DriveEntry::kOurLink || !folder_.RemoveLink(letter))
        return kErrorNotConnected;
    ReleaseIfUnused(entry.target, entry.server, entry.share);
    return kNoError;
}

int LinuxSharePlatform::ProbeDrive(const QString& driveName) {
    const char16_t letter = DriveFolder::LetterOf(driveName);
    const DriveEntry entry = letter ? folder_.Read(letter) : DriveEntry{};
    if (entry.kind != DriveEntry::kOurLink) return kErrorNotConnected;
    QSet<QString> mounted;
    if (mounts_.MountedFolders(&mounted) && !mounted.contains(entry.target))
        return kErrorConnectionUnavail;
    const int code = ProbeUntilThere(folder_.EntryPath(letter), probeTimeoutMs_);
    if (code == kErrorTimeout) {
        return Fail(code,
                    QStringLiteral("%1: %2").arg(UncSharePath(entry.server, entry.share),
                                                 QString::fromLocal8Bit(strerror(ETIMEDOUT))));
    }
    return code;
}

}  // namespace drives
