// The discovery host with a front end of the test's own, against the NAS
// simulator started in this test's namespace.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "app/DiscoveryHost.h"

using namespace norvale::app;

namespace {

class RecordingFrontEnd : public DiscoveryFrontEnd {
  public:
    DeviceTable& Table() override { return table; }
    void RefreshActionButtons() override { ++actionRefreshes; }
    void RefreshScrollButtons() override { ++scrollRefreshes; }
    void AfterRowRemoved() override { ++rowsRemoved; }
    void SetIdentifyLedCaption(bool on) override { captions.push_back(on); }
    void UnsupportedDeviceAdded(const DeviceRow& row) override { unsupported.push_back(row.name); }
    void UnsupportedDeviceRemoved(const DeviceRow& row) override {
        unsupportedGone.push_back(row.name);
    }
    void DiscoveryStopped() override { stopped = true; }

    DeviceTable table;
    int actionRefreshes = 0;
    int scrollRefreshes = 0;
    int rowsRemoved = 0;
    std::vector<bool> captions;
    QStringList unsupported;
    QStringList unsupportedGone;
    bool stopped = false;
};

// Answers "One" with its own address and "Two" with another, but only once
// the test opens the gate.
struct ResolverGate {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> open{false};
};
ResolverGate& TheResolverGate() {
    static ResolverGate gate;
    return gate;
}
bool GatedResolver(const std::string& name, std::string* address) {
    ResolverGate& gate = TheResolverGate();
    std::unique_lock<std::mutex> guard(gate.lock);
    gate.changed.wait(guard, [&] { return gate.open.load(); });
    *address = name == "One" ? "127.0.0.2" : "127.0.0.99";
    return true;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class HostTest : public ::testing::Test {
  protected:
    // The simulated network, a file of tests/app/host.
    virtual const char* Scenario() const { return "scenario.json"; }
    void SetUp() override {
        const QString bin = qEnvironmentVariable("NORVALE_BIN_DIR");
        const QString scenario =
            qEnvironmentVariable("NORVALE_SOURCE_DIR") + "/tests/app/host/" + Scenario();
        sim.setStandardErrorFile(QProcess::nullDevice());
        sim.start(bin + "/nas-sim", {"--scenario", scenario, "--quit-on-eof"});
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(WaitFor([&] { return sim.canReadLine() && sim.readLine().startsWith("ready"); },
                            10000));
    }
    void TearDown() override {
        sim.terminate();
        sim.waitForFinished(3000);
    }

    int argc = 1;
    char name[5] = "host";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    QProcess sim;
};

}  // namespace

TEST_F(HostTest, FillsTheTableAndIgnoresReportsWhileClosing) {
    RecordingFrontEnd front;
    DiscoveryHost host(&front);
    host.Start();
    ASSERT_TRUE(
        WaitFor([&] { return front.table.Count() == 2 && front.captions.size() >= 2; }, 10000));
    EXPECT_EQ(front.table.Row(0).name, "One");
    EXPECT_EQ(front.table.Selected(), 0);  // the first row is selected
    EXPECT_GE(front.actionRefreshes, 1);
    EXPECT_EQ(front.table.Row(0).led, "1");  // status 2 counts as on
    // The caption follows whichever device answered last: One (on) and Two (off).
    EXPECT_EQ(std::count(front.captions.begin(), front.captions.end(), true), 1);
    EXPECT_FALSE(front.table.Row(1).facts.configure);
    EXPECT_EQ(front.unsupported, QStringList{"Stranger"});

    // The unsupported device leaves: nothing is removed, the scroll buttons
    // are refreshed all the same.
    const int refreshes = front.scrollRefreshes;
    ASSERT_TRUE(WaitFor([&] { return !front.unsupportedGone.isEmpty(); }, 5000));
    EXPECT_EQ(front.rowsRemoved, 0);
    EXPECT_GT(front.scrollRefreshes, refreshes);

    // Closing: the chain's teardown reports every device gone, and the host
    // ignores those reports.
    bool stoppedSignal = false;
    QObject::connect(&host, &DiscoveryHost::stopped, [&] { stoppedSignal = true; });
    host.RequestStop();
    EXPECT_TRUE(host.Closing());
    ASSERT_TRUE(WaitFor([&] { return stoppedSignal; }, 10000));
    EXPECT_TRUE(front.stopped);
    EXPECT_TRUE(host.ChainStopped());
    EXPECT_EQ(front.table.Count(), 2);
    EXPECT_EQ(front.rowsRemoved, 0);
    host.RequestStop();  // after the stop: nothing happens
}

TEST_F(HostTest, DestroyingTheHostWhileDevicesReportNeverHangs) {
    for (int i = 0; i < 3; ++i) {
        RecordingFrontEnd front;
        auto host = std::make_unique<DiscoveryHost>(&front);
        host->Start();
        WaitFor([&] { return front.table.Count() > i % 2; }, 5000);
        host.reset();  // joins the discovery thread even if a report waits for this thread
    }
}

TEST_F(HostTest, RowsComeAtOnceUnderTheirAddressAndTakeTheNameWhenTheLookupConfirmsIt) {
    RecordingFrontEnd front;
    DiscoveryHost host(&front);
    host.SetNameResolver(&GatedResolver);
    QStringList checked;
    QObject::connect(&host, &DiscoveryHost::mapNameChecked,
                     [&](const QString& name, const QString&, bool) { checked << name; });
    host.Start();
    // Both rows are in while every lookup still waits.
    ASSERT_TRUE(WaitFor([&] { return front.table.Count() == 2; }, 10000));
    EXPECT_EQ(front.table.Row(0).mapName, "127.0.0.2");
    EXPECT_EQ(front.table.Row(1).mapName, "127.0.0.3");
    {
        ResolverGate& gate = TheResolverGate();
        std::lock_guard<std::mutex> guard(gate.lock);
        gate.open = true;
        gate.changed.notify_all();
    }
    ASSERT_TRUE(WaitFor([&] { return front.table.Row(0).mapName == "One"; }, 5000));
    // Two's lookup answers too, with another address.
    ASSERT_TRUE(WaitFor([&] { return checked.contains("Two"); }, 5000));
    EXPECT_EQ(front.table.Row(0).name, "One");  // rows keep their order
    EXPECT_EQ(front.table.Row(1).name, "Two");
    EXPECT_EQ(front.table.Row(1).mapName, "127.0.0.3");
}

// Two devices of one host share a name, so one row stands for both.
class TwinHostTest : public HostTest {
  protected:
    const char* Scenario() const override { return "twins.json"; }
    // Sends a command to the simulator and waits for its reply line.
    void Command(const QByteArray& line) {
        sim.write(line + "\n");
        ASSERT_TRUE(
            WaitFor([&] { return sim.canReadLine() && sim.readLine().startsWith("ok"); }, 5000));
    }
};

TEST_F(TwinHostTest, ARowStaysWhileAnyDeviceBehindItLivesAndShowsTheSurvivor) {
    RecordingFrontEnd front;
    DiscoveryHost host(&front);
    host.Start();
    // Each report refreshes the scroll buttons once: both twins are in.
    ASSERT_TRUE(WaitFor([&] { return front.scrollRefreshes >= 2; }, 10000));
    ASSERT_EQ(front.table.Count(), 1);
    const QString shown = front.table.Row(0).facts.location;
    const bool firstShown = shown.contains(":49160/");
    // The device the row shows leaves: the row stays and shows the other.
    Command(firstShown ? "byebye twin-a" : "byebye twin-b");
    ASSERT_TRUE(WaitFor([&] { return front.scrollRefreshes >= 3; }, 10000));
    ASSERT_EQ(front.table.Count(), 1);
    EXPECT_EQ(front.table.Row(0).name, "Twin");
    EXPECT_NE(front.table.Row(0).facts.location, shown);
    EXPECT_NE(front.table.Row(0).device, nullptr);
    EXPECT_EQ(front.rowsRemoved, 0);
    // The last one leaves: the row goes.
    Command(firstShown ? "byebye twin-b" : "byebye twin-a");
    ASSERT_TRUE(WaitFor([&] { return front.table.Count() == 0; }, 10000));
    EXPECT_EQ(front.rowsRemoved, 1);
}
