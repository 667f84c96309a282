#pragma once

#include <QAbstractTableModel>

#include "app/DeviceTable.h"

namespace norvale::app {

// The device table as the main window's list sees it: one row per table
// row, the four columns "Server Name", "MapName", "Other" and "IP" as
// display text, and a fifth, "Model" (the model number), that the list
// never shows but reads out to assistive technology. It holds no rows of
// its own; it forwards the table's changes, which have already happened
// when they are announced, so the list never reads a stale row. `table`
// must outlive the model.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kName = 0, kMapName = 1, kLed = 2, kAddress = 3, kModel = 4, kColumnCount = 5 };

    explicit DeviceListModel(const DeviceTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Column widths of the list: only the name is shown.
    static int ColumnWidth(int column) { return column == kName ? 354 : 0; }

  private:
    const DeviceTable& table_;
};

}  // namespace norvale::app
