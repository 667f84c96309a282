// GVfs's mount tracker (org.gtk.vfs.Daemon, /org/gtk/vfs/mounttracker):
//   ListMounts2(b user_visible_only) -> a(sossssssbay(aya{sv})ay)
//   signals Mounted, Unmounted ((sossssssbay(aya{sv})ay) mount)
// Field 9 of a mount record is its FUSE folder as a byte string (empty when
// GVfs has no FUSE daemon).
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QFile>
#include <QFileInfo>

#include "drives/MountList.h"

namespace drives {

namespace {

constexpr const char* kTrackerName = "org.gtk.vfs.Daemon";
constexpr const char* kTrackerPath = "/org/gtk/vfs/mounttracker";
constexpr const char* kTrackerInterface = "org.gtk.vfs.MountTracker";
constexpr int kCallTimeoutMs = 1000;
constexpr int kFuseFolderField = 9;
// More mounts than this are not read.
constexpr gsize kMaxMounts = 4096;

// The session bus, when there is one to reach; never starts one (GLib would
// otherwise try to launch a bus through X11).
GDBusConnection* SessionBus() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
            return nullptr;
    }
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

void ReadMounts(GVariant* reply, QSet<QString>* folders) {
    GVariant* mounts = g_variant_get_child_value(reply, 0);
    const gsize count = std::min(g_variant_n_children(mounts), kMaxMounts);
    for (gsize i = 0; i < count; ++i) {
        GVariant* mount = g_variant_get_child_value(mounts, i);
        GVariant* fuse = g_variant_get_child_value(mount, kFuseFolderField);
        const gchar* path = g_variant_get_bytestring(fuse);
        if (path && *path) folders->insert(QFile::decodeName(path));
        g_variant_unref(fuse);
        g_variant_unref(mount);
    }
    g_variant_unref(mounts);
}

struct Watcher {
    void (*changed)(void*);
    void* data;
};

void OnTrackerSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                     GVariant*, gpointer data) {
    const auto* watcher = static_cast<const Watcher*>(data);
    watcher->changed(watcher->data);
}

void FreeWatcher(gpointer data) {
    delete static_cast<Watcher*>(data);
}

}  // namespace

unsigned MountList::Watch(void (*)(void*), void*) {
    return 0;
}

void MountList::Unwatch(unsigned) {}

GvfsMountList& GvfsMountList::Instance() {
    static GvfsMountList* list = new GvfsMountList;  // lives until the process ends
    return *list;
}

bool GvfsMountList::MountedFolders(QSet<QString>* folders) {
    folders->clear();
    GDBusConnection* bus = SessionBus();
    if (!bus) return false;
    // Not started for the question: a GVfs that is not running has no mounts.
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kTrackerName, kTrackerPath, kTrackerInterface, "ListMounts2",
        g_variant_new("(b)", FALSE), G_VARIANT_TYPE("(a(sossssssbay(aya{sv})ay))"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &error);
    g_object_unref(bus);
    if (!reply) {
        const bool notRunning =
            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
        g_error_free(error);
        return notRunning;
    }
    ReadMounts(reply, folders);
    g_variant_unref(reply);
    return true;
}

unsigned GvfsMountList::Watch(void (*changed)(void*), void* data) {
    GDBusConnection* bus = SessionBus();
    if (!bus) return 0;
    const unsigned id = g_dbus_connection_signal_subscribe(
        bus, nullptr, kTrackerInterface, nullptr, kTrackerPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        OnTrackerSignal, new Watcher{changed, data}, FreeWatcher);
    g_object_unref(bus);
    return id;
}

void GvfsMountList::Unwatch(unsigned id) {
    if (id == 0) return;
    if (GDBusConnection* bus = SessionBus()) {
        g_dbus_connection_signal_unsubscribe(bus, id);
        g_object_unref(bus);
    }
}

}  // namespace drives
