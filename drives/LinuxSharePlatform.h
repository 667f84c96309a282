#pragma once

#include <QHash>
#include <QString>
#include <memory>

#include "drives/Credentials.h"
#include "drives/DriveFolder.h"
#include "drives/GvfsMounter.h"
#include "drives/SharePlatform.h"
#include "drives/SmbShareLister.h"

namespace drives {

// File sharing on Linux: shares are listed with libsmbclient, mounted with
// GVfs, and drive letters are links in the user's drive folder (see
// DriveFolder). Paths from the callers are checked before they reach a URL:
// only host names and dotted addresses become servers. A password typed
// once for a server serves every later listing and mount of this run.
//
// The prompt (may be null: interactive calls then fail like non-interactive
// ones) must outlive this object; without one given, the skinned
// credentials dialog asks.
class LinuxSharePlatform : public SharePlatform {
  public:
    explicit LinuxSharePlatform(DriveFolder folder = DriveFolder(),
                                CredentialPrompt* prompt = nullptr);
    ~LinuxSharePlatform() override;

    const DriveFolder& Folder() const { return folder_; }
    CredentialCache& Credentials() { return cache_; }

    int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) override;
    int GetConnection(const QString& driveName, QString* remoteName) override;
    int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                      QWidget* owner) override;
    int CancelConnection(const QString& driveName) override;
    int GetDriveType(const QString& driveName) override;
    // The text the platform gave with the last failure of that code, else a
    // fixed text for it.
    QString ErrorText(int code) override;

  private:
    int Fail(int code, const QString& message);
    int LoginToServer(const QString& server, bool interactive, QWidget* owner);
    int ConnectShare(char16_t letter, const QString& server, const QString& share, bool interactive,
                     QWidget* owner);

    DriveFolder folder_;
    CredentialCache cache_;
    std::unique_ptr<CredentialPrompt> ownPrompt_;
    CredentialPrompt* prompt_;
    SmbShareLister lister_;
    GvfsMounter mounter_;
    QHash<int, QString> lastText_;
};

}  // namespace drives
