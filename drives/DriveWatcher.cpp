#include "drives/DriveWatcher.h"

#include <QAbstractEventDispatcher>
#include <QFileInfo>

#include "drives/MountList.h"

namespace drives {

namespace {

constexpr int kPollMs = 2000;

void OnMountChanged(void* data) {
    QMetaObject::invokeMethod(static_cast<QObject*>(data), "OnVolumesChanged",
                              Qt::QueuedConnection);
}

}  // namespace

DriveWatcher::DriveWatcher(DriveFolder folder, MountList* mounts, QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      mounts_(mounts ? *mounts : GvfsMountList::Instance()) {
    QSet<QString> mounted;
    mounts_.MountedFolders(&mounted);
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        seen_[letter - u'A'] = Look(letter, mounted);
    }
    WatchFolder();
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Rescan(); });
    // The mount list's signals arrive through GLib's default main context,
    // which Qt's event loop runs only when it is built on GLib.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher && dispatcher->inherits("QEventDispatcherGlib")) {
        watch_ = mounts_.Watch(&OnMountChanged, this);
    }
    if (watch_ == 0) {
        connect(&poll_, &QTimer::timeout, this, &DriveWatcher::Rescan);
        poll_.start(kPollMs);
    }
}

DriveWatcher::~DriveWatcher() {
    mounts_.Unwatch(watch_);
}

void DriveWatcher::WatchFolder() {
    // Until the drive folder is made (with the first letter), its parent is
    // watched for it to appear; the folder is not made just to be watched.
    QString wanted = folder_.Path();
    if (!QFileInfo(wanted).isDir()) wanted = QFileInfo(wanted).absolutePath();
    const QStringList watched = watcher_.directories();
    if (watched.size() == 1 && watched.first() == wanted) return;
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    if (QFileInfo(wanted).isDir()) watcher_.addPath(wanted);
}

DriveWatcher::Seen DriveWatcher::Look(char16_t letter, const QSet<QString>& mounted) const {
    const DriveEntry entry = folder_.Read(letter);
    if (entry.kind != DriveEntry::kOurLink) return {};
    return Seen{mounted.contains(entry.target) ? 2 : 1, entry.target};
}

void DriveWatcher::OnVolumesChanged() {
    Rescan();
}

void DriveWatcher::Rescan() {
    WatchFolder();
    QSet<QString> mounted;
    mounts_.MountedFolders(&mounted);
    for (char16_t letter = u'Z'; letter >= u'A'; --letter) {
        Seen& before = seen_[letter - u'A'];
        const Seen now = Look(letter, mounted);
        if (now.level == before.level && now.target == before.target) continue;
        const Seen old = before;
        before = now;
        if (old.level > 0 && now.level > 0 && old.target != now.target) {
            emit driveEvent(true, QChar(letter));
            emit driveEvent(false, QChar(letter));
        } else {
            emit driveEvent(now.level < old.level, QChar(letter));
        }
    }
}

}  // namespace drives
