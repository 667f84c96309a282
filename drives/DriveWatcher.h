#pragma once

#include <QChar>
#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <array>

#include "drives/DriveFolder.h"

namespace drives {

class MountList;

// Tells when a drive letter comes or goes: a letter's link appears (arrival)
// or disappears (removal), or the share behind it is mounted (arrival) or
// unmounted (removal), whoever did it. It watches the drive folder and the
// mount list; each change is checked against the last seen state of the 26
// letters, so an event is emitted once per change. A look reads the links
// and the mount list only, never a mount (a dead one would hang the window).
// Lives on the interface thread; events are emitted from its event loop.
// The mount list (null: GvfsMountList) must outlive the watcher.
class DriveWatcher : public QObject {
    Q_OBJECT

  public:
    explicit DriveWatcher(DriveFolder folder = DriveFolder(), MountList* mounts = nullptr,
                          QObject* parent = nullptr);
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
    Seen Look(char16_t letter, const QSet<QString>& mounted) const;
    void WatchFolder();
    Q_INVOKABLE void OnVolumesChanged();

    DriveFolder folder_;
    MountList& mounts_;
    QFileSystemWatcher watcher_;
    QTimer poll_;  // when the mount list cannot tell its changes
    std::array<Seen, 26> seen_{};
    unsigned watch_ = 0;
};

}  // namespace drives
