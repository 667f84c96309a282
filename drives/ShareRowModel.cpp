#include "drives/ShareRowModel.h"

#include "drives/ShareDrives.h"

namespace drives {

QString ShareRowModel::Text(int index) const {
    const Row& row = At(index);
    return ShareDrives::RowText(row.share, row.letter);
}

bool ShareRowModel::Append(const QString& share, char16_t letter) {
    if (Count() >= kMaxRows) return false;
    beginInsertRows({}, Count(), Count());
    rows_.push_back(Row{share, letter});
    endInsertRows();
    return true;
}

void ShareRowModel::SetLetter(int index, char16_t letter) {
    if (index < 0 || index >= Count()) return;
    Row& row = rows_[static_cast<std::size_t>(index)];
    if (row.letter == letter) return;
    row.letter = letter;
    emit dataChanged(this->index(index), this->index(index));
}

int ShareRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant ShareRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole) return {};
    return Text(index.row());
}

}  // namespace drives
