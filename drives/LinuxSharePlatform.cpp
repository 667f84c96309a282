#include "drives/LinuxSharePlatform.h"

#include <sys/stat.h>

#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>

#include "drives/CredentialsDialog.h"
#include "drives/ShareNames.h"

namespace drives {

namespace {

constexpr int kFolderWaitSteps = 40;
constexpr int kFolderWaitStepMs = 50;

QString FixedText(int code) {
    switch (code) {
        case kErrorAccessDenied:
            return QStringLiteral("Access is denied.");
        case kErrorNotEnoughMemory:
            return QStringLiteral("Not enough memory.");
        case kErrorNotSupported:
            return QStringLiteral(
                "Shares cannot be connected to drive letters: GVfs is not available.");
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
        case kErrorConnectionUnavail:
            return QStringLiteral("The connection is not available.");
        case kErrorCancelled:
            return QStringLiteral("The operation was cancelled by the user.");
        case kErrorNotConnected:
            return QStringLiteral("The network connection does not exist.");
        default:
            return QStringLiteral("Error %1.").arg(code);
    }
}

// The kernel may remember for a moment that a FUSE folder did not exist
// (someone looked while the share was not mounted): wait until the new mount
// shows, so that the letter reads as connected when the call returns.
void WaitForFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    for (int i = 0; i < kFolderWaitSteps; ++i) {
        struct stat info {};
        if (stat(name.constData(), &info) == 0) return;
        QThread::msleep(kFolderWaitStepMs);
    }
}

}  // namespace

LinuxSharePlatform::LinuxSharePlatform(DriveFolder folder, CredentialPrompt* prompt)
    : folder_(std::move(folder)),
      ownPrompt_(prompt ? nullptr : std::make_unique<CredentialsDialogPrompt>()),
      prompt_(prompt ? prompt : ownPrompt_.get()),
      mounter_(cache_, prompt_) {}

LinuxSharePlatform::~LinuxSharePlatform() = default;

int LinuxSharePlatform::Fail(int code, const QString& message) {
    if (code != kNoError && !message.isEmpty()) lastText_.insert(code, message);
    return code;
}

QString LinuxSharePlatform::ErrorText(int code) {
    const QString text = lastText_.value(code);
    return text.isEmpty() ? FixedText(code) : text;
}

int LinuxSharePlatform::EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) {
    shares->clear();
    QString server, share;
    if (!SplitUncPath(serverPath, &server, &share) || !share.isEmpty()) {
        return Fail(kErrorInvalidName, FixedText(kErrorInvalidName));
    }
    QString message;
    const int code = lister_.List(server, cache_.Find(server), shares, &message);
    return Fail(code, message);
}

int LinuxSharePlatform::GetConnection(const QString& driveName, QString* remoteName) {
    remoteName->clear();
    const char16_t letter = DriveFolder::LetterOf(driveName);
    if (!letter) return kErrorNotConnected;
    const DriveEntry entry = folder_.Read(letter);
    if (entry.kind != DriveEntry::kOurLink) return kErrorNotConnected;
    *remoteName = QStringLiteral("\\\\") + entry.server + QLatin1Char('\\') + entry.share;
    return entry.mounted ? kNoError : kErrorConnectionUnavail;
}

int LinuxSharePlatform::GetDriveType(const QString& driveName) {
    const char16_t letter = DriveFolder::LetterOf(driveName);
    if (!letter) return kDriveNoRootDir;
    switch (folder_.Read(letter).kind) {
        case DriveEntry::kNone:
            return kDriveNoRootDir;
        case DriveEntry::kOurLink:
            return kDriveRemote;
        case DriveEntry::kOther:
            return kDriveFixed;
    }
    return kDriveNoRootDir;
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
// cancels, and keeping them for this run.
int LinuxSharePlatform::LoginToServer(const QString& server, bool interactive, QWidget* owner) {
    std::vector<ShareEntry> shares;
    QString message;
    const drives::Credentials* cached = cache_.Find(server);
    int code = lister_.List(server, cached, &shares, &message);
    if (code != kErrorAccessDenied || !interactive || !prompt_) return Fail(code, message);
    drives::Credentials answer = cached ? *cached : drives::Credentials{};
    for (bool retry = false;; retry = true) {
        if (!prompt_->Ask(owner, server, QString(), retry, &answer)) return kErrorCancelled;
        code = lister_.List(server, &answer, &shares, &message);
        if (code == kNoError) {
            cache_.Store(server, answer);
            return kNoError;
        }
        if (code != kErrorAccessDenied) return Fail(code, message);
    }
}

int LinuxSharePlatform::ConnectShare(char16_t letter, const QString& server, const QString& share,
                                     bool interactive, QWidget* owner) {
    // A letter that holds anything but a link to this very share is taken.
    const DriveEntry held = letter ? folder_.Read(letter) : DriveEntry{};
    const bool sameShare = held.kind == DriveEntry::kOurLink &&
                           held.server.compare(server, Qt::CaseInsensitive) == 0 &&
                           held.share.compare(share, Qt::CaseInsensitive) == 0;
    if (held.kind != DriveEntry::kNone && !sameShare) {
        return Fail(kErrorAlreadyAssigned, FixedText(kErrorAlreadyAssigned));
    }
    QString fusePath, message;
    const int code =
        mounter_.Mount(server, share, interactive && prompt_, owner, &fusePath, &message);
    if (code != kNoError || !letter) return Fail(code, message);
    if (fusePath.isEmpty()) return Fail(kErrorNotSupported, FixedText(kErrorNotSupported));
    WaitForFolder(fusePath);
    // A remembered link to this share comes back to life by the mount.
    if (sameShare && held.target == fusePath) return kNoError;
    if (!folder_.MakeLink(letter, fusePath)) {
        const int error = errno;
        return Fail(error == EEXIST ? kErrorAlreadyAssigned : kErrorCannotMake,
                    QString::fromLocal8Bit(strerror(error)));
    }
    return kNoError;
}

int LinuxSharePlatform::CancelConnection(const QString& driveName) {
    const char16_t letter = DriveFolder::LetterOf(driveName);
    const DriveEntry entry = letter ? folder_.Read(letter) : DriveEntry{};
    if (entry.kind != DriveEntry::kOurLink || !folder_.RemoveLink(letter))
        return kErrorNotConnected;
    // The share goes with its last letter. Whether it is still mounted is
    // GVfs's to say: the FUSE folder may lag behind for a moment.
    if (folder_.CountLinksTo(entry.target) == 0 && IsValidHostName(entry.server) &&
        IsValidShareName(entry.share)) {
        QString message;
        mounter_.Unmount(entry.server, entry.share, &message);
    }
    return kNoError;
}

}  // namespace drives
