#pragma once

#include <QList>
#include <QRect>
#include <QRgb>
#include <Qt>

class QPainter;
class QWidget;

// The keyboard focus mark of a skinned control. A control shows the mark
// only while it holds the focus and the user is working with the keyboard:
// the focus came by any way but the pointer while the last input was a key
// (Tab, or a window opened by a key), or a key was handled in the control
// since. A control that took the focus from the pointer (hover, click) looks
// exactly as it would without a keyboard.
class FocusCue {
  public:
    // From focusInEvent.
    void FocusIn(Qt::FocusReason reason);
    // From focusOutEvent.
    void FocusOut() { shown_ = false; }
    // A key was handled by the control; true when the mark appeared now (the
    // control repaints).
    bool KeyUsed();
    bool Shown(const QWidget& control) const;

  private:
    bool shown_ = false;
};

// Starts watching the kind of the user's input for the whole application
// (once; skinned controls call it when they are made). Needs a QApplication.
void WatchInputKind();
// True when the user's last press was a key rather than a pointer button.
bool LastInputWasKey();

// Draws the mark: a one-pixel dotted frame on the edge pixels of frame
// (every other pixel, starting at the top-left corner), in argb made opaque.
void DrawFocusMark(QPainter& painter, const QRect& frame, QRgb argb);
// The frame of the mark in a control of the given rectangle: 4 pixels in,
// inside the border of the skin's faces and rows.
QRect FocusMarkFrame(const QRect& control);

// The control Tab (next) or Shift+Tab visits after current in order: the
// next one in the cycle that is visible (or will be once its window shows),
// enabled and takes Tab focus. When
// current is not in order, the first (or last) such control. Null when none
// qualifies.
QWidget* NextInFocusOrder(const QList<QWidget*>& order, const QWidget* current, bool next);
