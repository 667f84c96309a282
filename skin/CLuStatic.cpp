#include "skin/CLuStatic.h"

#include <QAccessible>
#include <QPainter>

#include "skin/CLuDialog.h"
#include "skin/SkinAccessibility.h"
#include "skin/SkinFonts.h"
#include "skin/SkinText.h"

namespace {

// Stores value in field; true when that changed it.
template <typename T, typename U>
bool Assign(T& field, const U& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

CLuStatic::CLuStatic(QWidget* parent) : QWidget(parent), fontName_(SkinFaceName()) {
    EnsureSkinFonts();
    EnsureSkinAccessibility();
}

void CLuStatic::Changed() {
    update();
    emit appearanceChanged();
}

void CLuStatic::SetImages(const StaticImages& images) {
    images_ = images;
    faded_ = QImage();
    if (!images.background.isNull() && images.alpha != 255) {
        faded_ = MakeFadedCopy(images.background, qBound(0, images.alpha, 255));
    }
    Changed();
}

void CLuStatic::SetFontStyle(int style, bool repaint) {
    if (fontStyle_ == style) return;
    fontStyle_ = style;
    if (repaint) Changed();
}

void CLuStatic::SetText(const QString& text) {
    if (text_ == text) return;
    text_ = text;
    // The new text shows at once, not when queued paints are handled.
    if (isVisible()) repaint();
    if (QAccessible::isActive() && accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    emit textChanged(text_);
}

void CLuStatic::SetFontName(const QString& name) {
    if (Assign(fontName_, name)) Changed();
}
void CLuStatic::SetFontSize(double points) {
    if (Assign(fontSize_, points)) Changed();
}
void CLuStatic::SetTextColor(QRgb argb) {
    if (Assign(textColor_, argb)) Changed();
}
void CLuStatic::SetFillColor(QRgb argb) {
    if (Assign(fillColor_, argb)) Changed();
}
void CLuStatic::SetHorizontalAlign(StringAlign align) {
    if (Assign(hAlign_, align)) Changed();
}
void CLuStatic::SetVerticalAlign(StringAlign align) {
    if (Assign(vAlign_, align)) Changed();
}
void CLuStatic::SetNoWrap(bool noWrap) {
    if (Assign(noWrap_, noWrap)) Changed();
}
void CLuStatic::SetBackgroundSuppressed(bool suppressed) {
    if (Assign(backgroundSuppressed_, suppressed)) Changed();
}
void CLuStatic::SetStateCount(int count) {
    if (Assign(stateCount_, std::max(1, count))) Changed();
}
void CLuStatic::SetCurrentState(int state) {
    if (Assign(currentState_, state)) Changed();
}
void CLuStatic::SetPictureCentred(bool centred) {
    if (Assign(pictureCentred_, centred)) Changed();
}
void CLuStatic::SetMargins(int left, int top, int right, int bottom) {
    if (Assign(margins_, QMargins(left, top, right, bottom))) Changed();
}

void CLuStatic::SetShadow(bool on, QRgb argb) {
    if (shadow_ == on && shadowColor_ == argb) return;
    shadow_ = on;
    shadowColor_ = argb;
    Changed();
}

QFont CLuStatic::TextFont() const {
    return SkinFont(fontName_, fontSize_, fontStyle_);
}

QRect CLuStatic::MeasureText() const {
    const QSizeF size = SkinText::Measure(text_, TextFont());
    const int left = margins_.left();
    const int top = margins_.top();
    return QRect(QPoint(left, top), QPoint(static_cast<int>(left + size.width()) - 1,
                                           static_cast<int>(top + size.height()) - 1));
}

StaticPictureLayout CLuStatic::Layout() const {
    const bool show = !images_.picture.isNull() && currentState_ >= 0;
    return LayoutStaticPicture(rect(), show, images_.pictureSource.width() / stateCount_,
                               images_.pictureSource.height(), pictureCentred_);
}

void CLuStatic::DrawBackgroundImage(QPainter& painter) const {
    const QRect& source = images_.backgroundSource;
    if (!faded_.isNull()) {
        painter.drawImage(rect(), faded_, source);
        return;
    }
    if (images_.background.isNull() || backgroundSuppressed_) return;
    if (images_.tiled && source.width() > 0 && width() >= source.width()) {
        for (int x = 0; x < width(); x += source.width()) {
            painter.drawImage(QPoint(x, 0), images_.background, source);
        }
    } else {
        painter.drawImage(rect(), images_.background, source);
    }
}

void CLuStatic::DrawText(QPainter& painter, const QRect& textArea) const {
    if (text_.isEmpty()) return;
    const QRectF area = QRectF(textArea.marginsRemoved(margins_));
    TextFormat format;
    format.horizontal = hAlign_;
    format.vertical = vAlign_;
    format.noWrap = noWrap_;
    const QFont font = TextFont();
    if (shadow_) {
        SkinText::Draw(painter, text_, font, ArgbColor(shadowColor_), area.translated(2, 2),
                       format);
    }
    SkinText::Draw(painter, text_, font, ArgbColor(textColor_), area, format);
}

void CLuStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const StaticPictureLayout layout = Layout();
    CopyParentBackground(this, painter, rect());
    if (qAlpha(fillColor_) != 0) painter.fillRect(rect(), ArgbColor(fillColor_));
    DrawBackgroundImage(painter);
    if (!layout.picture.isEmpty()) {
        const int cellWidth = images_.pictureSource.width() / stateCount_;
        const QRect cell(images_.pictureSource.x() + cellWidth * currentState_,
                         images_.pictureSource.y(), cellWidth, images_.pictureSource.height());
        painter.drawImage(layout.picture, images_.picture, cell);
    }
    DrawText(painter, layout.textArea);
}
