#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "skin/ScrollBarGeometry.h"

// A scroll bar painted from the skin bitmap: 9 x 3 square cells of c = width
// / 9 pixels. Columns: 0 up, 1 down, 2 vertical thumb, 3 vertical track,
// 4 left, 5 right, 6 horizontal thumb, 7 horizontal track, 8 corner; rows:
// 0 normal, 1 highlighted, 2 pressed. Without a bitmap it paints nothing.
//
// The bar holds a scroll state but never changes its position by itself: a
// press or drag emits scrollRequested(code, position) and the owner answers
// with SetScrollInfo. Holding an arrow or the track repeats the request
// after a delay (stopping at the ends, or when the thumb reaches the
// pointer; paused while the pointer is outside the pressed part).
class CLuScrollBar : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatIntervalMs = 100;

    explicit CLuScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Stores the bitmap, derives the cell size and makes the bar one cell
    // thick, keeping its position in the parent. A null image removes it.
    void SetBitmap(const QImage& bitmap);
    const QImage& Bitmap() const { return bitmap_; }
    int CellSize() const { return cell_; }
    Qt::Orientation Orientation() const { return orientation_; }

    // Takes min, max, page and position (the track position is the bar's
    // own); repaints when something changed and redraw is set.
    void SetScrollInfo(const ScrollState& state, bool redraw = true);
    // min, max, page, position and the track position (-1 unless dragging).
    const ScrollState& ScrollInfo() const { return state_; }
    ScrollBarGeometry Geometry() const;

    int PressedPart() const { return pressed_; }
    int HighlightedPart() const { return highlighted_; }
    bool IsDragging() const { return dragging_; }
    // True from a press on an arrow or the track until its repeat stops.
    bool IsRepeating() const { return delayTimer_.isActive() || repeatTimer_.isActive(); }

    // Delay before a held arrow or track repeats, and the repeat interval.
    void SetRepeatTiming(int delayMs, int intervalMs);

    // The source rectangle of cell (column, row) in the bitmap.
    QRect CellRect(int column, int row) const;

  signals:
    // A scroll request: code is a ScrollPart; position is the track position
    // for thumb requests and 0 otherwise.
    void scrollRequested(int code, int position);
    // The pointer left the bar.
    void pointerLeft();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int Along(const QPoint& pos) const;
    int PartAt(const QPoint& pos) const;
    QRect PartRect(int start, int length) const;
    int ArrowRow(int part) const;
    void DrawArrow(QPainter& painter, int part, const ScrollBarGeometry& geometry) const;
    void DrawThumb(QPainter& painter, const ScrollBarGeometry& geometry) const;
    void DrawTrack(QPainter& painter, int start, int end) const;
    void StartRepeat();
    void StopRepeat();
    void OnRepeatTick();
    void EndPress();

    Qt::Orientation orientation_;
    QImage bitmap_;
    int cell_ = 16;
    ScrollState state_;
    bool dragging_ = false;
    int dragStartAlong_ = 0;
    int dragStartPos_ = 0;
    int pressed_ = kScrollNone;
    int highlighted_ = kScrollNone;
    bool pointerOutside_ = false;
    QPoint lastPointer_;
    int repeatIntervalMs_ = kRepeatIntervalMs;
    QTimer delayTimer_;
    QTimer repeatTimer_;
};
