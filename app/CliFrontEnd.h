#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <map>
#include <vector>

#include "app/DiscoveryFrontEnd.h"
#include "app/TerminalText.h"

namespace norvale::app {

// The command-line side of the discovery host: keeps the device table (and,
// for --all, the unsupported devices) and turns changes into output. Lives
// on the thread of the QCoreApplication.
class CliFrontEnd : public QObject, public DiscoveryFrontEnd {
    Q_OBJECT
  public:
    // `out` must outlive the front end. With `watch`, every change is printed
    // as one JSON line at once ("added", "led", "mapName" when a lookup
    // confirms the name, "removed"); with `all`, unsupported devices count too.
    CliFrontEnd(QTextStream& out, bool watch, bool all);

    DeviceTable& Table() override { return table_; }
    void RedrawRow(int index) override;
    void LedStatusAnswered(const QString& name, const QString& address, int resultCode,
                           bool on) override;
    void UnsupportedDeviceAdded(const DeviceRow& device) override;
    void UnsupportedDeviceRemoved(const DeviceRow& device) override;
    void DiscoveryStopped() override {}

    // Every listed row (and with `all` every unsupported device) in name
    // order; equal names keep arrival order, rows before unsupported devices.
    std::vector<DeviceRow> Rows() const;

    // Called for every LED answer (name, address, result code, on).
    std::function<void(const QString&, const QString&, int, bool)> onLedAnswer;
    // Called after every row change (used by --set-led to find its device).
    std::function<void()> onTableChanged;

  private:
    void PrintEvent(const char* event, const DeviceRow& row);

    QTextStream& out_;
    bool watch_;
    bool all_;
    DeviceTable table_;
    std::vector<DeviceRow> unsupported_;
    // What was last printed of a row announced as added.
    struct Printed {
        bool led = false;
        QString mapName;
    };
    // (name, address) of rows already announced as added
    std::map<std::pair<QString, QString>, Printed> announced_;
};

// The table as aligned text: NAME, MAP NAME, IP, LED, MODEL; every cell
// passes through TerminalText.
QString FormatTable(const std::vector<DeviceRow>& rows);
// One JSON object of a row, keys in a fixed order; `event` first when given.
QString RowJson(const DeviceRow& row, const char* event = nullptr);
// The rows as one JSON array.
QString RowsJson(const std::vector<DeviceRow>& rows);

}  // namespace norvale::app
