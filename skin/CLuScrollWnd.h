#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include "skin/ScrollBarGeometry.h"

class CLuScrollBar;
class QScrollBar;

// Gives a scrollable widget skinned scroll bars without rewriting it. The
// frame takes the widget's place (parent, geometry, visibility, its slot in
// the parent's layout) and holds the
// widget and two CLuScrollBars: the vertical one along the right edge, the
// horizontal one along the bottom, each one cell thick; the corner cell is
// painted where both show. The widget's own bars are turned off; a skinned
// bar shows where the widget's bar policy would show its own (always, or
// when the content does not fit), follows the widget's scroll state and
// drives it back. A bar is disabled when the content fits (max < page).
//
// The frame belongs to the widget's former parent. When the widget is
// destroyed, the frame leaves that parent at once and deletes itself later,
// so the parent keeps exactly the children it had before the wrapping.
class CLuScrollWnd : public QWidget {
    Q_OBJECT

  public:
    // Wraps area (not null) with the bars painted from bitmap (9 x 3 cells).
    CLuScrollWnd(QAbstractScrollArea* area, const QImage& bitmap);
    ~CLuScrollWnd() override;

    // Repaints both bars from another bitmap; the cell size and layout follow.
    void SetBitmap(const QImage& bitmap);
    int CellSize() const { return cell_; }

    QAbstractScrollArea* Area() const { return area_; }
    CLuScrollBar* VerticalBar() const { return vertical_; }
    CLuScrollBar* HorizontalBar() const { return horizontal_; }
    bool CornerShown() const { return corner_; }

    // The widget's scroll state in the bars' terms.
    static ScrollState StateOf(const QScrollBar& bar);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Forward(Qt::Orientation orientation, int code, int position);
    void CopyToBar(Qt::Orientation orientation);
    void Sync();
    void ScheduleSync();
    void Relayout();
    bool Wanted(Qt::Orientation orientation) const;
    void OnAreaDestroyed();

    QPointer<QAbstractScrollArea> area_;
    const QObject* areaObject_;
    CLuScrollBar* vertical_ = nullptr;
    CLuScrollBar* horizontal_ = nullptr;
    QImage bitmap_;
    int cell_ = 16;
    Qt::ScrollBarPolicy verticalPolicy_;
    Qt::ScrollBarPolicy horizontalPolicy_;
    bool forwarding_ = false;
    bool corner_ = false;
    bool syncPending_ = false;
    bool inLayout_ = false;
};

// Wraps area in a new CLuScrollWnd painted from bitmap and returns it. The
// frame deletes itself when area is destroyed.
CLuScrollWnd* AttachSkinScrollBars(QAbstractScrollArea* area, const QImage& bitmap);
