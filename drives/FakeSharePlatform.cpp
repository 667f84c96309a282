#include "drives/FakeSharePlatform.h"

namespace drives {

void FakeSharePlatform::SetShares(const QString& serverPath, std::vector<ShareEntry> shares,
                                  int result) {
    Server& server = servers_[serverPath.toLower()];
    server.shares = std::move(shares);
    server.result = result;
}

void FakeSharePlatform::QueueShareResult(const QString& serverPath, int result) {
    servers_[serverPath.toLower()].queued.append(result);
}

void FakeSharePlatform::SetLocalDrive(char16_t letter, int type) {
    letters_[letter] = Letter{type, QString(), false};
}

void FakeSharePlatform::SetNetworkDrive(char16_t letter, const QString& remote, bool connected) {
    letters_[letter] = Letter{kDriveRemote, remote, connected};
}

void FakeSharePlatform::SetConnectResult(const QString& remotePath, int result) {
    connectResults_.insert(remotePath.toLower(), result);
}

const FakeSharePlatform::Letter* FakeSharePlatform::LetterOf(char16_t letter) const {
    auto it = letters_.find(letter);
    return it == letters_.end() ? nullptr : &it->second;
}

char16_t FakeSharePlatform::LetterOfName(const QString& driveName) {
    if (driveName.size() != 2 || driveName.at(1) != QLatin1Char(':')) return 0;
    return driveName.at(0).toUpper().unicode();
}

int FakeSharePlatform::EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) {
    ++enumCount_;
    shares->clear();
    auto it = servers_.find(serverPath.toLower());
    if (it == servers_.end()) return kErrorBadNetPath;
    Server& server = it->second;
    const int result = server.queued.isEmpty() ? server.result : server.queued.takeFirst();
    if (result == kNoError) *shares = server.shares;
    return result;
}

int FakeSharePlatform::GetConnection(const QString& driveName, QString* remoteName) {
    remoteName->clear();
    const Letter* letter = LetterOf(LetterOfName(driveName));
    if (!letter || letter->type != kDriveRemote) return kErrorNotConnected;
    *remoteName = letter->remote;
    return letter->connected ? kNoError : kErrorConnectionUnavail;
}

int FakeSharePlatform::AddConnection(const QString& driveName, const QString& remotePath,
                                     bool interactive, QWidget* owner) {
    calls_.push_back(Call{QStringLiteral("add"), driveName, remotePath, interactive, owner});
    const int result = connectResults_.value(remotePath.toLower(), kNoError);
    if (result != kNoError) return result;
    if (const char16_t letter = LetterOfName(driveName)) {
        const Letter* held = LetterOf(letter);
        if (held && held->type != kDriveRemote) return kErrorAlreadyAssigned;
        letters_[letter] = Letter{kDriveRemote, remotePath, true};
    }
    return kNoError;
}

int FakeSharePlatform::CancelConnection(const QString& driveName) {
    calls_.push_back(Call{QStringLiteral("cancel"), driveName, QString(), false, nullptr});
    const char16_t letter = LetterOfName(driveName);
    const Letter* held = LetterOf(letter);
    if (!held || held->type != kDriveRemote) return kErrorNotConnected;
    letters_.erase(letter);
    return kNoError;
}

int FakeSharePlatform::GetDriveType(const QString& driveName) {
    const Letter* letter = LetterOf(LetterOfName(driveName));
    return letter ? letter->type : kDriveNoRootDir;
}

QString FakeSharePlatform::ErrorText(int code) {
    return QStringLiteral("Error %1").arg(code);
}

void FakeSharePlatform::PrepareConnections(const QStringList& sharePaths, int timeoutMs) {
    if (!sharePaths.isEmpty()) prepareTimeouts_.push_back(timeoutMs);
}

int FakeSharePlatform::ProbeDrive(const QString&) {
    return probeResult_;
}

}  // namespace drives
