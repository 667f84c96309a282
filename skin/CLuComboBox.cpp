#include "skin/CLuComboBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "skin/CLuButton.h"
#include "skin/CLuComboBoxListWnd.h"
#include "skin/CLuDialog.h"
#include "skin/CLuListBox.h"
#include "skin/SkinAccessibility.h"
#include "skin/SkinFonts.h"
#include "skin/SkinText.h"

namespace {

// The skin's list colours, matching the scroll-bar bitmap.
constexpr QRgb kListBand = 0xFF1B2838;
constexpr QRgb kListSelected = 0xFF2F7FD8;
constexpr QRgb kListText = 0xFFFFFFFF;
constexpr int kStandardRows = 6;

}  // namespace

void ApplyStandardComboSkin(CLuComboBox& combo) {
    const QImage face = LoadPngResource(kComboFaceImageId);
    if (!face.isNull()) combo.SetImages(face, 0, 0, face.width(), face.height(), 4);
    combo.SetScrollBitmap(LoadPngResource(kScrollBarImageId));
    CLuListBox* list = combo.ListBox();
    list->SetItemFont(SkinFaceName(), 12);
    list->SetColors(kListBand, kListSelected, kListText);
    if (list->MaxVisibleRows() == 0) list->SetMaxVisibleRows(kStandardRows);
}

CLuComboBox::CLuComboBox(QWidget* parent) : QWidget(parent), fontFace_(SkinFaceName()) {
    EnsureSkinFonts();
    EnsureSkinAccessibility();
    WatchInputKind();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    dropDown_ = new CLuComboBoxListWnd(this);
    connect(dropDown_, &CLuComboBoxListWnd::chosen, this, &CLuComboBox::OnChosen);
    connect(dropDown_, &CLuComboBoxListWnd::closed, this, [this] { update(); });
}

CLuComboBox::~CLuComboBox() = default;

bool CLuComboBox::Create(const QRect& rect, QWidget* ownerDialog, int controlId) {
    if (!ownerDialog) return false;
    owner_ = ownerDialog;
    controlId_ = controlId;
    if (!parentWidget()) setParent(ownerDialog);
    QRect place = rect;
    if (parentWidget() != ownerDialog) {
        place.moveTopLeft(parentWidget()->mapFromGlobal(ownerDialog->mapToGlobal(rect.topLeft())));
    }
    setGeometry(place);
    show();
    return true;
}

int CLuComboBox::SetImages(const QImage& image, int x0, int y0, int totalWidth, int height,
                           int cellCount) {
    if (!faces_.SetImages(image, x0, y0, totalWidth, height, cellCount)) return 0;
    update();
    return 1;
}

void CLuComboBox::SetScrollBitmap(const QImage& bitmap) {
    dropDown_->SetScrollBitmap(bitmap);
}

CLuListBox* CLuComboBox::ListBox() const {
    return dropDown_->ListBox();
}

void CLuComboBox::SetCurSel(int index) {
    CLuListBox* list = ListBox();
    if (index < 0 || index >= list->GetCount()) return;
    list->SetCurSel(index);
    list->SetCommittedSelection(index);
    SetCaption(list->GetText(index));
}

int CLuComboBox::GetCurSel() const {
    return ListBox()->GetCurSel();
}

QString CLuComboBox::GetCurText() const {
    const CLuListBox* list = ListBox();
    return list->GetText(list->GetCurSel());
}

void CLuComboBox::SetFont(const QString& face, double points) {
    if (fontFace_ == face && fontSize_ == points) return;
    fontFace_ = face;
    fontSize_ = points;
    update();
}

void CLuComboBox::SetTextInset(int pixels) {
    if (textInset_ == pixels) return;
    textInset_ = pixels;
    update();
}

void CLuComboBox::SetTextAlign(StringAlign horizontal, StringAlign vertical) {
    if (hAlign_ == horizontal && vAlign_ == vertical) return;
    hAlign_ = horizontal;
    vAlign_ = vertical;
    update();
}

void CLuComboBox::SetTextColors(QRgb normal, QRgb pressed, QRgb hover, QRgb disabled) {
    normalColor_ = normal;
    pressedColor_ = pressed;
    hoverColor_ = hover;
    disabledColor_ = disabled;
    update();
}

void CLuComboBox::SetCaption(const QString& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    update();
}

void CLuComboBox::SetHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    update();
}

bool CLuComboBox::IsDroppedDown() const {
    return dropDown_->isVisible();
}

QRectF CLuComboBox::CaptionRect() const {
    const int left = kCaptionLeft + textInset_;
    return QRectF(left, 0, std::max(0, width() - left - kArrowRoom), height());
}

namespace {

TextFormat CaptionFormat(StringAlign horizontal, StringAlign vertical) {
    TextFormat format;
    format.horizontal = horizontal;
    format.vertical = vertical;
    format.noWrap = true;
    format.ellipsis = true;
    return format;
}

}  // namespace

QString CLuComboBox::ShownCaption() const {
    const auto lines = SkinText::Layout(caption_, SkinFont(fontFace_, fontSize_, kFontBold),
                                        CaptionRect(), CaptionFormat(hAlign_, vAlign_));
    return lines.empty() ? QString() : lines.front().text;
}

QRgb CLuComboBox::CaptionColor() const {
    if (!isEnabled()) return disabledColor_;
    if (pressed_) return pressedColor_;
    return hovered_ ? hoverColor_ : normalColor_;
}

void CLuComboBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CopyParentBackground(this, painter, rect());
    const ImagePart& normal = faces_.Slot(FaceSlots::kNormal);
    if (normal.IsSet()) {
        // The open drop-down shows the pressed face, like a checked button.
        const bool down = pressed_ || IsDroppedDown();
        const ImagePart& face = faces_.Slot(FaceSlots::SlotFor(!isEnabled(), down, hovered_));
        if (face.IsSet()) {
            QRect source = face.source;
            if (width() < source.width()) {
                // Keep the arrow at the cell's right end visible.
                source.setLeft(source.right() + 1 - width());
                painter.drawImage(rect(), face.image, source);
            } else {
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.drawImage(rect(), face.image, source);
            }
        }
    }
    if (!caption_.isEmpty()) {
        SkinText::Draw(painter, caption_, SkinFont(fontFace_, fontSize_, kFontBold),
                       ArgbColor(CaptionColor()), CaptionRect(), CaptionFormat(hAlign_, vAlign_));
    }
    if (focusCue_.Shown(*this)) DrawFocusMark(painter, FocusMarkFrame(rect()), normalColor_);
}

bool CLuComboBox::ShowDropDown() {
    if (IsDroppedDown()) return true;
    const QRect button(mapToGlobal(QPoint(0, 0)), size());
    const bool opened = dropDown_->Open(button);
    update();
    return opened;
}

void CLuComboBox::HideDropDown() {
    dropDown_->Cancel();
}

void CLuComboBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    SetHovered(false);
    setFocus(Qt::MouseFocusReason);
    if (IsDroppedDown()) {
        HideDropDown();
    } else if (!ShowDropDown()) {
        pressed_ = true;  // nothing to open: the face shows the press
        update();
    }
}

void CLuComboBox::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    update();
}

void CLuComboBox::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (IsDroppedDown()) return;
    SetHovered(rect().contains(event->position().toPoint()));
}

void CLuComboBox::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    // The hover look stays; an open drop-down closes unless the pointer went
    // onto it.
    if (IsDroppedDown() && !dropDown_->DropDownRect().contains(QCursor::pos())) HideDropDown();
}

void CLuComboBox::keyPressEvent(QKeyEvent* event) {
    const bool altDown = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    const bool press = event->key() == Qt::Key_Space || IsEnterKey(*event);
    if (altDown || press || event->key() == Qt::Key_F4) {
        if (focusCue_.KeyUsed()) update();
        ShowDropDown();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CLuComboBox::focusInEvent(QFocusEvent* event) {
    focusCue_.FocusIn(event->reason());
    QWidget::focusInEvent(event);
    // With the drop-down open the keys belong to its list; the focus coming
    // back from the closing drop-down stays here.
    if (IsDroppedDown() && event->reason() != Qt::PopupFocusReason) {
        ListBox()->setFocus(Qt::PopupFocusReason);
    }
}

void CLuComboBox::focusOutEvent(QFocusEvent* event) {
    focusCue_.FocusOut();
    QWidget::focusOutEvent(event);
    // Opening the drop-down itself takes the focus away (popup reason).
    if (event->reason() == Qt::PopupFocusReason) return;
    QWidget* next = QApplication::focusWidget();
    if (IsDroppedDown() && next && next != this && next != dropDown_ &&
        !dropDown_->isAncestorOf(next)) {
        HideDropDown();
    }
}

void CLuComboBox::OnChosen(int index) {
    CLuListBox* list = ListBox();
    if (updateCaption_) {
        SetCaption(list->GetText(index));
        repaint();
    }
    list->SetCommittedSelection(index);
    list->SetCurSel(index);
    const int id = controlId_;
    QMetaObject::invokeMethod(
        this, [this, id, index] { emit choiceMade(id, index); }, Qt::QueuedConnection);
}
