#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "drives/Credentials.h"
#include "drives/DriveFolder.h"
#include "drives/GvfsMounter.h"
#include "drives/MountRecord.h"
#include "drives/SharePlatform.h"
#include "drives/SmbShareLister.h"

namespace drives {

class MountList;

// File sharing on Linux: shares are listed with libsmbclient, mounted with
// GVfs, and drive letters are links in the user's drive folder (see
// DriveFolder). Paths from the callers are checked before they reach a URL:
// only host names and dotted addresses become servers. A password typed
// once for a server serves every later listing and mount of this run.
//
// Whether a letter's share is mounted comes from the mount list, never from
// a look through the link; only ProbeDrive and the wait for a new mount's
// folder enter a mount, each on a thread of its own and bounded. A share is
// unmounted only when this program mounted it (see MountRecord) and no
// letter uses it any more, never forced: with files open there it stays.
//
// The prompt (may be null: interactive calls then fail like non-interactive
// ones) and the mount list (null: GvfsMountList) must outlive this object.
// One call at a time.
class LinuxSharePlatform : public SharePlatform {
  public:
    explicit LinuxSharePlatform(DriveFolder folder = DriveFolder(),
                                CredentialPrompt* prompt = nullptr, MountList* mounts = nullptr);
    ~LinuxSharePlatform() override;

    const DriveFolder& Folder() const { return folder_; }
    CredentialCache& Credentials() { return cache_; }
    // How long ProbeDrive waits for a letter's folder to answer.
    void SetProbeTimeout(int ms) { probeTimeoutMs_ = ms; }

    int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) override;
    int GetConnection(const QString& driveName, QString* remoteName) override;
    int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                      QWidget* owner) override;
    int CancelConnection(const QString& driveName) override;
    int GetDriveType(const QString& driveName) override;
    // The text the platform gave with the last failure of that code, else a
    // fixed text for it; 50 always says that mounting needs GVfs.
    QString ErrorText(int code) override;
    void ReadDrives(DriveStates* states) override;
    void PrepareConnections(const QStringList& sharePaths, int timeoutMs) override;
    int ProbeDrive(const QString& driveName) override;

  private:
    int Fail(int code, const QString& message);
    DriveState StateOf(const DriveEntry& entry, const QSet<QString>& mounted) const;
    int LoginToServer(const QString& server, bool interactive, QWidget* owner);
    int ConnectShare(char16_t letter, const QString& server, const QString& share, bool interactive,
                     QWidget* owner);
    MountTask MountShare(const QString& server, const QString& share, bool interactive,
                         QWidget* owner);
    void RememberOwnMounts(QStringList fusePaths);
    void ReleaseIfUnused(const QString& fusePath, const QString& server, const QString& share);
    void ReleasePrepared();

    DriveFolder folder_;
    CredentialCache cache_;
    CredentialPrompt* prompt_;
    MountList& mounts_;
    SmbShareLister lister_;
    GvfsMounter mounter_;
    MountRecord record_;
    QHash<int, QString> lastText_;
    // Outcomes of PrepareConnections by lower-cased share path, taken by
    // the AddConnection calls that follow.
    QHash<QString, MountTask> prepared_;
    // The listing that proved a typed password, handed to the enumeration
    // that follows the login instead of asking the server again.
    QString loginServer_;
    std::vector<ShareEntry> loginShares_;
    int probeTimeoutMs_ = 5000;
};

}  // namespace drives
