#pragma once

// Drives windows from the keyboard as a user does: keys go to the widget
// that has the application's focus, and a modal window that a key opens is
// answered from inside its own modal run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace norvale::test {

// Clicks key (with modifiers) on the focused widget; false when nothing has
// the focus.
inline bool Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return false;
    QTest::keyClick(focus, key, modifiers);
    return true;
}

// The widgets that have the focus after each of `steps` presses of key (Tab
// or Backtab); null entries where nothing had it.
inline std::vector<QWidget*> FocusWalk(Qt::Key key, int steps) {
    std::vector<QWidget*> visited;
    for (int i = 0; i < steps; ++i) {
        Press(key);
        visited.push_back(QApplication::focusWidget());
    }
    return visited;
}

// Activates window (again, after a modal window over it closed, as a window
// manager does: the offscreen platform leaves no window active) and waits
// until it is the application's active window. A dialog over its owner
// counts as active for QWindow while its owner is, so that is not enough.
inline bool Reactivate(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

inline bool ShowActive(QWidget* window) {
    window->show();
    return Reactivate(window);
}

// Runs act once the next modal window of type T is up and active, from
// inside its modal run. The caller then opens it (usually with a key). A
// window that act left open is closed, so a failing test cannot hang.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal || !modal->isActiveWindow()) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
        if (modal->isVisible()) {
            ADD_FAILURE() << "the modal window stayed open";
            modal->done(0);
        }
    });
    timer->start();
}

}  // namespace norvale::test
