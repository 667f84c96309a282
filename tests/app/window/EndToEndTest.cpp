// The window with the real discovery host against the NAS simulator. Runs
// only inside a loopback-only network namespace (ctest puts every test
// there); elsewhere the cases skip.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "app/CLuDiscoverDlg.h"
#include "app/DiscoveryHostLink.h"
#include "skin/CLuButton.h"
#include "skin/CLuListCtrl.h"
#include "tests/support/OpenedUrls.h"

using norvale::app::CLuDiscoverDlg;

namespace {

bool OnlyLoopback() {
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsLoopBack)) return false;
    }
    return true;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(20);
    }
    return true;
}

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnlyLoopback()) GTEST_SKIP() << "needs a loopback-only network namespace";
        const QString bin = qEnvironmentVariable("NORVALE_BIN_DIR");
        const QString scenario =
            qEnvironmentVariable("NORVALE_SOURCE_DIR") + "/tests/app/window/scenarios/window.json";
        sim.start(bin + "/nas-sim", {"--scenario", scenario, "--quit-on-eof"});
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(WaitFor([this] { return ReadSim().contains("ready "); }, 10000));
        norvale::app::DiscoverDlgOptions options;
        options.linkFactory = norvale::app::DiscoveryHostLink::Factory();
        options.startupDelayMs = 60000;
        window = std::make_unique<CLuDiscoverDlg>(std::move(options));
        window->show();
    }
    void TearDown() override {
        window.reset();  // waits for the discovery thread
        if (sim.state() != QProcess::NotRunning) {
            sim.closeWriteChannel();
            if (!sim.waitForFinished(5000)) sim.kill();
        }
    }

    QString ReadSim() {
        sim.waitForReadyRead(20);
        output += QString::fromUtf8(sim.readAllStandardOutput());
        return output;
    }
    void Command(const QString& line) { sim.write((line + "\n").toUtf8()); }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < window->Table().Count(); ++i) names << window->Table().Row(i).name;
        return names;
    }
    QString Caption() const { return window->Button(MainControl::kIdentifyLed)->text(); }

    QProcess sim;
    QString output;
    std::unique_ptr<CLuDiscoverDlg> window;
};

TEST_F(EndToEndTest, SimulatedDevicesFillTheWindowAndFollowTheirLeds) {
    ASSERT_TRUE(WaitFor([this] { return window->Table().Count() == 6; }))
        << Names().join(",").toStdString();
    EXPECT_EQ(Names(), QStringList({"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot"}));
    EXPECT_EQ(window->List()->GetSelectedIndex(), 0);
    // The scroll buttons follow right after the last row.
    EXPECT_TRUE(WaitFor([this] { return window->Button(MainControl::kScrollDown)->isEnabled(); }));
    // Alpha reports LED status 2: on. The caption follows the device that
    // answered last, so the other devices' first answers must be in before
    // a fresh answer for the selected Alpha sets it.
    ASSERT_TRUE(WaitFor([this] { return window->Table().Row(0).led == "1"; }));
    ASSERT_TRUE(WaitFor([this] {
        QTest::mouseClick(window->List(), Qt::LeftButton, {}, QPoint(100, 30));
        QTest::qWait(200);
        return Caption() == "Turn Off Identify LED";
    }));

    QTest::mouseClick(window->Button(MainControl::kIdentifyLed), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return window->Table().Row(0).led.isEmpty(); }));
    EXPECT_EQ(Caption(), "Turn On Identify LED");
    Command("get alpha");
    EXPECT_TRUE(WaitFor([this] { return ReadSim().contains("led alpha 0"); }))
        << output.toStdString();

    // The QMZBEN model: no Configure, Map Network Drive on top.
    QTest::mouseClick(window->List(), Qt::LeftButton, {}, QPoint(100, 4 * 60 + 30));
    EXPECT_EQ(window->Table().Selected(), 4);
    EXPECT_FALSE(window->Button(MainControl::kConfigure)->isVisible());
    EXPECT_EQ(window->Button(MainControl::kMapDrive)->pos(), QPoint(414, 194));
}

TEST_F(EndToEndTest, ConfigureOpensTheDevicesPageAndDepartedDevicesLeaveTheList) {
    ASSERT_TRUE(WaitFor([this] { return window->Table().Count() == 6; }));
    std::vector<QUrl> opened;
    {
        norvale::test::OpenedUrls catcher({"http"});
        QTest::mouseClick(window->Button(MainControl::kConfigure), Qt::LeftButton);  // Alpha
        opened = catcher.urls;
    }
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path(), "/index.html");
    EXPECT_EQ(opened[0].host(), window->Table().Row(0).address);

    Command("byebye alpha");
    ASSERT_TRUE(WaitFor([this] { return window->Table().Count() == 5; }));
    EXPECT_EQ(window->Table().Row(0).name, "Bravo");
    EXPECT_EQ(window->Table().Selected(), 0);
    EXPECT_FALSE(window->Button(MainControl::kScrollDown)->isEnabled());  // five rows fit
}

TEST_F(EndToEndTest, CloseButtonEndsTheWindowOnceDiscoveryHasStopped) {
    ASSERT_TRUE(WaitFor([this] { return window->Table().Count() == 6; }));
    QSignalSpy finished(window.get(), &QDialog::finished);
    QTest::mouseClick(window->Button(MainControl::kClose), Qt::LeftButton);
    EXPECT_TRUE(window->Closing());
    ASSERT_TRUE(finished.wait(10000));
}

}  // namespace
