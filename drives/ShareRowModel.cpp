#include "drives/ShareRowModel.h"

namespace drives {

bool ShareRowModel::Append(const QString& text, char16_t letter) {
    if (Count() >= kMaxRows) return false;
    beginInsertRows({}, Count(), Count());
    rows_.push_back(Row{text, letter});
    endInsertRows();
    return true;
}

void ShareRowModel::Set(int index, const QString& text, char16_t letter) {
    if (index < 0 || index >= Count()) return;
    Row& row = rows_[static_cast<std::size_t>(index)];
    if (row.text == text && row.letter == letter) return;
    row = Row{text, letter};
    emit dataChanged(this->index(index), this->index(index));
}

int ShareRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant ShareRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole) return {};
    return At(index.row()).text;
}

}  // namespace drives
