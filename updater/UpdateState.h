#pragma once

namespace norvale::updater {

// Where the update stands, shared by the progress dialog's thread and the
// worker. The dialog sets Running before it starts the worker and asks for a
// cancel with RequestCancel; the worker moves to Switching just before it
// makes the new release current (a cancel no longer applies from then on),
// and ends in Succeeded, Failed, Refused or Aborted.
enum class UpdateState : int {
    Running = 0,
    Succeeded = 1,
    Aborted = 2,    // cancelled, or a failed install already reported
    Failed = 3,     // the download or the unpacking failed
    Refused = 4,    // the archive's signature or release was not accepted
    Switching = 5,  // making the new release current; no longer cancellable
};

// Process-wide; safe from any thread.
UpdateState GetUpdateState();
void SetUpdateState(UpdateState state);

// Moves from `from` to `to` only when the state still is `from`; false when
// another thread changed it first (a cancel is never turned into an outcome).
bool ChangeUpdateState(UpdateState from, UpdateState to);

// The user's cancel: Running becomes Aborted. False when the worker was past
// the switch (or done) already; its outcome then stands.
inline bool RequestCancel() {
    return ChangeUpdateState(UpdateState::Running, UpdateState::Aborted);
}

}  // namespace norvale::updater
