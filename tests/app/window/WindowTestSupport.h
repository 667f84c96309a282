#pragma once

// The window driven by the real discovery host against the NAS simulator:
// devices are added, removed and switched in nas-sim, and every row, LED and
// caption change reaches the window through DiscoveryHost exactly as in the
// program. Only inside a loopback-only network namespace (ctest runs every
// test program in one); elsewhere RealNetworkAllowed() is false and the
// cases skip, so nothing is ever sent to a real network.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/CLuDiscoverDlg.h"
#include "app/DiscoveryHostLink.h"
#include "app/DiscoveryLink.h"

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

// The real discovery host, with a record of what the window asked of it.
// The record outlives the link (shared), so a test can read it after the
// window is gone.
class RecordingLink : public app::DiscoveryLink {
  public:
    struct Calls {
        int starts = 0;
        int stopRequests = 0;
        std::vector<cp::UPnPDevice*> getLed;
        std::vector<std::pair<cp::UPnPDevice*, int>> setLed;
    };

    RecordingLink(app::DiscoveryFrontEnd* frontEnd, std::shared_ptr<Calls> calls)
        : real_(frontEnd), calls_(std::move(calls)) {}

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

    static app::DiscoveryLinkFactory Factory(std::shared_ptr<Calls> calls) {
        return [calls](app::DiscoveryFrontEnd* frontEnd) -> std::unique_ptr<app::DiscoveryLink> {
            return std::make_unique<RecordingLink>(frontEnd, calls);
        };
    }

  private:
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
    SimulatedNetwork() = default;
    SimulatedNetwork(const SimulatedNetwork&) = delete;
    SimulatedNetwork& operator=(const SimulatedNetwork&) = delete;
    ~SimulatedNetwork() {
        if (sim_.state() == QProcess::NotRunning) return;
        sim_.closeWriteChannel();  // --quit-on-eof: byebye for all, exit
        if (!sim_.waitForFinished(5000)) sim_.kill();
    }

    bool Start() {
        const QString scenario = dir_.filePath("empty.json");
        QFile file(scenario);
        if (!file.open(QIODevice::WriteOnly) || file.write(R"({"devices": []})") < 0) return false;
        file.close();
        sim_.start(qEnvironmentVariable("NORVALE_BIN_DIR") + "/nas-sim",
                   {"--scenario", scenario, "--quit-on-eof"});
        return sim_.waitForStarted(5000) && WaitForOutput("ready ", 0) >= 0;
    }

    // Sends one command and waits for its reply ("ok <verb> ...", "led ...");
    // returns where the reply starts in the output, or -1.
    qsizetype Command(const QString& line, const QString& reply) {
        const qsizetype from = output_.size();
        sim_.write((line + "\n").toUtf8());
        return WaitForOutput(reply, from);
    }
    bool Add(const SimDevice& device) {
        const QByteArray json = QJsonDocument(device.Json()).toJson(QJsonDocument::Compact);
        return Command("add " + QString::fromUtf8(json), "ok add " + device.name) >= 0;
    }
    // byebye, then the device is gone.
    bool Remove(const QString& name) { return Command("remove " + name, "ok remove " + name) >= 0; }
    // The device's own LED state, as it answers GetLEDStatus; -1 unknown.
    int Led(const QString& name) {
        const QString reply = "led " + name + " ";
        const qsizetype at = Command("get " + name, reply);
        return at < 0 ? -1 : output_.mid(at + reply.size(), 1).toInt();
    }

  private:
    qsizetype WaitForOutput(const QString& text, qsizetype from) {
        qsizetype at = -1;
        WaitFor([&] {
            output_ += QString::fromUtf8(sim_.readAllStandardOutput());
            at = output_.indexOf(text, from);
            return at >= 0;
        });
        return at;
    }

    QTemporaryDir dir_;
    QProcess sim_;
    QString output_;
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
