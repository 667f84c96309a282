#include "skin/MessageBoxSkin.h"

#include <mutex>

namespace {

std::mutex& SkinMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxSkin& SkinRecord() {
    static MessageBoxSkin skin;
    return skin;
}

constexpr MessageBoxButton kFlags[4] = {BTN_YES, BTN_NO, BTN_OK, BTN_CANCEL};

}  // namespace

void SetMessageBoxSkin(const MessageBoxSkin* skin) {
    if (!skin) return;
    std::lock_guard<std::mutex> lock(SkinMutex());
    SkinRecord() = *skin;
}

MessageBoxSkin GetMessageBoxSkin() {
    std::lock_guard<std::mutex> lock(SkinMutex());
    return SkinRecord();
}

MessageBoxButtonPlan PlanMessageBoxButtons(int buttonSet, const QSize& stripSize) {
    MessageBoxButtonPlan plan;
    int counted = 0;
    for (int i = 0; i < 4; ++i) {
        plan.shown[i] = (buttonSet & kFlags[i]) != 0;
        if (plan.shown[i]) ++counted;
    }
    if (counted == 0) plan.shown[2] = true;  // OK alone, placed as the first slot
    const QSize button(stripSize.width() / 4, stripSize.height());
    int left = counted == 1 ? 300 - stripSize.width() / 8 : 452;
    for (int i = 3; i >= 0; --i) {
        if (!plan.shown[i]) continue;
        plan.rects[i] = QRect(QPoint(left, 178), button);
        left -= button.width() + 30;
    }
    return plan;
}
