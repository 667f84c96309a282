#pragma once

// The main window as a user meets it, without a network: devices listed the
// way the discovery host lists them, shares from a table-playing platform,
// the real message boxes and panels. Opened folders are recorded, never
// shown.

#include <QUrl>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/CLuDiscoverDlg.h"
#include "drives/FakeSharePlatform.h"

namespace norvale::test {

struct ListedDevice {
    const char* name;
    const char* address;
    const char* model = "QMA5KS";
    bool configure = true;  // QMZBEN models offer no Configure
};

class DesktopWindow {
  public:
    DesktopWindow() : platform(std::make_shared<drives::FakeSharePlatform>()) {
        app::DiscoverDlgOptions options;
        options.sharePlatform = platform;
        options.startupDelayMs = 24 * 3600 * 1000;
        options.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        window = std::make_unique<app::CLuDiscoverDlg>(std::move(options));
    }

    // Lists the device as the host does: in name order, row 0 selected with
    // its action column when it is the first.
    int Add(const ListedDevice& device) {
        app::DeviceTable& table = window->Table();
        const QString name = QString::fromUtf8(device.name);
        const int row = table.InsertRow(table.InsertPosition(name), name);
        table.SetAddress(row, QString::fromLatin1(device.address));
        app::DeviceFacts facts;
        facts.model = QString::fromLatin1(device.model);
        facts.modelClass = 1;
        facts.configure = device.configure;
        facts.identifyLed = true;
        facts.supported = true;
        // A made-up reference: the window passes it on and never reads it.
        const auto reference = std::uintptr_t{0x1000} + 16 * std::uintptr_t(++devices_);
        table.SetDevice(row, reinterpret_cast<cp::UPnPDevice*>(reference), facts);
        if (row == 0) {
            table.Select(0);
            window->RefreshActionButtons();
        }
        table.SetMapName(row, QString::fromLatin1(device.address));
        window->RefreshScrollButtons();
        return row;
    }

    QWidget* Control(int id) const { return window->Control(id); }

    std::shared_ptr<drives::FakeSharePlatform> platform;
    std::unique_ptr<app::CLuDiscoverDlg> window;
    std::vector<QUrl> opened;

  private:
    int devices_ = 0;
};

}  // namespace norvale::test
