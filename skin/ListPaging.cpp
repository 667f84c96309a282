#include "skin/ListPaging.h"

#include <algorithm>

int ListPaging::CountVisibleRows(int clientHeight, int rowHeight, int gap) {
    if (rowHeight <= 0) rowHeight = clientHeight / 12;
    const int step = gap + rowHeight;
    if (step <= 0 || clientHeight <= 0) return 0;
    int rows = clientHeight / step;
    if (clientHeight % step >= rowHeight) ++rows;
    return rows;
}

int ListPaging::RowAt(int y, int rowHeight, int itemCount) const {
    if (rowHeight <= 0 || y < 0) return -1;
    const int row = y / rowHeight;
    if (row >= itemCount || ItemForRow(row) >= itemCount) return -1;
    return row;
}

bool ListPaging::PageDown(int itemCount) {
    const int v = visibleRows_;
    if (v <= 0) return false;
    if (v >= itemCount - v - top_ + 1) {
        top_ = std::max(0, itemCount - v);
        return false;
    }
    top_ += v - 1;
    return true;
}

bool ListPaging::PageUp() {
    const int v = visibleRows_;
    if (v > 0 && top_ >= v) {
        top_ = top_ - v + 1;
        return true;
    }
    top_ = 0;
    return false;
}

int ListPaging::StepTarget(Step step, int itemCount) const {
    if (itemCount <= 0) return -1;
    const int page = std::max(1, visibleRows_ - 1);
    const int from = selected_;
    int target = top_;
    switch (step) {
        case Step::Home:
            target = 0;
            break;
        case Step::End:
            target = itemCount - 1;
            break;
        case Step::Up:
            if (from >= 0) target = from - 1;
            break;
        case Step::Down:
            if (from >= 0) target = from + 1;
            break;
        case Step::PageUp:
            if (from >= 0) target = from - page;
            break;
        case Step::PageDown:
            if (from >= 0) target = from + page;
            break;
    }
    return std::clamp(target, 0, itemCount - 1);
}

void ListPaging::ShowItem(int item, int itemCount) {
    if (item < 0 || item >= itemCount || visibleRows_ <= 0) return;
    for (int before = -1; item < top_ && top_ != before;) {
        before = top_;
        PageUp();
    }
    for (int before = -1; item >= top_ + visibleRows_ && top_ != before;) {
        before = top_;
        PageDown(itemCount);
    }
    // Pages of one row never step: go straight to the item.
    if (item < top_ || item >= top_ + visibleRows_) top_ = item;
}

bool ListPaging::Select(int item, int itemCount) {
    if (itemCount <= 0 || item < -1 || item >= itemCount) return false;
    selected_ = item;
    return true;
}

void ListPaging::ItemsInserted(int first, int count) {
    if (selected_ >= 0 && count > 0 && first <= selected_) selected_ += count;
}

void ListPaging::ItemsRemoved(int first, int count) {
    if (selected_ < 0 || count <= 0) return;
    if (selected_ >= first + count) {
        selected_ -= count;
    } else if (selected_ >= first) {
        selected_ = -1;
    }
}
