#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "updater/InstallControl.h"
#include "updater/MinisignPublicKey.h"

namespace norvale::updater {

// What the worker reports to; implemented by the progress dialog, which
// outlives the worker (it waits for the worker's thread before it closes).
class UpdateWorkerHost {
  public:
    virtual ~UpdateWorkerHost() = default;
    // Blocking: shows text 112 on the interface thread, returns when closed.
    virtual void ShowCopyFailure() = 0;
    // Thread-safe: queues the completion to the dialog.
    virtual void PostUpdateDone() = 0;
};

// Everything one update needs, copied to the worker's thread.
struct UpdateJob {
    // The archive's address; its signature is at the same address + ".minisig".
    QString link;
    // The installation's root, the folder holding "current" (VersionedInstall).
    QString installFolder;
    // The running program's "VER:..." token; the archive's release must be newer.
    QString versionToken;
    // The keys whose signatures are accepted.
    std::vector<MinisignPublicKey> trustedKeys;
    // Seconds since 1970 (UTC) when asked; null: the system clock.
    std::function<std::int64_t()> clock;
    // Sees every install step; null: nothing (tests inject faults here).
    std::function<bool(InstallStep)> installHook;
};

// The names of the downloads and the unpacking folder inside the private
// temporary folder.
inline constexpr char kArchiveFileName[] = "Norvale.zip";
inline constexpr char kSignatureFileName[] = "Norvale.zip.minisig";
inline constexpr char kExtractFolderName[] = "Norvale Discover";
// A signature file is a few hundred bytes.
inline constexpr std::uint64_t kMaxSignatureBytes = 4096;

// The worker thread's body. In order: fetches the signature and checks its
// key, its comment and the release it names (newer than the running one, not
// expired); downloads the archive and checks it against the signature before
// a byte is unpacked; unpacks it into an emptied folder; installs it as a new
// release of the installation and switches to it. Ends in Succeeded, Failed
// (download or unpacking), Refused (signature or release not accepted) or,
// for an install that failed or an installation that cannot be changed,
// ShowCopyFailure then Aborted; each with PostUpdateDone. A cancel (Aborted)
// seen before the switch ends the work without a post and leaves the
// installation as it was; once the state is Switching the install finishes.
// The downloads and the unpacking folder are removed at the end whatever
// happened. Call with the state set to Running.
void RunUpdateWorker(const UpdateJob& job, UpdateWorkerHost& host);

}  // namespace norvale::updater
