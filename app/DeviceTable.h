#pragma once

#include <QObject>
#include <QString>
#include <vector>

namespace norvale::cp {
struct UPnPDevice;
}

namespace norvale::app {

// What the front ends show of a device beyond the table's columns, copied
// from the device record on the discovery thread when the device is
// reported, so that no reader depends on the record's lifetime.
struct DeviceFacts {
    QString model;  // modelNumber after the legacy rewrite; null when absent
    int modelClass = 0;
    QString udn;  // null when absent
    QString deviceType;
    QString presentationUrl;  // null when absent
    QString location;
    bool configure = false;    // the Configure action is offered
    bool identifyLed = false;  // the device answers GetLEDStatus
    bool supported = false;    // passes the model rules
};

// One row: the list's four columns and the device reference. `device` is
// valid until the device-removed report for it has been handled.
struct DeviceRow {
    QString name;     // column 0: friendlyName
    QString mapName;  // column 1: name when it resolves to the address, else the address
    QString led;      // column 2: "1" while the LED is reported on, else empty
    QString address;  // column 3: host of the location URL
    cp::UPnPDevice* device = nullptr;
    DeviceFacts facts;
};

// The ordered device table that the main window's list and the command-line
// front end mirror. Rows are kept in ascending ordinal order of their name;
// a new row goes after rows of equal name. A row's identity is (name,
// address). Used only on the user-interface thread.
class DeviceTable : public QObject {
    Q_OBJECT
  public:
    // Names and addresses are cut to this many characters.
    static constexpr int kMaxText = 1023;

    int Count() const { return static_cast<int>(rows_.size()); }
    const DeviceRow& Row(int index) const { return rows_.at(static_cast<std::size_t>(index)); }

    // Index of the first row with exactly this name and address, or -1.
    // O(log n) plus the rows of that name.
    int FindDeviceRow(const QString& name, const QString& address) const;
    // Index of the first row whose name compares greater than `name`, or
    // Count(); O(log n).
    int InsertPosition(const QString& name) const;

    // Inserts a row holding only its name at `index`; returns the index.
    // Both searches above rely on rows going in at InsertPosition(name).
    int InsertRow(int index, const QString& name);
    void SetAddress(int index, const QString& address);
    void SetDevice(int index, cp::UPnPDevice* device, const DeviceFacts& facts);
    void SetMapName(int index, const QString& mapName);
    // Sets column 2 from the LED state; true when it changed between empty and "1".
    bool SetLed(int index, bool on);
    void RemoveRow(int index);

    // The selected row or -1. The selection follows its row across
    // insertions and deletions; deleting the selected row clears it.
    // selectionChanged fires only when another row (or none) is selected.
    int Selected() const { return selected_; }
    void Select(int index);

  signals:
    void rowInserted(int index);
    void rowChanged(int index);
    void rowRemoved(int index, const norvale::app::DeviceRow& row);
    void selectionChanged(int index);

  private:
    std::vector<DeviceRow> rows_;
    int selected_ = -1;
};

// Cuts `text` to the table's length limit.
QString CutToTableLimit(const QString& text);

}  // namespace norvale::app
