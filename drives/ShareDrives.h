#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "drives/SharePlatform.h"

class QWidget;

namespace drives {

// Receives the rows of a share listing, one call per row, in listing order:
// the row text (share name, or "share (X:)") and the drive letter (0 for an
// unmapped share). A panel inserts each row at the end of its list.
class ShareRowSink {
  public:
    virtual ~ShareRowSink() = default;
    virtual void AddShareRow(const QString& text, char16_t letter) = 0;
};

// The share operations of the share panels and the shortcut, written once
// against a SharePlatform. The platform must outlive this object. Everything
// runs on the interface thread.
class ShareDrives : public QObject {
    Q_OBJECT

  public:
    explicit ShareDrives(SharePlatform& platform, QObject* parent = nullptr);

    SharePlatform& Platform() { return platform_; }

    // Shows an error text over an owner; the default is a skinned message
    // box with an OK button and no caption. Tests plug in a recorder.
    using ErrorPresenter = std::function<void(const QString& text, QWidget* owner)>;
    void SetErrorPresenter(ErrorPresenter presenter);

    // 1 when the server of the map name has at least one usable share.
    int ListUsableShares(const QString& mapName);
    // 0 (connected) or 1 (remembered, unavailable) with the drive name of the
    // letter Z..D connected to the share path; 2 when none is.
    int FindMappedDrive(const QString& sharePath, QString* driveName);
    // Connects a letter to a share path: interactive with an owner (errors
    // shown), silent without one. busy(0) before an interactive attempt,
    // busy(1) after every attempt. The system error code, 0 on success.
    int MapDrive(QWidget* owner, const QString& driveName, const QString& sharePath);
    // 1 when a connection to the path was made, else 0 with the error shown.
    int ConnectInteractive(QWidget* owner, const QString& path);
    // 0 only when the user cancelled the credential prompt, else 1.
    int LoginToServer(QWidget* owner, const QString& serverPath);
    // Lists (and with map set, maps) the usable shares of the map name into
    // the sink. 0 when the shares cannot be enumerated, else 1.
    int ListShares(const QString& mapName, bool map, ShareRowSink* sink);
    // The system's text for an error code in a message box; nothing for 1223
    // or without an owner.
    void ShowSystemError(int code, QWidget* owner);
    // Drive names ("Z:" .. "D:") that hold nothing, in that order.
    QStringList FreeDriveNames();

    static QString ServerPath(const QString& mapName);
    static QString SharePath(const QString& mapName, const QString& share);
    static QString DriveName(char16_t letter);
    static QString MappedRowText(const QString& share, const QString& driveName);
    // True when a row text ends in a drive in parentheses ("data (Z:)").
    static bool IsMappedRowText(const QString& text);
    // The share name of a row text.
    static QString ShareNameOfRow(const QString& text);
    static bool IsUsableShare(const ShareEntry& entry);

  signals:
    // 0 before and 1 after each mapping attempt; queued to the main window,
    // which disables its top buttons meanwhile.
    void busy(int phase);

  private:
    // From candidate downward (never below D): the first letter that holds
    // nothing into *found, and the candidate where the search stopped; *found
    // is 0 when none is left.
    char16_t NextFreeLetter(char16_t candidate, char16_t* found);

    SharePlatform& platform_;
    ErrorPresenter errorPresenter_;
};

}  // namespace drives
