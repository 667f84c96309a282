#pragma once

#include <QChar>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <array>

#include "drives/DriveFolder.h"

namespace drives {

// Tells when a drive letter comes or goes: a letter's link appears (arrival)
// or disappears (removal), or the share behind it is mounted (arrival) or
// unmounted (removal), whoever did it. It watches the drive folder and
// GIO's volume monitor; each change is checked against the last seen state
// of the 26 letters, so an event is emitted once per change. Lives on the
// interface thread; events are emitted from its event loop.
class DriveWatcher : public QObject {
    Q_OBJECT

  public:
    explicit DriveWatcher(DriveFolder folder = DriveFolder(), QObject* parent = nullptr);
    ~DriveWatcher() override;

    // Looks at every letter now and emits what changed since the last look.
    void Rescan();

  signals:
    void driveEvent(bool removal, QChar letter);

  private:
    // What a letter shows: nothing (or a foreign entry), a link whose share
    // is not mounted, a link to a mounted share (with its target).
    struct Seen {
        int level = 0;  // 0 nothing, 1 remembered link, 2 mounted link
        QString target;
    };
    Seen Look(char16_t letter) const;
    void WatchFolder();
    Q_INVOKABLE void OnVolumesChanged();

    DriveFolder folder_;
    QFileSystemWatcher watcher_;
    QTimer settle_;  // looks again while a mount change settles
    int settleStep_ = 0;
    QTimer poll_;  // without GLib's event loop, the volume monitor is silent
    std::array<Seen, 26> seen_{};
    void* monitor_ = nullptr;  // GVolumeMonitor
    unsigned long handlers_[2] = {0, 0};
};

}  // namespace drives
