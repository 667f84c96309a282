#include "app/DeviceTable.h"

#include <algorithm>

namespace norvale::app {

QString CutToTableLimit(const QString& text) {
    if (text.size() <= DeviceTable::kMaxText) return text;
    QString cut = text.left(DeviceTable::kMaxText);
    // Never leave half of a surrogate pair at the end.
    if (cut.back().isHighSurrogate()) cut.chop(1);
    return cut;
}

namespace {

bool NameBefore(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

}  // namespace

// The rows are in name order, so both searches halve the table.
int DeviceTable::FindDeviceRow(const QString& name, const QString& address) const {
    auto at = std::lower_bound(
        rows_.begin(), rows_.end(), name,
        [](const DeviceRow& row, const QString& n) { return NameBefore(row.name, n); });
    for (; at != rows_.end() && at->name == name; ++at) {
        if (at->address == address) return static_cast<int>(at - rows_.begin());
    }
    return -1;
}

int DeviceTable::InsertPosition(const QString& name) const {
    auto at = std::upper_bound(
        rows_.begin(), rows_.end(), name,
        [](const QString& n, const DeviceRow& row) { return NameBefore(n, row.name); });
    return static_cast<int>(at - rows_.begin());
}

int DeviceTable::InsertRow(int index, const QString& name) {
    index = std::clamp(index, 0, Count());
    DeviceRow row;
    row.name = CutToTableLimit(name);
    rows_.insert(rows_.begin() + index, std::move(row));
    if (selected_ >= index) ++selected_;
    emit rowInserted(index);
    return index;
}

void DeviceTable::SetAddress(int index, const QString& address) {
    rows_.at(static_cast<std::size_t>(index)).address = CutToTableLimit(address);
    emit rowChanged(index);
}

void DeviceTable::SetDevice(int index, cp::UPnPDevice* device, const DeviceFacts& facts) {
    DeviceRow& row = rows_.at(static_cast<std::size_t>(index));
    row.device = device;
    row.facts = facts;
    emit rowChanged(index);
}

void DeviceTable::SetMapName(int index, const QString& mapName) {
    DeviceRow& row = rows_.at(static_cast<std::size_t>(index));
    const QString cut = CutToTableLimit(mapName);
    if (row.mapName == cut) return;
    row.mapName = cut;
    emit rowChanged(index);
}

bool DeviceTable::SetLed(int index, bool on) {
    DeviceRow& row = rows_.at(static_cast<std::size_t>(index));
    const QString mark = on ? QStringLiteral("1") : QString();
    if (row.led.isEmpty() == mark.isEmpty()) return false;
    row.led = mark;
    emit rowChanged(index);
    return true;
}

void DeviceTable::RemoveRow(int index) {
    if (index < 0 || index >= Count()) return;
    const DeviceRow removed = rows_[static_cast<std::size_t>(index)];
    rows_.erase(rows_.begin() + index);
    const bool selectedGone = selected_ == index;
    if (selectedGone) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    emit rowRemoved(index, removed);
    if (selectedGone) emit selectionChanged(-1);
}

void DeviceTable::Select(int index) {
    if (index < -1 || index >= Count()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    emit selectionChanged(index);
}

}  // namespace norvale::app
