#include "skin/FocusCue.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace {

// Notes, for the whole application, whether the last press was a key or a
// pointer button. Lives as a child of the application.
class InputKindWatcher : public QObject {
  public:
    using QObject::QObject;
    bool lastWasKey = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                lastWasKey = true;
                break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::TouchBegin:
                lastWasKey = false;
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

QPointer<InputKindWatcher>& Watcher() {
    static QPointer<InputKindWatcher> watcher;
    return watcher;
}

}  // namespace

void WatchInputKind() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || Watcher()) return;
    Watcher() = new InputKindWatcher(app);
    app->installEventFilter(Watcher());
}

bool LastInputWasKey() {
    return Watcher() && Watcher()->lastWasKey;
}

void FocusCue::FocusIn(Qt::FocusReason reason) {
    shown_ = reason != Qt::MouseFocusReason && LastInputWasKey();
}

bool FocusCue::KeyUsed() {
    if (shown_) return false;
    shown_ = true;
    return true;
}

bool FocusCue::Shown(const QWidget& control) const {
    return shown_ && control.hasFocus();
}

QRect FocusMarkFrame(const QRect& control) {
    return control.adjusted(4, 4, -4, -4);
}

void DrawFocusMark(QPainter& painter, const QRect& frame, QRgb argb) {
    if (frame.width() < 1 || frame.height() < 1) return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QColor color = QColor::fromRgb(qRgb(qRed(argb), qGreen(argb), qBlue(argb)));
    const auto dot = [&](int x, int y) {
        if ((x - frame.left() + y - frame.top()) % 2 == 0) painter.fillRect(x, y, 1, 1, color);
    };
    for (int x = frame.left(); x <= frame.right(); ++x) {
        dot(x, frame.top());
        dot(x, frame.bottom());
    }
    for (int y = frame.top() + 1; y < frame.bottom(); ++y) {
        dot(frame.left(), y);
        dot(frame.right(), y);
    }
    painter.restore();
}

namespace {

bool TakesTabFocus(const QWidget* widget) {
    // Visible once its window shows: a window still being set up has its
    // first control chosen before it is shown.
    return widget && widget->isVisibleTo(widget->window()) && widget->isEnabled() &&
           (widget->focusPolicy() & Qt::TabFocus);
}

}  // namespace

QWidget* NextInFocusOrder(const QList<QWidget*>& order, const QWidget* current, bool next) {
    const int count = static_cast<int>(order.size());
    if (count == 0) return nullptr;
    const int at = static_cast<int>(order.indexOf(const_cast<QWidget*>(current)));
    // Not in the order: start just outside it, so the first step lands on
    // the first (or last) control.
    const int start = at >= 0 ? at : (next ? count - 1 : 0);
    for (int step = 1; step <= count; ++step) {
        const int index = ((next ? start + step : start - step) % count + count) % count;
        if (TakesTabFocus(order[index])) return order[index];
    }
    return nullptr;
}
