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

    // Whether the server of the map name has at least one usable share.
    bool ListUsableShares(const QString& mapName);
    // Whether a letter Z..D is connected to the share path (then driveName,
    // may be null, gets its drive name): connected, or remembered but
    // unavailable.
    MappedState FindMappedDrive(const QString& sharePath, QString* driveName);
    static MappedState FindMappedDrive(const DriveStates& drives, const QString& sharePath,
                                       QString* driveName);
    // Connects a letter to a share path: interactive with an owner (errors
    // shown), silent without one. busy(true) before an interactive attempt,
    // busy(false) after every attempt. The system error code, 0 on success.
    int MapDrive(QWidget* owner, const QString& driveName, const QString& sharePath);
    // Whether a connection to the path was made; the error is shown if not.
    bool ConnectInteractive(QWidget* owner, const QString& path);
    // False only when the user cancelled the credential prompt.
    bool LoginToServer(QWidget* owner, const QString& serverPath);
    // Lists (and with map set, maps) the usable shares of the map name into
    // the sink. False when the shares cannot be enumerated.
    bool ListShares(const QString& mapName, bool map, ShareRowSink* sink);
    // The same for shares already enumerated (so that one button press asks
    // the server once): false when there are none. With map, the unmapped shares
    // are connected at once, silently and within kAutomaticMappingMs in all,
    // then given letters from Z down in listing order; failures (may be
    // null) gets each share that could not be mapped with its error code.
    bool ListShares(const QString& mapName, const std::vector<ShareEntry>& entries, bool map,
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
    // true before and false after each mapping attempt; the main window
    // disables its top buttons in between.
    void busy(bool started);

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
