#pragma once

#include <QString>

#include "drives/Credentials.h"

class QWidget;

namespace drives {

// Mounts and unmounts SMB shares through GVfs (GIO), blocking the calling
// thread (the interface thread) meanwhile: the GIO calls run on a private
// main context that only this object iterates, so no other event of the
// program is handled in between. Every network wait is bounded by the
// timeout (time spent in the credential prompt does not count).
//
// Credential requests are answered with the cached credentials of the
// server, else anonymously; after that, an interactive mount asks the user
// through the prompt, a non-interactive one gives up. Credentials that
// worked go into the cache. The cache and the prompt (may be null: never
// interactive) must outlive this object.
class GvfsMounter {
  public:
    GvfsMounter(CredentialCache& cache, CredentialPrompt* prompt, int timeoutMs = 10000);

    // Mounts smb://server/share (a mount that already exists counts as
    // made). 0 and the FUSE path of the share (empty when GVfs has no FUSE
    // folder), or an error code with *message GIO's text for it.
    int Mount(const QString& server, const QString& share, bool interactive, QWidget* owner,
              QString* fusePath, QString* message);

    // Unmounts smb://server/share, forced. 0 also when it was not mounted.
    int Unmount(const QString& server, const QString& share, QString* message);

    // The error code for a GIO error (domain and code) and its message.
    static int CodeForGioError(unsigned int domain, int code, const QString& message);

  private:
    CredentialCache& cache_;
    CredentialPrompt* prompt_;
    int timeoutMs_;

    friend struct MountRun;
};

}  // namespace drives
