#include "skin/CLuDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "skin/FocusCue.h"
#include "skin/SkinAccessibility.h"
#include "skin/SkinFonts.h"
#include "skin/SkinTypes.h"

namespace {

// Where control's (0, 0) lies in dialog's client coordinates.
QPoint OriginIn(const QWidget* control, const CLuDialog* dialog) {
    if (control->window() == dialog->window() && dialog->isAncestorOf(control)) {
        return control->mapTo(dialog, QPoint(0, 0));
    }
    return dialog->mapFromGlobal(control->mapToGlobal(QPoint(0, 0)));
}

}  // namespace

void CenterPopup(QWidget* window, const QWidget* owner) {
    QRect area;
    if (owner) {
        area = owner->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

CLuDialog* FindSkinnedDialog(const QWidget* control) {
    for (QWidget* parent = control ? control->parentWidget() : nullptr; parent;
         parent = parent->parentWidget()) {
        if (auto* dialog = qobject_cast<CLuDialog*>(parent)) return dialog;
    }
    return nullptr;
}

bool CopyParentBackground(const QWidget* control, QPainter& painter, const QRect& area) {
    const CLuDialog* dialog = FindSkinnedDialog(control);
    if (!dialog) return false;
    const QImage& cache = dialog->BackgroundCache();
    const QRect source = area.translated(OriginIn(control, dialog));
    if (!cache.rect().contains(source)) painter.fillRect(area, ArgbColor(dialog->FillColor()));
    const QRect inside = source.intersected(cache.rect());
    if (!inside.isEmpty()) {
        const QPoint target = area.topLeft() + (inside.topLeft() - source.topLeft());
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(target, cache, inside);
        painter.restore();
    }
    return true;
}

CLuDialog::CLuDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {
    EnsureSkinFonts();
    EnsureSkinAccessibility();
    WatchInputKind();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CLuDialog::~CLuDialog() = default;

void CLuDialog::SetBackground(const QImage& image, int sx, int sy, int sw, int sh, int tileMode) {
    image_ = image;
    source_ = QRect(sx, sy, sw, sh);
    tileMode_ = tileMode;
    overParent_ = false;
    parentSnapshot_ = QImage();
    InvalidateCache();
}

void CLuDialog::SetBackgroundOverParent(const QImage& image, int sx, int sy, int sw, int sh) {
    image_ = image;
    source_ = QRect(sx, sy, sw, sh);
    overParent_ = true;
    parentSnapshot_ = QImage();
    if (QWidget* parent = parentWidget()) {
        parentSnapshot_ = parent->grab(QRect(QPoint(0, 0), size())).toImage();
    }
    InvalidateCache();
}

void CLuDialog::SetFillColor(QRgb argb) {
    if (fillColor_ == argb) return;
    fillColor_ = argb;
    InvalidateCache();
}

void CLuDialog::InvalidateCache() {
    MarkDescendantsStale();
    cacheValid_ = false;
    update();
    emit backgroundChanged();
}

void CLuDialog::MarkDescendantsStale() {
    // Skinned dialogs laid over this one built their caches from it.
    for (CLuDialog* child : findChildren<CLuDialog*>()) {
        child->cacheValid_ = false;
        child->update();
    }
}

const QImage& CLuDialog::BackgroundCache() const {
    if (!cacheValid_ || cache_.size() != size()) RebuildCache();
    return cache_;
}

void CLuDialog::RebuildCache() const {
    const QSize client = size();
    cache_ = QImage(client, QImage::Format_ARGB32_Premultiplied);
    cache_.fill(ArgbColor(fillColor_));
    QPainter painter(&cache_);
    if (overParent_) {
        if (!parentSnapshot_.isNull()) painter.drawImage(QPoint(0, 0), parentSnapshot_);
    } else {
        CopyParentBackground(this, painter, QRect(QPoint(0, 0), client));
    }
    DrawImagePart(painter, client);
    cacheValid_ = true;
}

void CLuDialog::DrawImagePart(QPainter& painter, const QSize& size) const {
    if (image_.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (tileMode_ == kTile && source_.width() > 0) {
        for (int x = 0; x < size.width(); x += source_.width()) {
            painter.drawImage(QRect(x, 0, source_.width(), size.height()), image_, source_);
        }
    } else {
        painter.drawImage(QRect(QPoint(0, 0), size), image_, source_);
    }
}

void CLuDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (HasBackgroundImage()) {
        painter.drawImage(QPoint(0, 0), BackgroundCache());
    } else if (!CopyParentBackground(this, painter, rect())) {
        painter.fillRect(rect(), ArgbColor(fillColor_));
    }
}

void CLuDialog::resizeEvent(QResizeEvent* event) {
    cacheValid_ = false;
    MarkDescendantsStale();
    QDialog::resizeEvent(event);
}

void CLuDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragBand_.contains(event->position().toPoint())) {
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemMove()) return;
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - window()->pos();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CLuDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    if (parentWidget()) emit pointerEntered(controlId_, event->position().toPoint());
    QDialog::mouseMoveEvent(event);
}

void CLuDialog::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void CLuDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested();
        event->accept();
        return;
    }
    const int key = event->key();
    if (swallowDialogKeys_ &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CLuDialog::FocusFirstControl(Qt::FocusReason reason) {
    if (QWidget* first = NextInFocusOrder(FocusOrder(), nullptr, true)) first->setFocus(reason);
}

bool CLuDialog::focusNextPrevChild(bool next) {
    const QList<QWidget*> order = isWindow() ? FocusOrder() : QList<QWidget*>();
    if (order.isEmpty()) return QDialog::focusNextPrevChild(next);
    QWidget* target = NextInFocusOrder(order, QApplication::focusWidget(), next);
    if (!target) return false;
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}
