#include "skin/ListAccessible.h"

#include <QPointer>

#include "skin/CLuListCtrl.h"

namespace {

// One cell of the table: the text of one model column of one item, read
// when asked, so a cell never shows stale text.
class ListCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
  public:
    ListCellAccessible(CLuListCtrl* list, int row, int column)
        : list_(list), row_(row), column_(column) {}

    bool isValid() const override { return list_ && row_ < list_->ItemCount(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(list_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid()) return {};
        const QList<int>& columns = list_->AccessibleColumns();
        return list_->ItemText(row_, columns.value(column_, -1));
    }

    // The row's band on the screen; empty while the row is on another page.
    QRect rect() const override {
        if (!OnPage()) return {};
        const int top = (row_ - list_->GetTopOffset()) * list_->RowHeight();
        return QRect(list_->mapToGlobal(QPoint(0, top)),
                     QSize(list_->ColumnWidth(), list_->RowHeight()));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.selected = isSelected();
        state.focused = state.selected && list_->hasFocus();
        state.invisible = !OnPage();
        state.offscreen = state.invisible;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface) {
            return static_cast<QAccessibleTableCellInterface*>(this);
        }
        return nullptr;
    }

    bool isSelected() const override { return list_ && list_->GetSelectedIndex() == row_; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

  private:
    bool OnPage() const {
        if (!isValid() || !list_->isVisible()) return false;
        const int row = row_ - list_->GetTopOffset();
        return row >= 0 && row < list_->VisibleRows();
    }

    QPointer<CLuListCtrl> list_;
    int row_;
    int column_;
};

}  // namespace

ListAccessible::ListAccessible(CLuListCtrl* list) : QAccessibleWidget(list, QAccessible::Table) {}

ListAccessible::~ListAccessible() {
    DropCells();
}

CLuListCtrl* ListAccessible::List() const {
    return static_cast<CLuListCtrl*>(widget());
}

void ListAccessible::DropCells() {
    const QList<QAccessible::Id> ids = cells_.values();
    cells_.clear();
    for (QAccessible::Id id : ids) QAccessible::deleteAccessibleInterface(id);
}

int ListAccessible::rowCount() const {
    return List()->ItemCount();
}

int ListAccessible::columnCount() const {
    return static_cast<int>(List()->AccessibleColumns().size());
}

int ListAccessible::childCount() const {
    return rowCount() * columnCount();
}

QAccessibleInterface* ListAccessible::cellAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    const QPair<int, int> key(row, column);
    if (const auto found = cells_.constFind(key); found != cells_.constEnd()) {
        return QAccessible::accessibleInterface(found.value());
    }
    auto* cell = new ListCellAccessible(List(), row, column);
    cells_.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* ListAccessible::child(int index) const {
    const int columns = columnCount();
    if (columns == 0 || index < 0) return nullptr;
    return cellAt(index / columns, index % columns);
}

int ListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child || child->role() != QAccessible::Cell || child->parent() != this) return -1;
    auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cell) return -1;
    return cell->rowIndex() * columnCount() + cell->columnIndex();
}

QAccessibleInterface* ListAccessible::childAt(int x, int y) const {
    const int row = List()->RowAt(List()->mapFromGlobal(QPoint(x, y)));
    return row < 0 ? nullptr : cellAt(row + List()->GetTopOffset(), 0);
}

QAccessibleInterface* ListAccessible::focusChild() const {
    const int selected = List()->GetSelectedIndex();
    if (!List()->hasFocus() || selected < 0) return nullptr;
    return cellAt(selected, 0);
}

void* ListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int ListAccessible::selectedCellCount() const {
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> ListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows()) {
        for (int column = 0; column < columnCount(); ++column) cells << cellAt(row, column);
    }
    return cells;
}

QString ListAccessible::columnDescription(int column) const {
    const QAbstractItemModel* model = List()->Model();
    const int modelColumn = List()->AccessibleColumns().value(column, -1);
    if (!model || modelColumn < 0) return {};
    return model->headerData(modelColumn, Qt::Horizontal).toString();
}

int ListAccessible::selectedRowCount() const {
    return static_cast<int>(selectedRows().size());
}

QList<int> ListAccessible::selectedRows() const {
    const int selected = List()->GetSelectedIndex();
    if (selected < 0 || selected >= rowCount()) return {};
    return {selected};
}

bool ListAccessible::isRowSelected(int row) const {
    return row >= 0 && row == List()->GetSelectedIndex();
}

bool ListAccessible::selectRow(int row) {
    return List()->MoveSelectionTo(row);
}

void ListAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
    DropCells();
}

void NotifyRowsChanged(CLuListCtrl* list, QAccessibleTableModelChangeEvent::ModelChangeType type,
                       int first, int last) {
    if (!QAccessible::isActive()) return;
    QAccessibleTableModelChangeEvent event(list, type);
    event.setFirstRow(first);
    event.setLastRow(last);
    QAccessible::updateAccessibility(&event);
}

void NotifyCurrentCell(CLuListCtrl* list, int item) {
    if (!QAccessible::isActive() || !list->hasFocus()) return;
    const int child = item * static_cast<int>(list->AccessibleColumns().size());
    QAccessibleEvent focus(list, QAccessible::Focus);
    focus.setChild(child);
    QAccessible::updateAccessibility(&focus);
    QAccessibleEvent selection(list, QAccessible::Selection);
    selection.setChild(child);
    QAccessible::updateAccessibility(&selection);
}
