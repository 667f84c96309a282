#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QRgb>

#include "skin/FocusCue.h"
#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

class QKeyEvent;

// Caption colour and weight for a button state.
struct ButtonTextLook {
    QRgb color = 0;
    bool bold = false;
};

// The push button of both programs: a cell of a PNG strip as its face over
// the pixels of the skinned dialog behind it, and its caption (the button's
// text) in one of four colours. It is pressed by the mouse, by Space (down on
// the press, clicked on the release) or by Enter, which clicks it at once and
// never reaches the dialog. Tab and Shift+Tab move on; the page, Home/End and
// arrow keys are swallowed. While it has the keyboard focus from the keyboard
// it shows a dotted frame in its normal caption colour (FocusCue).
//
// Hover: the pointer entering the button highlights it and gives it the
// focus; the highlight stays on the last entered button until another
// control takes the focus or the window is deactivated (leaving the button
// or clicking the dialog background does not remove it). With keep-focus
// (on by default) the button takes the focus back when it would pass to its
// parent. With notify-on-enter, entering emits pointerEntered.
class CLuButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CLuButton(QWidget* parent = nullptr);

    // Face cells from the strip (image, x0, y0, totalWidth, height) of
    // cellCount cells: slot i gets cell i (normal, hover, pressed, disabled,
    // spare). cellCount must be 1 to 5; otherwise nothing is set and 0 is
    // returned, else 1.
    int SetImages(const QImage& image, int x0, int y0, int totalWidth, int height, int cellCount);
    const FaceSlots& Faces() const { return faces_; }
    // Width and height of one cell: the button's natural size.
    QSize FaceSize() const { return faces_.FaceSize(); }

    void SetTextAlign(StringAlign horizontal, StringAlign vertical, bool repaint = true);
    // Caption face and em size in points (96 DPI).
    void SetFont(const QString& face, double points);
    void SetFontSize(double points) { SetFont(fontFace_, points); }
    // The four caption colours (ARGB) and whether a pressed caption is bold.
    void SetTextColors(QRgb normal, QRgb pressed, QRgb hover, QRgb disabled, bool boldWhenPressed);
    // Pixels by which the caption's left edge moves right.
    void SetTextInset(int pixels);
    // GDI+ text rendering hint; 1 and 2 draw without anti-aliasing.
    void SetTextRenderingHint(int hint);
    void SetNotifyOnEnter(bool notify) { notifyOnEnter_ = notify; }
    void SetKeepFocus(bool keep) { keepFocus_ = keep; }
    // Off: DrawBackground() paints under the face instead of the copy of the
    // skinned dialog's pixels.
    void SetTransparentBackground(bool transparent);
    void SetControlId(int id) { controlId_ = id; }

    int ControlId() const { return controlId_; }
    bool IsHovered() const { return hovered_; }
    QString FontFace() const { return fontFace_; }
    double FontSize() const { return fontSize_; }
    StringAlign HorizontalAlign() const { return hAlign_; }
    StringAlign VerticalAlign() const { return vAlign_; }
    ButtonTextLook TextLookFor(bool disabled, bool pressed, bool hovered) const;

    QSize sizeHint() const override;

  signals:
    // The pointer entered the button (only with notify-on-enter); pos in
    // button coordinates.
    void pointerEntered(int controlId, const QPoint& pos);
    void hoveredChanged(bool hovered);
    void appearanceChanged();

  protected:
    // Paints under the face when the transparent background is off; the
    // base paints nothing.
    virtual void DrawBackground(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void SetHovered(bool hovered);
    void Changed();
    bool HandleKeyPress(QKeyEvent* event);

    FaceSlots faces_;
    QString fontFace_;
    double fontSize_ = 13;
    int renderingHint_ = 4;
    StringAlign hAlign_ = StringAlign::Near;
    StringAlign vAlign_ = StringAlign::Center;
    int textInset_ = 0;
    QRgb normalColor_ = 0xFFFFFFFF;
    QRgb pressedColor_ = 0xFF000000;
    QRgb hoverColor_ = 0xFFFFFF00;
    QRgb disabledColor_ = 0xFF808080;
    bool boldWhenPressed_ = false;
    bool transparentBackground_ = true;
    bool notifyOnEnter_ = false;
    bool keepFocus_ = true;
    bool hovered_ = false;
    int controlId_ = 0;
    FocusCue focusCue_;
};

// True for the keys a skinned control keeps from its dialog without acting
// on them unless it has a use for them: Page Up/Down, End, Home and the four
// arrows.
bool IsSkinNavigationKey(int key);

// True for Return and the keypad's Enter, without other modifiers.
bool IsEnterKey(const QKeyEvent& event);

// Accepts a key press or release of a navigation key and returns true, so a
// control's event() stops there; returns false for every other event.
bool SwallowSkinNavigationKey(QEvent* event);
