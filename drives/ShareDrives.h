#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "drives/SharePlatform.h"

class QWidget;

namespace drives {

// Receives the rows of a share listing, one call per row, in listing order:
// the share name and the drive letter it is mapped to (0 for none). A panel
// appends each row to its list.
class ShareRowSink {
  public:
    virtual ~ShareRowSink() = default;
    virtual void AddShareRow(const QString& share, char16_t letter) = 0;
};

// A share automatic mapping could not give a letter, and why.
struct MapFailure {
    QString share;
    int code = 0;
};

// The share operations of the share panels and the shortcut, written once
// against a SharePlatform. The platform must outlive this object. Runs on
// the interface thread (the platform may pass its calls on to a worker).
class ShareDrives : public QObject {
    Q_OBJECT

  public:
    // Automatic mapping of one listing ends after this long in all; shares
    // not mapped by then stay without a letter.
    static constexpr int kAutomaticMappingMs = 30000;

    explicit ShareDrives(SharePlatform& platform, QObject* parent = nullptr);

    SharePlatform& Platform() { return platform_; }

    // Shows an error text over an owner. Without one, errors are not shown:
    // the window puts in its skinned message box, tests a recorder.
    using ErrorPresenter = std::function<void(const QString& text, QWidget* owner)>;
    void SetErrorPresenter(ErrorPresenter presenter);
    // The milliseconds of a steady clock, for the bound of automatic
    // mapping; tests move it by hand.
    using Clock = std::function<qint64()>;
    void SetClock(Clock clock);

    // 1 when the server of the map name has at least one usable share.
    int ListUsableShares(const QString& mapName);
    // 0 (connected) or 1 (remembered, unavailable) with the drive name of the
    // letter Z..D connected to the share path; 2 when none is.
    int FindMappedDrive(const QString& sharePath, QString* driveName);
    static int FindMappedDrive(const DriveStates& drives, const QString& sharePath,
                               QString* driveName);
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
    // The same for shares already enumerated (so that one button press asks
    // the server once): 0 when there are none. With map, the unmapped shares
    // are connected at once, silently and within kAutomaticMappingMs in all,
    // then given letters from Z down in listing order; failures (may be
    // null) gets each share that could not be mapped with its error code.
    int ListShares(const QString& mapName, const std::vector<ShareEntry>& entries, bool map,
                   ShareRowSink* sink, std::vector<MapFailure>* failures = nullptr);
    // The system's text for an error code in a message box; nothing for 1223
    // or without an owner.
    void ShowSystemError(int code, QWidget* owner);
    // Drive names ("Z:" .. "D:") that hold nothing, in that order.
    QStringList FreeDriveNames();

    static QString ServerPath(const QString& mapName);
    static QString SharePath(const QString& mapName, const QString& share);
    static QString DriveName(char16_t letter);
    static QString MappedRowText(const QString& share, const QString& driveName);
    // The list text of a share: the name, followed by its drive in
    // parentheses when letter is not 0 ("data (Z:)").
    static QString RowText(const QString& share, char16_t letter);
    static bool IsUsableShare(const ShareEntry& entry);

  signals:
    // 0 before and 1 after each mapping attempt; queued to the main window,
    // which disables its top buttons meanwhile.
    void busy(int phase);

  private:
    struct Listing;
    // Maps share `index` of a listing to letter (0: none is free) within
    // the listing's time; 0 or the error code.
    int MapListed(Listing& listing, int index, char16_t letter);
    // The share paths to connect at once for automatic mapping: from share
    // `first` on, the unmapped ones, as many as there are free letters from
    // the listing's candidate down.
    static QStringList NextBatch(const Listing& listing, int first);

    SharePlatform& platform_;
    ErrorPresenter errorPresenter_;
    Clock clock_;
};

}  // namespace drives
