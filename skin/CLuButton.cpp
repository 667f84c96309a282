#include "skin/CLuButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "skin/CLuDialog.h"
#include "skin/SkinFonts.h"
#include "skin/SkinText.h"

bool IsSkinNavigationKey(int key) {
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            return true;
        default:
            return false;
    }
}

bool IsEnterKey(const QKeyEvent& event) {
    const int key = event.key();
    return (key == Qt::Key_Return || key == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool SwallowSkinNavigationKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (!IsSkinNavigationKey(static_cast<QKeyEvent*>(event)->key())) return false;
    event->accept();
    return true;
}

CLuButton::CLuButton(QWidget* parent) : QAbstractButton(parent), fontFace_(SkinFaceName()) {
    EnsureSkinFonts();
    WatchInputKind();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CLuButton::Changed() {
    update();
    emit appearanceChanged();
}

int CLuButton::SetImages(const QImage& image, int x0, int y0, int totalWidth, int height,
                         int cellCount) {
    if (!faces_.SetImages(image, x0, y0, totalWidth, height, cellCount)) return 0;
    updateGeometry();
    Changed();
    return 1;
}

void CLuButton::SetTextAlign(StringAlign horizontal, StringAlign vertical, bool repaint) {
    if (hAlign_ == horizontal && vAlign_ == vertical) return;
    hAlign_ = horizontal;
    vAlign_ = vertical;
    if (repaint) Changed();
}

void CLuButton::SetFont(const QString& face, double points) {
    if (fontFace_ == face && fontSize_ == points) return;
    fontFace_ = face;
    fontSize_ = points;
    Changed();
}

void CLuButton::SetTextColors(QRgb normal, QRgb pressed, QRgb hover, QRgb disabled,
                              bool boldWhenPressed) {
    if (normalColor_ == normal && pressedColor_ == pressed && hoverColor_ == hover &&
        disabledColor_ == disabled && boldWhenPressed_ == boldWhenPressed) {
        return;
    }
    normalColor_ = normal;
    pressedColor_ = pressed;
    hoverColor_ = hover;
    disabledColor_ = disabled;
    boldWhenPressed_ = boldWhenPressed;
    Changed();
}

void CLuButton::SetTextInset(int pixels) {
    if (textInset_ == pixels) return;
    textInset_ = pixels;
    Changed();
}

void CLuButton::SetTextRenderingHint(int hint) {
    if (renderingHint_ == hint) return;
    renderingHint_ = hint;
    Changed();
}

void CLuButton::SetTransparentBackground(bool transparent) {
    if (transparentBackground_ == transparent) return;
    transparentBackground_ = transparent;
    Changed();
}

ButtonTextLook CLuButton::TextLookFor(bool disabled, bool pressed, bool hovered) const {
    if (disabled) return {disabledColor_, false};
    if (pressed) return {pressedColor_, boldWhenPressed_};
    return {hovered ? hoverColor_ : normalColor_, false};
}

QSize CLuButton::sizeHint() const {
    const QSize face = FaceSize();
    return face.isEmpty() ? QSize(75, 23) : face;
}

void CLuButton::DrawBackground(QPainter&) {}

void CLuButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (transparentBackground_) {
        CopyParentBackground(this, painter, rect());
    } else {
        DrawBackground(painter);
    }
    const bool disabled = !isEnabled();
    if (faces_.Slot(FaceSlots::kNormal).IsSet()) {
        const ImagePart& face = faces_.Slot(FaceSlots::SlotFor(disabled, isDown(), hovered_));
        if (face.IsSet()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(rect(), face.image, face.source);
        }
    }
    if (!text().isEmpty()) {
        const ButtonTextLook look = TextLookFor(disabled, isDown(), hovered_);
        TextFormat format;
        format.horizontal = hAlign_;
        format.vertical = vAlign_;
        format.antialias = renderingHint_ != 1 && renderingHint_ != 2;
        SkinText::Draw(painter, text(), SkinFont(fontFace_, fontSize_, look.bold ? kFontBold : 0),
                       ArgbColor(look.color), QRectF(rect().adjusted(textInset_, 0, 0, 0)), format);
    }
    if (focusCue_.Shown(*this)) DrawFocusMark(painter, FocusMarkFrame(rect()), normalColor_);
}

void CLuButton::SetHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    update();
    emit hoveredChanged(hovered);
}

void CLuButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    // Dragging onto a button does not highlight it.
    if ((event->buttons() & Qt::LeftButton) && !hovered_) return;
    const QPoint pos = event->position().toPoint();
    if (hovered_ || !rect().contains(pos) || !QApplication::activeWindow()) return;
    SetHovered(true);
    setFocus(Qt::MouseFocusReason);
    if (notifyOnEnter_) emit pointerEntered(controlId_, pos);
}

void CLuButton::focusInEvent(QFocusEvent* event) {
    focusCue_.FocusIn(event->reason());
    QAbstractButton::focusInEvent(event);
}

void CLuButton::focusOutEvent(QFocusEvent* event) {
    focusCue_.FocusOut();
    QAbstractButton::focusOutEvent(event);
    if (!hovered_) return;
    QWidget* next = QApplication::focusWidget();
    if (keepFocus_ && next && next == parentWidget()) {
        // Stay highlighted and take the focus back once the change is over.
        QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
        return;
    }
    SetHovered(false);
}

void CLuButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        SetHovered(false);
    } else if (event->type() == QEvent::EnabledChange && isEnabled() && !hasFocus()) {
        SetHovered(false);
        update();
    }
    QAbstractButton::changeEvent(event);
}

bool CLuButton::HandleKeyPress(QKeyEvent* event) {
    const bool enter = IsEnterKey(*event);
    if (!enter && event->key() != Qt::Key_Space) return false;
    if (focusCue_.KeyUsed()) update();
    if (!enter) return false;  // Space: pressed now, clicked on the release
    event->accept();
    // The click may end the dialog: nothing of this button is used after it.
    if (!event->isAutoRepeat()) click();
    return true;
}

bool CLuButton::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKeyPress(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    if (SwallowSkinNavigationKey(event)) return true;
    return QAbstractButton::event(event);
}
