// GIO headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QAbstractEventDispatcher>
#include <QFileInfo>
#include <iterator>

#include "drives/DriveWatcher.h"

namespace drives {

namespace {

// Mount changes reach the FUSE folder a little after GIO reports them, and
// the kernel may keep a stale answer for about a second; on a busy machine
// the folder can take several seconds to show: look again after these
// pauses (about 10 s in all).
constexpr int kSettleMs[] = {300, 900, 1300, 2500, 5000};
constexpr int kPollMs = 2000;

void OnMountChanged(GVolumeMonitor*, GMount*, gpointer data) {
    QMetaObject::invokeMethod(static_cast<QObject*>(data), "OnVolumesChanged",
                              Qt::QueuedConnection);
}

}  // namespace

DriveWatcher::DriveWatcher(DriveFolder folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) seen_[letter - u'A'] = Look(letter);
    WatchFolder();
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Rescan(); });
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] {
        Rescan();
        if (++settleStep_ < static_cast<int>(std::size(kSettleMs))) {
            settle_.start(kSettleMs[settleStep_]);
        }
    });
    // GIO's signals arrive through GLib's default main context, which Qt's
    // event loop runs only when it is built on GLib.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher && dispatcher->inherits("QEventDispatcherGlib")) {
        GVolumeMonitor* monitor = g_volume_monitor_get();
        monitor_ = monitor;
        handlers_[0] = g_signal_connect(monitor, "mount-added", G_CALLBACK(OnMountChanged), this);
        handlers_[1] = g_signal_connect(monitor, "mount-removed", G_CALLBACK(OnMountChanged), this);
    } else {
        connect(&poll_, &QTimer::timeout, this, &DriveWatcher::Rescan);
        poll_.start(kPollMs);
    }
}

DriveWatcher::~DriveWatcher() {
    if (monitor_) {
        for (unsigned long id : handlers_) g_signal_handler_disconnect(monitor_, id);
        g_object_unref(monitor_);
    }
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

DriveWatcher::Seen DriveWatcher::Look(char16_t letter) const {
    const DriveEntry entry = folder_.Read(letter);
    if (entry.kind != DriveEntry::kOurLink) return {};
    return Seen{entry.mounted ? 2 : 1, entry.target};
}

void DriveWatcher::OnVolumesChanged() {
    Rescan();
    settleStep_ = 0;
    settle_.start(kSettleMs[0]);
}

void DriveWatcher::Rescan() {
    WatchFolder();
    for (char16_t letter = u'Z'; letter >= u'A'; --letter) {
        Seen& before = seen_[letter - u'A'];
        const Seen now = Look(letter);
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
