#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "WindowTestSupport.h"
#include "app/CAboutDlg.h"
#include "skin/CLuButton.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuStatic.h"
#include "skin/MessageBoxSkin.h"

using norvale::app::CLuDiscoverDlg;
using norvale::app::DiscoverDlgOptions;
using namespace norvale::test;
namespace cp = norvale::cp;

namespace {

struct ShownMessage {
    QString text;
    QString caption;
    QWidget* owner;
    int buttons;
};

// Every case runs the window with the real discovery host; devices come and
// go in the NAS simulator.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnlyLoopbackNetwork()) GTEST_SKIP() << "needs a loopback-only network namespace";
        ASSERT_TRUE(network.Start());
        Open();
    }
    void TearDown() override { window.reset(); }  // waits for the discovery thread

    void Open(int startupDelayMs = 60000) {
        DiscoverDlgOptions options;
        options.linkFactory = RecordingLink::Factory(calls);
        options.startupDelayMs = startupDelayMs;
        options.showMessage = [this](const QString& text, const QString& caption, QWidget* owner,
                                     int buttons) {
            messages.push_back({text, caption, owner, buttons});
            return IDOK;
        };
        window = std::make_unique<CLuDiscoverDlg>(std::move(options));
        window->show();
    }

    CLuButton* Button(int id) { return window->Button(id); }
    int SlotOf(int id) { return (Button(id)->y() - 194) / 60; }

    // Adds the device to the network; returns its row once the window lists it.
    int Add(const SimDevice& device) {
        const int row = AddAndWait(network, *window, device);
        EXPECT_GE(row, 0) << device.name.toStdString() << " was not listed";
        return row;
    }
    void Remove(const SimDevice& device) {
        EXPECT_TRUE(RemoveAndWait(network, *window, device)) << device.name.toStdString();
    }
    static SimDevice Nas(int n) {
        return {QStringLiteral("nas-%1").arg(n), QStringLiteral("127.0.0.%1").arg(n + 2)};
    }
    void AddSix() {
        for (int i = 0; i < 6; ++i) Add(Nas(i));
    }

    SimulatedNetwork network;
    std::shared_ptr<RecordingLink::Calls> calls = std::make_shared<RecordingLink::Calls>();
    std::vector<ShownMessage> messages;
    std::unique_ptr<CLuDiscoverDlg> window;
};

TEST_F(MainWindowTest, StartsDiscoveryWithAnEmptyListAndOnlyTheFixedControls) {
    EXPECT_EQ(calls->starts, 1);
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_EQ(window->windowTitle(), "Norvale Discovery");
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->List()->geometry(), QRect(32, 194, 354, 300));
    EXPECT_EQ(window->List()->VisibleRows(), 5);
    EXPECT_EQ(Button(1001)->geometry(), QRect(616, 7, 44, 24));
    EXPECT_EQ(Button(1004)->geometry(), QRect(754, 7, 38, 24));
    EXPECT_EQ(Button(1016)->pos(), QPoint(192, 158));
    EXPECT_EQ(Button(1017)->pos(), QPoint(192, 508));
    EXPECT_EQ(window->Control(1005)->geometry(), QRect(414, 113, 354, 36));
    EXPECT_EQ(static_cast<CLuStatic*>(window->Control(1006))->Text(), "Network Drives Found");
    for (int id : {1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1016, 1017, 1018}) {
        EXPECT_FALSE(window->Control(id)->isVisible()) << id;
    }
}

TEST_F(MainWindowTest, SixDevicesPageDownShowsRowsOneToFiveAndPageUpBringsRowZeroBack) {
    AddSix();
    EXPECT_EQ(window->Table().Count(), 6);
    EXPECT_TRUE(Button(1016)->isVisible());
    EXPECT_FALSE(Button(1016)->isEnabled());
    EXPECT_TRUE(Button(1017)->isEnabled());

    QTest::mouseClick(Button(1017), Qt::LeftButton);
    EXPECT_EQ(window->List()->GetTopOffset(), 1);
    EXPECT_FALSE(Button(1017)->isEnabled());
    EXPECT_TRUE(Button(1016)->isEnabled());

    QTest::mouseClick(Button(1016), Qt::LeftButton);
    EXPECT_EQ(window->List()->GetTopOffset(), 0);
    EXPECT_FALSE(Button(1016)->isEnabled());
    EXPECT_TRUE(Button(1017)->isEnabled());
}

TEST_F(MainWindowTest, RemovingRowsOnTheLastPageKeepsThePageFullThenReturnsToTheTop) {
    AddSix();
    Add(Nas(6));
    QTest::mouseClick(Button(1017), Qt::LeftButton);  // rows 2-6
    ASSERT_EQ(window->List()->GetTopOffset(), 2);
    Remove(Nas(6));
    EXPECT_EQ(window->List()->GetTopOffset(), 1);  // rows 1-5: still five shown
    Remove(Nas(5));
    EXPECT_EQ(window->List()->GetTopOffset(), 0);  // five rows fit on one page
    EXPECT_FALSE(Button(1016)->isEnabled());
    EXPECT_FALSE(Button(1017)->isEnabled());
    EXPECT_EQ(window->Table().Selected(), 0);
}

TEST_F(MainWindowTest, ActionColumnFollowsTheModelOfTheSelectedDevice) {
    Add({"b-nas", "127.0.0.2"});
    EXPECT_TRUE(Button(1007)->isVisible());
    for (int id = 1007; id <= 1011; ++id) EXPECT_EQ(SlotOf(id), id - 1007) << id;
    EXPECT_EQ(Button(1011)->text(), "Turn On Identify LED");
    ASSERT_EQ(calls->getLed.size(), 1u);  // a fresh LED state for the new selection
    cp::UPnPDevice* const bNas = window->Table().Row(0).device;

    SimDevice zben{"a-zben", "127.0.0.3"};
    zben.model = "QMZBEN";  // no Configure
    zben.identifyLed = false;
    Add(zben);  // sorts first: row 0, selected
    EXPECT_EQ(window->List()->GetSelectedIndex(), 0);
    EXPECT_EQ(window->Table().Selected(), 0);
    EXPECT_FALSE(Button(1007)->isVisible());
    EXPECT_EQ(SlotOf(1008), 0);
    EXPECT_EQ(Button(1008)->text(), "Map Network Drive");
    EXPECT_EQ(SlotOf(1010), 2);
    EXPECT_FALSE(Button(1011)->isVisible());
    EXPECT_EQ(calls->getLed.size(), 1u);  // no LED request to a device without the action

    // A click on the other row brings its column back and asks for its LED.
    QTest::mouseClick(window->List(), Qt::LeftButton, {}, QPoint(100, 90));
    EXPECT_EQ(window->Table().Selected(), 1);
    EXPECT_TRUE(Button(1007)->isVisible());
    EXPECT_TRUE(Button(1011)->isVisible());
    EXPECT_EQ(SlotOf(1011), 4);
    ASSERT_EQ(calls->getLed.size(), 2u);
    EXPECT_EQ(calls->getLed.back(), bNas);
}

TEST_F(MainWindowTest, RemovingTheLastDeviceLeavesHeadingsEmptyListAndTopButtons) {
    Add({"nas", "127.0.0.2"});
    Remove({"nas", "127.0.0.2"});
    EXPECT_EQ(window->Table().Count(), 0);
    for (int id : {1007, 1008, 1009, 1010, 1011, 1016, 1017}) {
        EXPECT_FALSE(window->Control(id)->isVisible()) << id;
    }
    for (int id : {1001, 1002, 1003, 1004, 1005, 1006, 1015}) {
        EXPECT_TRUE(window->Control(id)->isVisible()) << id;
    }
}

TEST_F(MainWindowTest, NoDeviceMessageAppearsOnceAfterTheStartupDelay) {
    window.reset();
    Open(20);
    QSignalSpy fired(window.get(), &CLuDiscoverDlg::startupTimerFired);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(fired.wait(5000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Norvale Discovery");
    EXPECT_TRUE(messages[0].text.startsWith("No Network Devices were discovered"));
    EXPECT_EQ(messages[0].owner, window.get());
    EXPECT_EQ(messages[0].buttons, BTN_OK);
    // The table filling and emptying later never brings it back.
    Add({"nas", "127.0.0.2"});
    Remove({"nas", "127.0.0.2"});
    QTest::qWait(60);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(fired.count(), 1);
}

TEST_F(MainWindowTest, NoDeviceMessageIsOwnedByAnOpenAboutPanelAndSkippedWithDevices) {
    window.reset();
    Open(20);
    window->ShowAboutPanel();
    QSignalSpy fired(window.get(), &CLuDiscoverDlg::startupTimerFired);
    ASSERT_TRUE(fired.wait(5000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].owner, window->AboutPanel());

    // A device listed before the timer fires: no message.
    ASSERT_TRUE(network.Add({"nas", "127.0.0.2"}));
    window.reset();
    messages.clear();
    Open(3000);
    QSignalSpy firedAgain(window.get(), &CLuDiscoverDlg::startupTimerFired);
    ASSERT_TRUE(WaitFor([this] { return window->Table().Count() == 1; }, 2500));
    ASSERT_TRUE(firedAgain.wait(5000));
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowTest, IdentifyLedCaptionIsTheStateAndFollowsAnswers) {
    SimDevice nas{"nas", "127.0.0.2"};
    nas.ledState = 2;  // status 2 counts as on
    Add(nas);
    auto shows = [this](const char* caption, const char* mark) {
        return WaitFor([=, this] {
            return Button(1011)->text() == caption && window->Table().Row(0).led == mark;
        });
    };
    ASSERT_TRUE(shows("Turn Off Identify LED", "1"));
    // Every LED request of the new row has its answer: the host's own one on
    // listing it and the window's.
    ASSERT_TRUE(WaitFor([this] { return calls->ledAnswers == calls->getLed.size() + 1; }));
    cp::UPnPDevice* const device = window->Table().Row(0).device;

    calls->getLed.clear();
    QTest::mouseClick(Button(1011), Qt::LeftButton);
    ASSERT_EQ(calls->setLed.size(), 1u);
    EXPECT_EQ(calls->setLed[0], std::make_pair(device, 0));
    EXPECT_EQ(calls->getLed.size(), 1u);  // the change is confirmed by a fresh answer
    EXPECT_EQ(Button(1011)->text(), "Turn Off Identify LED");  // not before the answer
    ASSERT_TRUE(shows("Turn On Identify LED", ""));
    EXPECT_EQ(network.Led("nas"), 0);

    QTest::mouseClick(Button(1011), Qt::LeftButton);
    EXPECT_EQ(calls->setLed.back(), std::make_pair(device, 1));
    ASSERT_TRUE(shows("Turn Off Identify LED", "1"));
    EXPECT_EQ(network.Led("nas"), 1);
}

void Drag(QWidget* window, QPoint from, QPoint by) {
    const QPoint global = window->mapToGlobal(from);
    QMouseEvent press(QEvent::MouseButtonPress, from, global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(window, &press);
    QMouseEvent move(QEvent::MouseMove, from + by, global + by, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(window, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, from + by, global + by, Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(window, &release);
}

TEST_F(MainWindowTest, DraggingByTheTopBandMovesTheWindowAndBelowItDoesNot) {
    const QPoint start = window->pos();
    Drag(window.get(), QPoint(300, 58), QPoint(40, 30));
    EXPECT_EQ(window->pos(), start);
    Drag(window.get(), QPoint(300, 57), QPoint(40, 30));
    EXPECT_EQ(window->pos(), start + QPoint(40, 30));
}

TEST_F(MainWindowTest, CloseButtonWaitsForDiscoveryToStopWhileSystemCloseEndsAtOnce) {
    QSignalSpy finished(window.get(), &QDialog::finished);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(calls->stopRequests, 0);  // Enter and Esc are swallowed
    EXPECT_TRUE(window->isVisible());

    QTest::mouseClick(Button(1004), Qt::LeftButton);
    EXPECT_EQ(calls->stopRequests, 1);
    EXPECT_TRUE(window->Closing());
    EXPECT_EQ(finished.count(), 0);  // the window ends once discovery has stopped
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.count(), 1);

    window.reset();
    calls = std::make_shared<RecordingLink::Calls>();
    Open();
    QSignalSpy finishedAtOnce(window.get(), &QDialog::finished);
    window->close();
    EXPECT_EQ(calls->stopRequests, 1);
    EXPECT_EQ(finishedAtOnce.count(), 1);
}

TEST_F(MainWindowTest, TopButtonsCanBeSwitchedOffDuringAConnection) {
    window->EnableTopButtons(false);
    QTest::mouseClick(Button(1004), Qt::LeftButton);
    EXPECT_EQ(calls->stopRequests, 0);
    window->EnableTopButtons(true);
    EXPECT_TRUE(Button(1001)->isEnabled());
}

}  // namespace
