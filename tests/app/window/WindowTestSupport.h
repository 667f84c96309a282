#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "app/CLuDiscoverDlg.h"
#include "app/DiscoveryLink.h"

namespace norvale::test {

// Stands in for the discovery host: records what the window asks of it and
// lets the test report devices the way the host does.
class FakeLink : public app::DiscoveryLink {
  public:
    struct Calls {
        int starts = 0;
        int stopRequests = 0;
        bool chainStopped = false;
        std::vector<cp::UPnPDevice*> getLed;
        std::vector<std::pair<cp::UPnPDevice*, int>> setLed;
        int searches = 0;
    };

    explicit FakeLink(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}
    void Start() override { ++calls_->starts; }
    void RequestStop() override {
        if (!calls_->chainStopped) ++calls_->stopRequests;
    }
    bool ChainStopped() const override { return calls_->chainStopped; }
    void SendGetLedStatus(cp::UPnPDevice* device) override { calls_->getLed.push_back(device); }
    void SendSetLedStatus(cp::UPnPDevice* device, int status) override {
        calls_->setLed.emplace_back(device, status);
    }
    void Search() override { ++calls_->searches; }

  private:
    std::shared_ptr<Calls> calls_;
};

// A distinct fake device reference; never dereferenced by the window.
inline cp::UPnPDevice* FakeDevice(int n) {
    return reinterpret_cast<cp::UPnPDevice*>(static_cast<std::uintptr_t>(0x1000 + 16 * n));
}

struct FakeDeviceInfo {
    FakeDeviceInfo(QString deviceName, QString deviceAddress)
        : name(std::move(deviceName)), address(std::move(deviceAddress)) {}

    QString name;
    QString address;
    bool configure = true;
    bool identifyLed = true;
    QString presentationUrl;
    QString model = QStringLiteral("QMA5KS");
};

// Reports a device as the host does: row in name order, address, device,
// selection of a new row 0 with its action buttons, map name, redraw and
// scroll buttons. Returns the row.
inline int ReportDevice(app::CLuDiscoverDlg& window, const FakeDeviceInfo& info, int n) {
    app::DeviceTable& table = window.Table();
    const int row = table.InsertRow(table.InsertPosition(info.name), info.name);
    table.SetAddress(row, info.address);
    app::DeviceFacts facts;
    facts.model = info.model;
    facts.configure = info.configure;
    facts.identifyLed = info.identifyLed;
    facts.presentationUrl = info.presentationUrl;
    facts.supported = true;
    table.SetDevice(row, FakeDevice(n), facts);
    if (row == 0) {
        table.Select(0);
        window.RefreshActionButtons();
    }
    table.SetMapName(row, info.address);
    window.RedrawRow(row);
    window.RefreshScrollButtons();
    return row;
}

// Reports a device gone as the host does.
inline void ReportGone(app::CLuDiscoverDlg& window, const QString& name, const QString& address) {
    app::DeviceTable& table = window.Table();
    const int row = table.FindDeviceRow(name, address);
    if (row >= 0) {
        table.RemoveRow(row);
        window.AfterRowRemoved();
        if (table.Count() > 0) {
            table.Select(0);
            window.RefreshActionButtons();
        }
    }
    window.RefreshScrollButtons();
}

// An LED answer for a listed device, as the host turns it into the table.
inline void ReportLed(app::CLuDiscoverDlg& window, const QString& name, const QString& address,
                      int ledStatus) {
    const bool on = ledStatus != 0;
    const int row = window.Table().FindDeviceRow(name, address);
    if (row >= 0 && window.Table().SetLed(row, on)) window.RedrawRow(row);
    window.SetIdentifyLedCaption(on);
}

}  // namespace norvale::test
