#pragma once

// The window driven by the real discovery host against the NAS simulator:
// devices are added, removed and switched in nas-sim, and every row, LED and
// caption change reaches the window through DiscoveryHost exactly as in the
// program. Only inside a loopback-only network namespace (ctest runs every
// test program in one); elsewhere RealNetworkAllowed() is false and the
// cases skip, so nothing is ever sent to a real network.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QString>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/CLuDiscoverDlg.h"
#include "app/DiscoveryHostLink.h"
#include "app/DiscoveryLink.h"
#include "tests/tools/nas-sim/NasSimProcess.h"

namespace norvale::test {

// True only inside a namespace whose every interface is loopback.
inline bool OnlyLoopbackNetwork() {
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsLoopBack)) return false;
    }
    return true;
}

// Runs the event loop until `condition` holds; false after `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(10);
    }
    return true;
}

// The real discovery host, with a record of what the window asked of it and
// of the LED answers the host passed to the window. The record outlives the
// link (shared), so a test can read it after the window is gone.
class RecordingLink : public app::DiscoveryLink {
  public:
    struct Calls {
        int starts = 0;
        int stopRequests = 0;
        std::vector<cp::UPnPDevice*> getLed;
        std::vector<std::pair<cp::UPnPDevice*, int>> setLed;
        int searches = 0;
        std::size_t ledAnswers = 0;  // every answer, also to the host's own requests
    };

    RecordingLink(app::DiscoveryFrontEnd* frontEnd, std::shared_ptr<Calls> calls)
        : counter_(frontEnd, calls), real_(&counter_), calls_(std::move(calls)) {}

    void Start() override {
        ++calls_->starts;
        real_.Start();
    }
    void RequestStop() override {
        if (!real_.ChainStopped()) ++calls_->stopRequests;
        real_.RequestStop();
    }
    bool ChainStopped() const override { return real_.ChainStopped(); }
    void SendGetLedStatus(cp::UPnPDevice* device) override {
        calls_->getLed.push_back(device);
        real_.SendGetLedStatus(device);
    }
    void SendSetLedStatus(cp::UPnPDevice* device, int status) override {
        calls_->setLed.emplace_back(device, status);
        real_.SendSetLedStatus(device, status);
    }

    void Search() override {
        ++calls_->searches;
        real_.Search();
    }

    static app::DiscoveryLinkFactory Factory(std::shared_ptr<Calls> calls) {
        return [calls](app::DiscoveryFrontEnd* frontEnd) -> std::unique_ptr<app::DiscoveryLink> {
            return std::make_unique<RecordingLink>(frontEnd, calls);
        };
    }

  private:
    // Passes every report of the host on to the window, counting the LED
    // answers on the way.
    class CountingFrontEnd : public app::DiscoveryFrontEnd {
      public:
        CountingFrontEnd(app::DiscoveryFrontEnd* window, std::shared_ptr<Calls> calls)
            : window_(window), calls_(std::move(calls)) {}
        app::DeviceTable& Table() override { return window_->Table(); }
        void RefreshActionButtons() override { window_->RefreshActionButtons(); }
        void RedrawRow(int index) override { window_->RedrawRow(index); }
        void RefreshScrollButtons() override { window_->RefreshScrollButtons(); }
        void AfterRowRemoved() override { window_->AfterRowRemoved(); }
        void SetIdentifyLedCaption(bool on) override { window_->SetIdentifyLedCaption(on); }
        void LedStatusAnswered(const QString& name, const QString& address, int resultCode,
                               bool on) override {
            ++calls_->ledAnswers;
            window_->LedStatusAnswered(name, address, resultCode, on);
        }
        void UnsupportedDeviceAdded(const app::DeviceRow& device) override {
            window_->UnsupportedDeviceAdded(device);
        }
        void UnsupportedDeviceRemoved(const app::DeviceRow& device) override {
            window_->UnsupportedDeviceRemoved(device);
        }
        void DiscoveryStopped() override { window_->DiscoveryStopped(); }

      private:
        app::DiscoveryFrontEnd* window_;
        std::shared_ptr<Calls> calls_;
    };

    CountingFrontEnd counter_;
    app::DiscoveryHostLink real_;
    std::shared_ptr<Calls> calls_;
};

// A device as the simulator plays it: `name` is both its simulator name and
// its friendly name (the row's name).
struct SimDevice {
    SimDevice(QString deviceName, QString deviceAddress)
        : name(std::move(deviceName)), address(std::move(deviceAddress)) {}

    QString name;
    QString address;
    QString model = QStringLiteral("QMA5KS");
    QString presentationUrl;  // empty: none
    int ledState = 0;
    bool identifyLed = true;  // false: a service without the LED actions

    QJsonObject Json() const {
        QJsonObject json{{"name", name},         {"friendlyName", name}, {"address", address},
                         {"modelNumber", model}, {"ledState", ledState}, {"maxAge", 1800},
                         {"notifyPeriodMs", 0}};
        if (!presentationUrl.isEmpty()) json["presentationURL"] = presentationUrl;
        if (!identifyLed) {
            json["services"] =
                QJsonArray{QJsonObject{{"serviceType", "urn:schemas-upnp-org:service:NASExtra:1"},
                                       {"serviceId", "urn:upnp-org:serviceId:NASExtra"},
                                       {"actions", QJsonArray{"GetInfo"}},
                                       {"stateVariables", QJsonArray{}}}};
        }
        return json;
    }
};

// nas-sim with no devices to begin with, driven by its stdin commands.
class SimulatedNetwork {
  public:
    bool Start() {
        sim_ = std::make_unique<norvale::testing::NasSimProcess>(
            std::vector<std::string>{"--quit-on-eof"}, R"({"devices": []})");
        return sim_->Started();
    }

    bool Add(const SimDevice& device) {
        const QByteArray json = QJsonDocument(device.Json()).toJson(QJsonDocument::Compact);
        return Reply("add " + json.toStdString(), "ok add " + device.name.toStdString());
    }
    // byebye, then the device is gone.
    bool Remove(const QString& name) {
        return Reply("remove " + name.toStdString(), "ok remove " + name.toStdString());
    }
    // The device's own LED state, as it answers GetLEDStatus; -1 unknown.
    int Led(const QString& name) {
        const std::string prefix = "led " + name.toStdString() + " ";
        std::string line = sim_->Command("get " + name.toStdString());
        if (line.rfind(prefix, 0) != 0) line = sim_->WaitForLine(prefix);
        return line.empty() ? -1 : std::atoi(line.c_str() + prefix.size());
    }

  private:
    // Sends `command` and reads up to the line starting with `reply`.
    bool Reply(const std::string& command, const std::string& reply) {
        const std::string first = sim_->Command(command);
        return first.rfind(reply, 0) == 0 || !sim_->WaitForLine(reply).empty();
    }

    std::unique_ptr<norvale::testing::NasSimProcess> sim_;
};

// Adds `device` to the network and waits until the window lists it.
// Returns its row, or -1 when it never appeared.
inline int AddAndWait(SimulatedNetwork& network, app::CLuDiscoverDlg& window,
                      const SimDevice& device) {
    if (!network.Add(device)) return -1;
    int row = -1;
    WaitFor([&] {
        row = window.Table().FindDeviceRow(device.name, device.address);
        return row >= 0;
    });
    return row;
}

// Removes the device from the network and waits until its row is gone.
inline bool RemoveAndWait(SimulatedNetwork& network, app::CLuDiscoverDlg& window,
                          const SimDevice& device) {
    return network.Remove(device.name) &&
           WaitFor([&] { return window.Table().FindDeviceRow(device.name, device.address) < 0; });
}

}  // namespace norvale::test
