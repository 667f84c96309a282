// F5 searches again from anywhere in the window and keeps the list.
#include <gtest/gtest.h>

#include <QTest>

#include "WindowTestSupport.h"
#include "skin/CLuListCtrl.h"

using norvale::app::CLuDiscoverDlg;
using norvale::app::DiscoverDlgOptions;
using namespace norvale::test;

TEST(SearchKey, F5SearchesAgainFromTheWindowOrTheListAndKeepsTheRows) {
    if (!OnlyLoopbackNetwork()) GTEST_SKIP() << "needs a loopback-only network namespace";
    SimulatedNetwork network;
    ASSERT_TRUE(network.Start());
    auto calls = std::make_shared<RecordingLink::Calls>();
    DiscoverDlgOptions options;
    options.linkFactory = RecordingLink::Factory(calls);
    options.startupDelayMs = 60000;
    options.showMessage = [](const QString&, const QString&, QWidget*, int) { return IDOK; };
    CLuDiscoverDlg window(std::move(options));
    window.show();
    ASSERT_GE(AddAndWait(network, window, {QStringLiteral("Office"), QStringLiteral("127.0.0.2")}),
              0);

    QTest::keyClick(&window, Qt::Key_F5);
    EXPECT_EQ(calls->searches, 1);
    window.List()->setFocus();
    QTest::keyClick(window.List(), Qt::Key_F5);  // reaches the window from the focused list
    EXPECT_EQ(calls->searches, 2);
    QTest::keyClick(&window, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(calls->searches, 2) << "only F5 itself searches";
    EXPECT_EQ(window.Table().Count(), 1);
    EXPECT_TRUE(window.isVisible());

    window.CloseWindow();  // closing: no search any more
    QTest::keyClick(&window, Qt::Key_F5);
    EXPECT_EQ(calls->searches, 2);
}
