#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "drives/ShareTypes.h"

class QWidget;

namespace drives {

// The file-sharing operations of the system, one call each. Everything above
// it (listing, letter search, mapping, the panels) is written once against
// this interface; the real one speaks SMB and mounts shares, a fake one
// plays tables for tests. Paths use the "\\SERVER" and "\\SERVER\SHARE"
// forms; drive names are "Z:". One call at a time: the window runs them
// all on one worker thread, one after another.
class SharePlatform {
  public:
    virtual ~SharePlatform() = default;

    // The shares of a server path ("\\NAME"): 0 and the entries in server
    // order, or an error code (5 access denied, 53 server not found, ...).
    virtual int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) = 0;

    // The remote name ("\\S\N") a drive name is connected to: 0 when
    // connected, 1201 with the remote name for a remembered connection whose
    // share is not available, 2250 when the letter holds no connection.
    virtual int GetConnection(const QString& driveName, QString* remoteName) = 0;

    // Connects remotePath to driveName (an empty drive name connects without a
    // letter, e.g. a server path to log in). Interactive calls may ask the
    // user for credentials, with owner (may be null) as the prompt's parent;
    // non-interactive calls try anonymous access only and never ask. Returns
    // 0 or an error code (1223 when the user cancelled the prompt).
    virtual int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                              QWidget* owner) = 0;

    // Drops the connection on a drive name for good. 0 or 2250.
    virtual int CancelConnection(const QString& driveName) = 0;

    // One of DriveType for a drive name.
    virtual int GetDriveType(const QString& driveName) = 0;

    // The system's own message text for an error code.
    virtual QString ErrorText(int code) = 0;

    // Every letter in one look, as GetDriveType and GetConnection would
    // answer for each (the default asks them letter by letter).
    virtual void ReadDrives(DriveStates* states);

    // Starts the non-interactive connections of these share paths at once,
    // without letters, each given at most timeoutMs; the AddConnection calls
    // for them that follow (non-interactive) then only assign the letter and
    // answer with the outcome found here. An empty list lets go of what the
    // last preparation left unused. The default does nothing.
    virtual void PrepareConnections(const QStringList& sharePaths, int timeoutMs);

    // Whether the folder of a connected drive name can be opened: 0, 5 when
    // access is denied, another error code when it is gone or does not
    // answer in time. The default answers 0.
    virtual int ProbeDrive(const QString& driveName);
};

}  // namespace drives
