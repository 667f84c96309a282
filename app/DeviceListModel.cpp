#include "app/DeviceListModel.h"

namespace norvale::app {

DeviceListModel::DeviceListModel(const DeviceTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table, &DeviceTable::rowInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    connect(&table, &DeviceTable::rowRemoved, this, [this](int row, const DeviceRow&) {
        beginRemoveRows({}, row, row);
        endRemoveRows();
    });
    connect(&table, &DeviceTable::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, kColumnCount - 1)); });
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.Count();
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= table_.Count()) return {};
    const DeviceRow& row = table_.Row(index.row());
    switch (index.column()) {
        case kName:
            return row.name;
        case kMapName:
            return row.mapName;
        case kLed:
            return row.led;
        case kAddress:
            return row.address;
        case kModel:
            return row.facts.model;
        default:
            return {};
    }
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
        case kName:
            return QStringLiteral("Server Name");
        case kMapName:
            return QStringLiteral("MapName");
        case kLed:
            return QStringLiteral("Other");
        case kAddress:
            return QStringLiteral("IP");
        case kModel:
            return QStringLiteral("Model");
        default:
            return {};
    }
}

}  // namespace norvale::app
