#include "updater/UpdateProgress.h"

namespace norvale::updater {

UpdateProgress& Progress() {
    static UpdateProgress progress;
    return progress;
}

}  // namespace norvale::updater
