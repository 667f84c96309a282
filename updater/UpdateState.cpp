#include "updater/UpdateState.h"

#include <atomic>

namespace norvale::updater {
namespace {

std::atomic<UpdateState> g_state{UpdateState::Running};

}  // namespace

UpdateState GetUpdateState() {
    return g_state.load();
}

void SetUpdateState(UpdateState state) {
    g_state.store(state);
}

bool ChangeUpdateState(UpdateState from, UpdateState to) {
    return g_state.compare_exchange_strong(from, to);
}

}  // namespace norvale::updater
