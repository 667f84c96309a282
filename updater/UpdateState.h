#pragma once

namespace norvale::updater {

// Where the update stands, shared by the progress dialog's thread and the
// worker. The dialog sets Running before it starts the worker and Aborted on
// cancel; the worker moves to Succeeded, Failed or Aborted once and ends.
enum class UpdateState : int { Running = 0, Succeeded = 1, Aborted = 2, Failed = 3 };

// Process-wide; safe from any thread.
UpdateState GetUpdateState();
void SetUpdateState(UpdateState state);

// Moves from `from` to `to` only when the state still is `from`; false when
// another thread changed it first (a cancel is never turned into an outcome).
bool ChangeUpdateState(UpdateState from, UpdateState to);

}  // namespace norvale::updater
