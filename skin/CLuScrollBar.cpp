#include "skin/CLuScrollBar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "skin/SkinImage.h"

namespace {

constexpr int kColumns = 9;
constexpr int kRows = 3;
constexpr int kCapLength = 3;

// Cell columns of a vertical bar; a horizontal bar's are 4 further on.
constexpr int kFirstArrowColumn = 0;
constexpr int kSecondArrowColumn = 1;
constexpr int kThumbColumn = 2;
constexpr int kTrackColumn = 3;
constexpr int kHorizontalShift = 4;

// Repeats `source` along the bar over `target` without scaling, the last
// copy clipped at the target's end; across the bar the cell is copied when
// the sizes match and stretched otherwise.
void TileAlong(QPainter& painter, const QRect& target, const QImage& image, const QRect& source,
               bool vertical) {
    const int step = vertical ? source.height() : source.width();
    const int length = vertical ? target.height() : target.width();
    if (step <= 0) return;
    for (int offset = 0; offset < length; offset += step) {
        const int piece = std::min(step, length - offset);
        if (vertical) {
            painter.drawImage(QRect(target.left(), target.top() + offset, target.width(), piece),
                              image, QRect(source.left(), source.top(), source.width(), piece));
        } else {
            painter.drawImage(QRect(target.left() + offset, target.top(), piece, target.height()),
                              image, QRect(source.left(), source.top(), piece, source.height()));
        }
    }
}

}  // namespace

CLuScrollBar::CLuScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    delayTimer_.setSingleShot(true);
    delayTimer_.setInterval(kRepeatDelayMs);
    repeatTimer_.setInterval(kRepeatIntervalMs);
    connect(&delayTimer_, &QTimer::timeout, this,
            [this] { repeatTimer_.start(repeatIntervalMs_); });
    connect(&repeatTimer_, &QTimer::timeout, this, &CLuScrollBar::OnRepeatTick);
}

void CLuScrollBar::SetBitmap(const QImage& bitmap) {
    bitmap_ = bitmap;
    if (!bitmap_.isNull()) cell_ = bitmap_.width() / kColumns;
    const int thickness = orientation_ == Qt::Vertical ? cell_ : bitmap_.height() / kRows;
    if (!bitmap_.isNull()) {
        if (orientation_ == Qt::Vertical) {
            resize(thickness, height());
        } else {
            resize(width(), thickness);
        }
    }
    update();
}

void CLuScrollBar::SetScrollInfo(const ScrollState& state, bool redraw) {
    if (state_.SameScroll(state)) return;
    state_.min = state.min;
    state_.max = state.max;
    state_.page = state.page;
    state_.pos = state.pos;
    if (redraw) update();
}

ScrollBarGeometry CLuScrollBar::Geometry() const {
    const int length = orientation_ == Qt::Vertical ? height() : width();
    return ScrollBarGeometry(length, cell_, state_);
}

void CLuScrollBar::SetRepeatTiming(int delayMs, int intervalMs) {
    delayTimer_.setInterval(std::max(0, delayMs));
    repeatIntervalMs_ = std::max(0, intervalMs);
}

QRect CLuScrollBar::CellRect(int column, int row) const {
    const QRect strip = ImageStrip::Cell(0, row * cell_, kColumns * cell_, cell_, kColumns, column);
    return strip;
}

int CLuScrollBar::Along(const QPoint& pos) const {
    return orientation_ == Qt::Vertical ? pos.y() : pos.x();
}

int CLuScrollBar::PartAt(const QPoint& pos) const {
    if (!rect().contains(pos)) return kScrollNone;
    return Geometry().HitTest(Along(pos));
}

QRect CLuScrollBar::PartRect(int start, int length) const {
    if (orientation_ == Qt::Vertical) return QRect(0, start, width(), length);
    return QRect(start, 0, length, height());
}

int CLuScrollBar::ArrowRow(int part) const {
    if (part == pressed_ && !pointerOutside_) return 2;
    if (part == highlighted_ && pressed_ == kScrollNone && !dragging_) return 1;
    return 0;
}

void CLuScrollBar::paintEvent(QPaintEvent*) {
    if (bitmap_.isNull()) return;
    QPainter painter(this);
    const ScrollBarGeometry geometry = Geometry();
    // A disabled bar shows faded arrows over the track.
    if (!isEnabled()) DrawTrack(painter, 0, geometry.Length());
    const int thumb = geometry.DrawnThumbLength();
    if (thumb > 0) {
        DrawTrack(painter, geometry.ArrowLength(), geometry.ThumbStart());
        DrawTrack(painter, geometry.ThumbStart() + thumb, geometry.TrackEnd());
        DrawThumb(painter, geometry);
    } else {
        DrawTrack(painter, geometry.ArrowLength(), geometry.TrackEnd());
    }
    if (!isEnabled()) painter.setOpacity(0.45);
    DrawArrow(painter, kScrollFirstArrow, geometry);
    DrawArrow(painter, kScrollSecondArrow, geometry);
}

void CLuScrollBar::DrawArrow(QPainter& painter, int part, const ScrollBarGeometry& geometry) const {
    const int shift = orientation_ == Qt::Vertical ? 0 : kHorizontalShift;
    const int column = shift + (part == kScrollFirstArrow ? kFirstArrowColumn : kSecondArrowColumn);
    const int length = geometry.ArrowLength();
    if (length <= 0) return;
    const int start = part == kScrollFirstArrow ? 0 : geometry.Length() - length;
    const QRect source = CellRect(column, isEnabled() ? ArrowRow(part) : 0);
    const QRect target = PartRect(start, length);
    if (target.size() == source.size()) {
        painter.drawImage(target.topLeft(), bitmap_, source);
    } else {
        painter.drawImage(target, bitmap_, source);
    }
}

void CLuScrollBar::DrawThumb(QPainter& painter, const ScrollBarGeometry& geometry) const {
    const bool vertical = orientation_ == Qt::Vertical;
    const int column = (vertical ? 0 : kHorizontalShift) + kThumbColumn;
    int row = 0;
    if (dragging_) {
        row = 2;
    } else if (highlighted_ == kScrollThumbTrack && pressed_ == kScrollNone) {
        row = 1;
    }
    const QRect cell = CellRect(column, row);
    const int start = geometry.ThumbStart();
    const int length = geometry.DrawnThumbLength();
    const int cap = std::min(kCapLength, length / 2);
    if (vertical) {
        painter.drawImage(PartRect(start, cap), bitmap_,
                          QRect(cell.left(), cell.top(), cell.width(), cap));
        painter.drawImage(PartRect(start + length - cap, cap), bitmap_,
                          QRect(cell.left(), cell.bottom() + 1 - cap, cell.width(), cap));
        TileAlong(painter, PartRect(start + cap, length - 2 * cap), bitmap_,
                  cell.adjusted(0, kCapLength, 0, -kCapLength), true);
    } else {
        painter.drawImage(PartRect(start, cap), bitmap_,
                          QRect(cell.left(), cell.top(), cap, cell.height()));
        painter.drawImage(PartRect(start + length - cap, cap), bitmap_,
                          QRect(cell.right() + 1 - cap, cell.top(), cap, cell.height()));
        TileAlong(painter, PartRect(start + cap, length - 2 * cap), bitmap_,
                  cell.adjusted(kCapLength, 0, -kCapLength, 0), false);
    }
}

void CLuScrollBar::DrawTrack(QPainter& painter, int start, int end) const {
    if (end <= start) return;
    const bool vertical = orientation_ == Qt::Vertical;
    const int column = (vertical ? 0 : kHorizontalShift) + kTrackColumn;
    TileAlong(painter, PartRect(start, end - start), bitmap_, CellRect(column, 0), vertical);
}

void CLuScrollBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || bitmap_.isNull()) return;
    const QPoint pos = event->position().toPoint();
    const int part = PartAt(pos);
    if (part == kScrollThumbTrack) {
        dragging_ = true;
        dragStartAlong_ = Along(pos);
        dragStartPos_ = state_.pos;
        state_.trackPos = state_.pos;
        update();
        return;
    }
    if (part == kScrollNone) return;
    pressed_ = part;
    pointerOutside_ = false;
    lastPointer_ = pos;
    update();
    emit scrollRequested(part, 0);
    StartRepeat();
}

void CLuScrollBar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (dragging_) {
        const int next = Geometry().DragPosition(dragStartPos_, Along(pos) - dragStartAlong_);
        if (next == state_.trackPos) return;
        state_.trackPos = next;
        update();
        emit scrollRequested(kScrollThumbTrack, next);
        return;
    }
    if (pressed_ != kScrollNone) {
        lastPointer_ = pos;
        const bool outside = PartAt(pos) != pressed_;
        if (outside != pointerOutside_) {
            pointerOutside_ = outside;
            update();
        }
        return;
    }
    const int part = PartAt(pos);
    if (part != highlighted_) {
        highlighted_ = part;
        update();
    }
}

void CLuScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (dragging_) {
        dragging_ = false;
        const int position = state_.trackPos;
        emit scrollRequested(kScrollThumbPosition, position);
        state_.trackPos = -1;
        highlighted_ = PartAt(event->position().toPoint());
        update();
        return;
    }
    if (pressed_ != kScrollNone) EndPress();
}

void CLuScrollBar::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click already scrolled; nothing more.
    event->accept();
}

void CLuScrollBar::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (highlighted_ != kScrollNone) {
        highlighted_ = kScrollNone;
        update();
    }
    emit pointerLeft();
}

void CLuScrollBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        if (dragging_) {
            dragging_ = false;
            state_.trackPos = -1;
        }
        EndPress();
        highlighted_ = kScrollNone;
    }
    QWidget::changeEvent(event);
}

void CLuScrollBar::EndPress() {
    StopRepeat();
    pressed_ = kScrollNone;
    pointerOutside_ = false;
    update();
}

void CLuScrollBar::StartRepeat() {
    StopRepeat();
    delayTimer_.start();
}

void CLuScrollBar::StopRepeat() {
    delayTimer_.stop();
    repeatTimer_.stop();
}

void CLuScrollBar::OnRepeatTick() {
    const ScrollBarGeometry geometry = Geometry();
    const bool atStart = state_.pos <= state_.min;
    const bool atEnd = state_.pos >= geometry.Range();
    if (pressed_ == kScrollNone || (pressed_ == kScrollFirstArrow && atStart) ||
        (pressed_ == kScrollSecondArrow && atEnd)) {
        StopRepeat();
        return;
    }
    const int under = PartAt(lastPointer_);
    const bool track = pressed_ == kScrollTrackBefore || pressed_ == kScrollTrackAfter;
    if (track && under == kScrollThumbTrack) {
        StopRepeat();  // the thumb has reached the pointer
        return;
    }
    pointerOutside_ = under != pressed_;
    if (pointerOutside_) return;  // paused until the pointer is back
    emit scrollRequested(pressed_, 0);
}
