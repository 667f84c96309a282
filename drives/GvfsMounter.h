#pragma once

#include <QString>
#include <vector>

#include "drives/Credentials.h"

class QWidget;

namespace drives {

// One share to mount and what came of it.
struct MountTask {
    QString server;
    QString share;
    int code = 0;          // 0 or an error code
    QString fusePath;      // its FUSE folder; empty when GVfs has none
    QString message;       // GIO's text for a failure
    bool existed = false;  // it was mounted already, by whoever: not ours
};

// Mounts and unmounts SMB shares through GVfs (GIO), blocking the calling
// thread meanwhile: the GIO calls run on a private main context that only
// this object iterates, so no other event of the program is handled in
// between. Every network wait is bounded by the timeout (time spent in the
// credential prompt does not count). GVfs answers a request for a share
// that is mounted already (by anyone) with "already mounted": no new mount.
//
// Credential requests are answered with the cached credentials of the
// server, else anonymously; after that, an interactive mount asks the user
// through the prompt, a non-interactive one gives up. Credentials that
// worked go into the cache. The cache and the prompt (may be null: never
// interactive) must outlive this object.
class GvfsMounter {
  public:
    GvfsMounter(CredentialCache& cache, CredentialPrompt* prompt, int timeoutMs = 10000);

    // True when GIO here can mount smb:// locations at all (GVfs with its
    // SMB backend); false on a desktop without GVfs.
    static bool CanMountSmb();

    // Mounts smb://server/share. 0 and the FUSE path of the share (empty
    // when GVfs has no FUSE folder), or an error code with *message GIO's
    // text for it. *existed (may be null) tells a mount found already there.
    int Mount(const QString& server, const QString& share, bool interactive, QWidget* owner,
              QString* fusePath, QString* message, bool* existed = nullptr);

    // Mounts every task at once, never asking the user; all of it ends
    // within about timeoutMs.
    void MountAll(std::vector<MountTask>* tasks, int timeoutMs);

    // Unmounts smb://server/share, never forced: 0 (also when it was not
    // mounted), 2404 while files are open there (it stays mounted), or
    // another error code with *message GIO's text.
    int Unmount(const QString& server, const QString& share, QString* message);

    // The error code for a GIO error (domain and code) and its message.
    static int CodeForGioError(unsigned int domain, int code, const QString& message);

  private:
    void Run(std::vector<MountTask>* tasks, bool interactive, QWidget* owner, int timeoutMs);

    CredentialCache& cache_;
    CredentialPrompt* prompt_;
    int timeoutMs_;

    friend struct MountRun;
};

}  // namespace drives
