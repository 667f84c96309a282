#pragma once

#include <QString>

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

// The archive's address and the folder the main program is installed in.
struct UpdateJob {
    QString link;
    QString installFolder;
};

// The archive and unpacking folder names inside the private temporary folder.
inline constexpr char kArchiveFileName[] = "Norvale.zip";
inline constexpr char kExtractFolderName[] = "Norvale Discover";

// The worker thread's body: downloads the archive into the private temporary
// folder (deleting any earlier archive first), unpacks it into an emptied
// folder there and installs its files into the install folder, all or
// nothing. Ends with Succeeded or Failed (unless the user cancelled first:
// Aborted stays) and PostUpdateDone; a failed install, or an install folder
// that is not an existing absolute folder (checked before downloading),
// calls ShowCopyFailure, then sets Aborted and posts. A cancel seen between
// phases ends the work without a post. Call with the state set to Running.
void RunUpdateWorker(const UpdateJob& job, UpdateWorkerHost& host);

}  // namespace norvale::updater
