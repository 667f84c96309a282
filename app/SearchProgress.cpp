#include "app/SearchProgress.h"

namespace norvale::app {
namespace {

// Back to column 0 and clear to the end of the line.
constexpr const char* kEraseLine = "\r\x1b[K";

}  // namespace

SearchProgress::SearchProgress(QTextStream& err, bool interactive, std::function<int()> deviceCount)
    : err_(err), interactive_(interactive), deviceCount_(std::move(deviceCount)) {
    tick_.setInterval(1000);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &SearchProgress::Refresh);
}

void SearchProgress::Start() {
    if (!interactive_ || erased_) return;
    clock_.start();
    tick_.start();
    Refresh();
}

void SearchProgress::Refresh() {
    if (!interactive_ || erased_ || !clock_.isValid()) return;
    const int count = deviceCount_();
    // Rounded: a tick may come a little early.
    const qint64 seconds = (clock_.elapsed() + 500) / 1000;
    if (count == lastCount_ && seconds == lastSeconds_) return;
    lastCount_ = count;
    lastSeconds_ = seconds;
    err_ << kEraseLine
         << QStringLiteral("Searching for devices... %1 s, %2 found")
                .arg(seconds)
                .arg(count == 1 ? QStringLiteral("1 device")
                                : QStringLiteral("%1 devices").arg(count));
    err_.flush();
    shown_ = true;
}

void SearchProgress::Erase() {
    if (erased_) return;
    erased_ = true;
    tick_.stop();
    if (!shown_) return;
    err_ << kEraseLine;
    err_.flush();
}

}  // namespace norvale::app
