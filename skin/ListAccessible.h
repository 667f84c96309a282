#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPair>

class CLuListCtrl;

// The skinned list as assistive technology sees it: a table with one row per
// item of the list's model (also those on other pages) and one cell per
// column named by CLuListCtrl::SetAccessibleColumns, read live from the
// model. The children are the cells, row by row. Selecting a row here moves
// the list's selection as the keys do. Created by the skin's factory and
// owned by Qt's accessibility cache; the cells it made are deleted with it
// and whenever the rows change.
class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
  public:
    explicit ListAccessible(CLuListCtrl* list);
    ~ListAccessible() override;

    CLuListCtrl* List() const;

    // QAccessibleInterface
    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    int columnCount() const override;
    int selectedColumnCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    QString rowDescription(int) const override { return {}; }
    int rowCount() const override;
    int selectedRowCount() const override;
    QList<int> selectedRows() const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

  private:
    void DropCells();

    mutable QHash<QPair<int, int>, QAccessible::Id> cells_;
};

// Tells assistive technology (when one listens) that rows first to last of
// list were inserted or removed, or that its model was reset.
void NotifyRowsChanged(CLuListCtrl* list, QAccessibleTableModelChangeEvent::ModelChangeType type,
                       int first, int last);
// Tells assistive technology that the keys made item the list's selected and
// focused row.
void NotifyCurrentCell(CLuListCtrl* list, int item);
