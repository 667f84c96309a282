#pragma once

#include <QAbstractItemModel>
#include <QImage>
#include <QPointer>
#include <QRgb>
#include <QWidget>

#include "skin/FocusCue.h"
#include "skin/ListPaging.h"
#include "skin/SkinImage.h"

class QKeyEvent;

// The skinned list of picture rows. It shows the rows of a model supplied by
// its owner: column 0 is the row's text, a non-empty column 2 shows the mark
// picture. Each row is a row image (normal, highlighted or selected) stretched
// over the row, the optional mark and one line of "Tahoma" 13.
//
// The list never scrolls: the owner pages it (ScrollPageDown/ScrollPageUp)
// and visible row r shows item r + top offset. The pointer highlights the
// row under it; a left click selects the item shown in that row; the
// selection stays on its item across insertions and deletions.
//
// Keys: Up/Down, Page Up/Down, Home and End move the selection (paging with
// the page buttons' steps so that it stays on the page) and report
// selectionMoved; Enter reports itemActivated for the selected item. With
// the focus from the keyboard a dotted frame marks the selected row (the
// whole list when that row is not on the page). Assistive technology sees a
// table of every item: the cells are the model columns named by
// SetAccessibleColumns, the accessible children the cells row by row.
class CLuListCtrl : public QWidget {
    Q_OBJECT

  public:
    // Column-format values of the text alignment.
    static constexpr int kAlignLeft = 0;
    static constexpr int kAlignRight = 1;
    static constexpr int kAlignCenter = 2;

    explicit CLuListCtrl(QWidget* parent = nullptr);

    // The rows to show; not owned, null for none. Resets the selection and
    // the top offset.
    void SetModel(QAbstractItemModel* model);
    QAbstractItemModel* Model() const { return model_; }
    int ItemCount() const;

    // Cells of a strip of n row states: cell 1 normal (also sets the row
    // width and the row height to the strip's height), 2 highlighted,
    // 3 selected, 4 a fourth state that is kept but not drawn. n <= 0 does
    // nothing.
    void SetRowImages(const QImage& image, int x, int y, int width, int height, int count);
    void SetSelectedImage(const QImage& image, int x, int y, int width, int height, bool repaint);
    void SetFourthStateImage(const QImage& image, int x, int y, int width, int height,
                             bool repaint);
    void SetMarkImage(const QImage& image, int x, int y, int width, int height);
    void SetTextColors(QRgb normal, QRgb highlighted, QRgb selected, QRgb fourth);
    void SetTextAlign(int columnFormat);
    void SetRowHeight(int height);
    void SetRowGap(int gap);
    // Width of the list's column 0 (rows are that wide); -1 uses the
    // control's width.
    void SetColumnWidth(int width);
    // Off: rows are drawn without the skinned dialog's pixels under them.
    void SetParentBackground(bool on);
    // The model columns assistive technology reads as the cells of a row, in
    // order; column 0 alone by default.
    void SetAccessibleColumns(const QList<int>& columns) { accessibleColumns_ = columns; }
    const QList<int>& AccessibleColumns() const { return accessibleColumns_; }
    // The text of a model cell; empty outside the model.
    QString ItemText(int item, int column) const;

    int GetTopOffset() const { return paging_.TopOffset(); }
    int GetSelectedIndex() const { return paging_.Selected(); }
    int HighlightedRow() const { return highlightedRow_; }
    int VisibleRows() const { return paging_.VisibleRows(); }
    int RowHeight() const { return rowHeight_; }
    int RowWidth() const { return rowWidth_; }
    int ColumnWidth() const { return columnWidth_ >= 0 ? columnWidth_ : width(); }

    // Selects item when the list has items and item is below their count.
    bool SelectItem(int item);
    // Moves the selection to item as the keys do: pages with the page
    // buttons' steps until it is shown, selects it and reports
    // selectionMoved. False for an item outside the list.
    bool MoveSelectionTo(int item);
    // Page movement; true when a full step was taken.
    bool ScrollPageDown();
    bool ScrollPageUp();
    // The visible row at pos (control coordinates) showing an item, or -1.
    int RowAt(const QPoint& pos) const;

  signals:
    // A left click: item is the item shown in the clicked row, or -1.
    void itemClicked(int item);
    // A key moved the selection to item (the page follows it).
    void selectionMoved(int item);
    // Enter on the selected item.
    void itemActivated(int item);
    void selectionChanged(int item);
    void topOffsetChanged(int top);
    // The list took the keyboard focus.
    void focusTaken();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

  private:
    enum RowState { kNormal = 0, kHighlighted = 1, kSelected = 2, kFourth = 3 };

    void RecountVisibleRows();
    void DrawRow(QPainter& painter, int row, int item);
    void DrawFocus(QPainter& painter);
    bool HandleKeyPress(QKeyEvent* event);
    void TellAssistiveTechnology(int item);
    void OnRowsInserted(const QModelIndex& parent, int first, int last);
    void OnRowsRemoved(const QModelIndex& parent, int first, int last);
    void OnModelReset();

    QPointer<QAbstractItemModel> model_;
    ImagePart rowImages_[4];
    ImagePart mark_;
    QRgb textColors_[4] = {0xFF000000, 0xFF000000, 0xFF000000, 0xFF808080};
    int textAlign_ = kAlignLeft;
    bool parentBackground_ = true;
    int rowHeight_ = 46;
    int rowWidth_ = 0;
    int rowGap_ = 0;
    int columnWidth_ = -1;
    int highlightedRow_ = -1;
    bool tracking_ = false;
    ListPaging paging_;
    FocusCue focusCue_;
    QList<int> accessibleColumns_{0};  // column 0 alone
};
