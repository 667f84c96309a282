#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "drives/SharePlatform.h"

namespace drives {

// A SharePlatform that plays tables: the shares of each server path, what
// every drive letter holds, and the answer of each connection attempt. It
// keeps a log of the calls that change something, so tests can check what
// was connected where. For the share code's tests and the panels' tests.
class FakeSharePlatform : public SharePlatform {
  public:
    // What a letter holds: its drive type and, for a network letter, the
    // remote name and whether that connection is live (else remembered).
    struct Letter {
        int type = kDriveNoRootDir;
        QString remote;
        bool connected = true;
    };

    // One AddConnection or CancelConnection call.
    struct Call {
        QString op;  // "add" or "cancel"
        QString drive;
        QString remote;
        bool interactive = false;
        QWidget* owner = nullptr;
    };

    // The enumeration answer for a server path ("\\NAS"): an error code, or 0
    // with the entries. Unknown servers answer 53.
    void SetShares(const QString& serverPath, std::vector<ShareEntry> shares, int result = 0);
    // Queued answers for the next enumerations of serverPath, before the
    // SetShares answer (e.g. 5 once, then the shares).
    void QueueShareResult(const QString& serverPath, int result);
    // A local drive of the given type (3 fixed, 5 CD-ROM, ...).
    void SetLocalDrive(char16_t letter, int type = kDriveFixed);
    // A network letter connected (or remembered, when connected is false).
    void SetNetworkDrive(char16_t letter, const QString& remote, bool connected = true);
    // The answer of AddConnection for remotePath (0 by default).
    void SetConnectResult(const QString& remotePath, int result);

    // The answer of ProbeDrive (0 by default).
    void SetProbeResult(int result) { probeResult_ = result; }

    const Letter* LetterOf(char16_t letter) const;
    const std::vector<Call>& Calls() const { return calls_; }
    int EnumCount() const { return enumCount_; }
    // The time each PrepareConnections call with share paths was given.
    const std::vector<int>& PrepareTimeouts() const { return prepareTimeouts_; }

    int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) override;
    int GetConnection(const QString& driveName, QString* remoteName) override;
    int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                      QWidget* owner) override;
    int CancelConnection(const QString& driveName) override;
    int GetDriveType(const QString& driveName) override;
    // "Error N".
    QString ErrorText(int code) override;
    void PrepareConnections(const QStringList& sharePaths, int timeoutMs) override;
    int ProbeDrive(const QString& driveName) override;

  private:
    static char16_t LetterOfName(const QString& driveName);

    struct Server {
        std::vector<ShareEntry> shares;
        int result = 0;
        QList<int> queued;
    };
    std::map<QString, Server> servers_;  // keys lower-cased
    std::map<char16_t, Letter> letters_;
    QHash<QString, int> connectResults_;  // keys lower-cased
    std::vector<Call> calls_;
    int enumCount_ = 0;
    int probeResult_ = 0;
    std::vector<int> prepareTimeouts_;
};

}  // namespace drives
