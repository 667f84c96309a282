#include <gtest/gtest.h>

#include <QTest>
#include <QUrl>

#include "WindowTestSupport.h"
#include "app/CAboutDlg.h"
#include "app/HelpWindow.h"
#include "app/LanguageModule.h"
#include "common/ProductVersion.h"
#include "resources/MainStringIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuListCtrl.h"
#include "skin/StringTable.h"
#include "tests/support/OpenedUrls.h"

using norvale::app::CAboutDlg;
using norvale::app::CLuDiscoverDlg;
using norvale::app::DiscoverDlgOptions;
using norvale::app::HelpWindow;
using norvale::app::LanguageModule;
using namespace norvale::test;

namespace {

QString LanguageFile(const char* name) {
    return qEnvironmentVariable("NORVALE_BIN_DIR") + "/" + QString::fromLatin1(name);
}

// The window with the real discovery host; devices come from the NAS
// simulator.
class ActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnlyLoopbackNetwork()) GTEST_SKIP() << "needs a loopback-only network namespace";
        ASSERT_TRUE(network.Start());
        Open(nullptr);
    }
    void TearDown() override { window.reset(); }  // waits for the discovery thread

    int Add(const SimDevice& device) {
        const int row = AddAndWait(network, *window, device);
        EXPECT_GE(row, 0) << device.name.toStdString() << " was not listed";
        return row;
    }

    void Open(const LanguageModule* language) {
        DiscoverDlgOptions options;
        options.linkFactory = RecordingLink::Factory(calls);
        options.startupDelayMs = 60000;
        options.language = language;
        window = std::make_unique<CLuDiscoverDlg>(std::move(options));
        window->show();
    }

    SimulatedNetwork network;
    std::shared_ptr<RecordingLink::Calls> calls = std::make_shared<RecordingLink::Calls>();
    std::unique_ptr<CLuDiscoverDlg> window;
};

TEST_F(ActionsTest, InfoTwiceGivesOneAboutPanelOverTheBodyAndBackRemovesIt) {
    QTest::mouseClick(window->Button(MainControl::kInfo), Qt::LeftButton);
    QTest::mouseClick(window->Button(MainControl::kInfo), Qt::LeftButton);
    EXPECT_EQ(window->findChildren<CAboutDlg*>().size(), 1);
    CAboutDlg* about = window->AboutPanel();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->geometry(), QRect(10, 94, 780, 454));
    EXPECT_EQ(about->BackButton()->geometry(), QRect(606, 410, 112, 36));
    EXPECT_EQ(about->BackButton()->text(), "Back");
    // Moving the window carries the panel with it.
    const QPoint before = about->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0));
    window->move(window->pos() + QPoint(33, 21));
    EXPECT_EQ(about->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0)), before);

    QTest::mouseClick(about->BackButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->AboutPanel(), nullptr);
    QTest::mouseClick(window->Button(MainControl::kInfo), Qt::LeftButton);
    EXPECT_NE(window->AboutPanel(), nullptr);
}

TEST(ProductVersion, VersionLineHasFourDigitPatchAndThreeDigitBuild) {
    using norvale::common::FormatVersionLine;
    EXPECT_EQ(FormatVersionLine("Version", {1, 61, 932, 1}), "Version 1.61 (0932.001)");
    EXPECT_EQ(FormatVersionLine("Version %s", {2, 5, 7, 12}), "Version %s 2.5 (0007.012)");
    const auto current = norvale::common::ProductVersion::Current();
    EXPECT_EQ(FormatVersionLine("Version", current), QString("Version %1.%2 (%3.%4)")
                                                         .arg(current.major)
                                                         .arg(current.minor)
                                                         .arg(current.patch, 4, 10, QChar('0'))
                                                         .arg(current.build, 3, 10, QChar('0')));
}

TEST_F(ActionsTest, HelpReusesItsOpenWindowAndOpensAnewAfterItWasClosed) {
    QTest::mouseClick(window->Button(MainControl::kHelp), Qt::LeftButton);
    QPointer<HelpWindow> help = window->Help();
    ASSERT_TRUE(help);
    EXPECT_EQ(help->windowTitle(), "Norvale Discovery Help");
    EXPECT_EQ(help->Page(), ":/help/help_en.html");
    EXPECT_TRUE(help->toPlainText().contains("Norvale Discovery finds"));
    help->showMinimized();
    QTest::mouseClick(window->Button(MainControl::kHelp), Qt::LeftButton);
    EXPECT_EQ(window->Help(), help.data());
    EXPECT_FALSE(help->windowState() & Qt::WindowMinimized);

    help->close();  // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(help);
    QTest::keyClick(window.get(), Qt::Key_F1);  // the help key opens it as well
    EXPECT_NE(window->Help(), nullptr);
}

TEST_F(ActionsTest, ConfigureOpensThePresentationUrlAndDoesNothingWithoutOne) {
    OpenedUrls catcher({"http", "file", "smb"});
    Add({"a-nas", "127.0.0.2"});
    QTest::mouseClick(window->Button(MainControl::kConfigure), Qt::LeftButton);
    EXPECT_TRUE(catcher.urls.empty());

    SimDevice web{"0-web", "127.0.0.3"};
    web.presentationUrl = "/index.html";  // the control point makes it absolute
    ASSERT_EQ(Add(web), 0);               // row 0, selected
    QTest::mouseClick(window->Button(MainControl::kConfigure), Qt::LeftButton);
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0].host(), "127.0.0.3");
    EXPECT_EQ(catcher.urls[0].path(), "/index.html");

    // A device's page address never opens a local file or another scheme.
    int n = 3;
    for (const char* url : {"file:///etc/passwd", "smb://127.0.0.4/share", "http:///nohost"}) {
        SimDevice odd{QStringLiteral("%1-odd").arg(n), QStringLiteral("127.0.0.%1").arg(10 + n)};
        ++n;
        odd.presentationUrl = url;
        const int row = Add(odd);
        ASSERT_GE(row, 0);
        window->Table().Select(row);
        ASSERT_EQ(window->List()->GetSelectedIndex(), row);
        QTest::mouseClick(window->Button(MainControl::kConfigure), Qt::LeftButton);
    }
    EXPECT_EQ(catcher.urls.size(), 1u);
}

TEST_F(ActionsTest, DeviceActionsWithoutASelectedDeviceDoNothing) {
    window->ToggleIdentifyLed();
    window->OpenConfigurationPage();
    window->RefreshActionButtons();
    EXPECT_TRUE(calls->setLed.empty());
    EXPECT_TRUE(calls->getLed.empty());
    EXPECT_FALSE(window->Button(MainControl::kConfigure)->isVisible());
}

TEST(LanguageModule, GermanFileBringsItsTextsAndHelpPageFirstAndUnloadRestoresEnglish) {
    LanguageModule german;
    ASSERT_TRUE(german.Load(LanguageFile("RES_German.rcc")));
    EXPECT_EQ(LoadSkinString(MainString::kDrivesFound), "Gefundene Netzlaufwerke");
    EXPECT_EQ(LoadSkinString(MainString::kLedOn), "Identifizierungs-LED einschalten");
    EXPECT_EQ(german.HelpPage(), ":/lang/help/help.html");
    german.Unload();
    EXPECT_EQ(LoadSkinString(MainString::kDrivesFound), "Network Drives Found");
    EXPECT_EQ(german.HelpPage(), ":/help/help_en.html");
}

TEST(LanguageModule, MissingFileLeavesEnglishAndALanguageWithoutHelpUsesTheEnglishPage) {
    LanguageModule missing;
    EXPECT_FALSE(missing.Load(LanguageFile("RES_Klingon.rcc")));
    EXPECT_EQ(LoadSkinString(MainString::kConfigure), "Configure");
    LanguageModule french;
    ASSERT_TRUE(french.Load(LanguageFile("RES_French.rcc")));
    EXPECT_EQ(LoadSkinString(MainString::kConfigure), "Configurer");
    EXPECT_EQ(LoadSkinString(MainString::kShortcutCreated),
              "Le raccourci a été créé sur le bureau.");
    EXPECT_EQ(french.HelpPage(), ":/help/help_en.html");
}

TEST_F(ActionsTest, GermanWindowShowsGermanCaptionsAndGermanHelp) {
    window.reset();
    LanguageModule german;
    ASSERT_TRUE(german.Load(LanguageFile("RES_German.rcc")));
    Open(&german);
    SimDevice lit{"nas", "127.0.0.2"};
    lit.ledState = 1;
    Add(lit);
    EXPECT_EQ(window->Button(MainControl::kConfigure)->text(), "Konfigurieren");
    EXPECT_EQ(window->Button(MainControl::kHelp)->text(), "Hilfe");
    ASSERT_TRUE(WaitFor([this] {
        return window->Button(MainControl::kIdentifyLed)->text() ==
               "Identifizierungs-LED ausschalten";
    }));
    window->ToggleIdentifyLed();  // the German caption is understood as "on"
    ASSERT_FALSE(calls->setLed.empty());
    EXPECT_EQ(calls->setLed.back().second, 0);
    window->OpenOnlineHelp();
    ASSERT_NE(window->Help(), nullptr);
    EXPECT_EQ(window->Help()->windowTitle(), "Norvale Discovery Hilfe");
    EXPECT_TRUE(window->Help()->toPlainText().contains("Geräte finden"));
    window.reset();
}

}  // namespace
