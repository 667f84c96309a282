#pragma once

// The paging and selection rules of the skinned list, without a window.
// The list never scrolls: visible row r shows item r + top offset. The
// selected item follows its item across insertions and deletions.
class ListPaging {
  public:
    // The keys that move the selection.
    enum class Step { Up, Down, PageUp, PageDown, Home, End };

    // Rows that fit in clientHeight: clientHeight / (gap + rowHeight), plus
    // one when the remainder still holds a whole row. A row height of 0 or
    // less counts as clientHeight / 12.
    static int CountVisibleRows(int clientHeight, int rowHeight, int gap);

    void SetVisibleRows(int rows) { visibleRows_ = rows < 0 ? 0 : rows; }
    int VisibleRows() const { return visibleRows_; }
    int TopOffset() const { return top_; }
    int Selected() const { return selected_; }
    int ItemForRow(int row) const { return row + top_; }

    // The visible row at height y of rows rowHeight high that shows one of
    // itemCount items, or -1.
    int RowAt(int y, int rowHeight, int itemCount) const;

    // Moves to the next page keeping one row of overlap; at the end shows
    // the last page (never a negative offset). True when a full step was
    // taken. Without visible rows nothing moves.
    bool PageDown(int itemCount);
    // Moves one page back keeping one row of overlap, or to the top. True
    // when a full step was taken.
    bool PageUp();
    void ResetTop() { top_ = 0; }

    // The item a key moves the selection to among itemCount items: the next
    // or previous item, a page less one row further (the page buttons'
    // step), or the first or last item. Without a selection every key but
    // Home and End goes to the first item of the page. -1 without items.
    int StepTarget(Step step, int itemCount) const;
    // Pages up or down with the page buttons' steps until item is on the
    // visible page.
    void ShowItem(int item, int itemCount);

    // Selects item when the list has items and item is below the count (-1
    // clears the selection); returns whether it was accepted.
    bool Select(int item, int itemCount);
    void ClearSelection() { selected_ = -1; }

    // count items were inserted at first: a selection at or after first
    // moves with its item.
    void ItemsInserted(int first, int count);
    // count items were removed starting at first: a removed selection is
    // cleared, one after the removed items moves with its item.
    void ItemsRemoved(int first, int count);

  private:
    int visibleRows_ = 0;
    int top_ = 0;
    int selected_ = -1;
};
