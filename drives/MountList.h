#pragma once

#include <QSet>
#include <QString>

namespace drives {

// Which GVfs share folders are mounted, told without entering any of them:
// a folder whose server is gone or whose FUSE daemon hangs would block the
// caller for good, so nothing here ever looks inside a mount.
class MountList {
  public:
    virtual ~MountList() = default;

    // The FUSE folders of the mounted shares into *folders; false (folders
    // empty) when nobody can tell.
    virtual bool MountedFolders(QSet<QString>* folders) = 0;

    // Calls changed(data) from the calling thread's GLib main context
    // whenever a share is mounted or unmounted anywhere; 0 when no change
    // can be told (then the caller looks now and then).
    virtual unsigned Watch(void (*changed)(void*), void* data);
    virtual void Unwatch(unsigned id);
};

// GVfs's own mount list (the one GIO shows), asked from its mount tracker on
// the session bus: one bounded round trip per question, never a FUSE access,
// safe from any thread. Without a session bus or GVfs nothing is mounted.
class GvfsMountList : public MountList {
  public:
    // The one list of the process.
    static GvfsMountList& Instance();

    bool MountedFolders(QSet<QString>* folders) override;
    unsigned Watch(void (*changed)(void*), void* data) override;
    void Unwatch(unsigned id) override;

  private:
    GvfsMountList() = default;
};

}  // namespace drives
