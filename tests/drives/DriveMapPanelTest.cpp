// The "Map Network Drive" button and its panel, through the main window
// over a table-playing share platform.
#include <gtest/gtest.h>

#include "drives/CDriveMapDlg.h"
#include "drives/CShareFolderDlg.h"
#include "skin/CLuListCtrl.h"
#include "tests/drives/SharePanelTestSupport.h"

namespace norvale::test {
namespace {

using drives::FakeSharePlatform;
using drives::ShareEntry;

constexpr char16_t kNone = 0;

TEST(DriveMapButton, NoListsSharesWithLettersOnlyForThoseAlreadyMapped) {
    ShareWindowFixture f;
    f.SetShares({"photos", "data", "media"});
    f.platform->SetNetworkDrive(u'M', ShareWindowFixture::Path("media"));
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();

    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text.left(20), QStringLiteral("Would you like to ma"));
    EXPECT_EQ(f.messages[0].caption, QStringLiteral("Map Network Drive"));
    EXPECT_EQ(f.messages[0].buttons, BTN_YES | BTN_NO);
    auto* panel = qobject_cast<drives::CDriveMapDlg*>(f.window->SharePanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->Automatic());
    EXPECT_EQ(panel->geometry(), QRect(10, 94, 780, 454));
    EXPECT_EQ(f.RowTexts(), QStringList({"data", "media (M:)", "photos"}));
    EXPECT_EQ(f.RowLetter(0), kNone);
    EXPECT_EQ(f.RowLetter(1), u'M');
    EXPECT_TRUE(f.platform->Calls().empty()) << "listing alone connects nothing";
}

TEST(DriveMapButton, YesMapsEveryUsableShareFromZDown) {
    ShareWindowFixture f;
    std::vector<ShareEntry> shares = {{"data", drives::kShareDisk},
                                      {"backup$", drives::kShareDisk},
                                      {"laser", drives::kSharePrintQueue},
                                      {"media", drives::kShareDisk}};
    f.platform->SetShares(ShareWindowFixture::kServer, shares);
    f.platform->SetNetworkDrive(u'Z', QStringLiteral("\\\\elsewhere\\x"));
    f.window->OnMapNetworkDrive();

    EXPECT_EQ(f.RowTexts(), QStringList({"data (Y:)", "media (X:)"}));
    EXPECT_EQ(f.RowLetter(0), u'Y');
    ASSERT_NE(f.platform->LetterOf(u'X'), nullptr);
    EXPECT_EQ(f.platform->LetterOf(u'X')->remote, ShareWindowFixture::Path("media"));
    for (const FakeSharePlatform::Call& call : f.platform->Calls()) {
        EXPECT_FALSE(call.interactive) << "automatic mapping never prompts";
    }
}

TEST(DriveMapButton, ReportsUnreachableServerAndDevicesWithoutUsableShares) {
    {
        ShareWindowFixture f;  // no server at 127.0.0.5
        f.window->OnMapNetworkDrive();
        ASSERT_EQ(f.messages.size(), 1u);
        EXPECT_EQ(f.messages[0].text,
                  QStringLiteral("\"\\\\127.0.0.5\"\n\nThe network path was not found."));
        EXPECT_EQ(f.messages[0].caption, QStringLiteral("Norvale Discovery"));
        EXPECT_EQ(f.messages[0].buttons, BTN_OK);
        EXPECT_EQ(f.window->SharePanel(), nullptr);
    }
    {
        ShareWindowFixture f;
        f.platform->SetShares(ShareWindowFixture::kServer, {{"admin$", drives::kShareDisk},
                                                            {"laser", drives::kSharePrintQueue},
                                                            {"CONFIGURATION", drives::kShareDisk}});
        f.window->OnMapNetworkDrive();
        ASSERT_EQ(f.messages.size(), 1u);
        EXPECT_EQ(f.messages[0].text, QStringLiteral("No network share available."));
        EXPECT_EQ(f.window->SharePanel(), nullptr);
    }
    {
        ShareWindowFixture f;  // a server with no shares at all
        f.platform->SetShares(ShareWindowFixture::kServer, {});
        f.window->OnBrowseNetworkShares();
        ASSERT_EQ(f.messages.size(), 1u);
        EXPECT_TRUE(f.messages[0].text.endsWith(QStringLiteral("The network path was not found.")));
    }
}

TEST(DriveMapButton, AccessDeniedPromptsUntilListedOrCancelled) {
    ShareWindowFixture f;
    f.SetShares({"data"});
    f.platform->QueueShareResult(ShareWindowFixture::kServer, drives::kErrorAccessDenied);
    f.platform->QueueShareResult(ShareWindowFixture::kServer, drives::kErrorAccessDenied);
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    int logins = 0;
    for (const FakeSharePlatform::Call& call : f.platform->Calls()) {
        if (call.op == "add" && call.drive.isEmpty() && call.interactive &&
            call.remote == ShareWindowFixture::kServer) {
            ++logins;
            EXPECT_EQ(call.owner, f.window.get());
        }
    }
    EXPECT_EQ(logins, 2);
    EXPECT_NE(f.window->SharePanel(), nullptr);

    ShareWindowFixture cancelled;
    cancelled.platform->SetShares(ShareWindowFixture::kServer, {}, drives::kErrorAccessDenied);
    cancelled.platform->SetConnectResult(ShareWindowFixture::kServer, drives::kErrorCancelled);
    cancelled.window->OnBrowseNetworkShares();
    EXPECT_TRUE(cancelled.messages.empty()) << "a cancelled prompt shows nothing";
    EXPECT_EQ(cancelled.window->SharePanel(), nullptr);

    // A platform that refuses for ever without asking ends as unreachable.
    ShareWindowFixture refused;
    refused.platform->SetShares(ShareWindowFixture::kServer, {}, drives::kErrorAccessDenied);
    refused.platform->SetConnectResult(ShareWindowFixture::kServer, drives::kErrorAccessDenied);
    refused.window->OnMapNetworkDrive();
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_TRUE(refused.messages[0].text.contains(QStringLiteral("network path was not found")));
}

TEST(DriveMapRowClick, RemappingDataFromZToYShowsYAndDropsZ) {
    ShareWindowFixture f;
    f.SetShares({"data", "media"});
    f.platform->SetNetworkDrive(u'Z', ShareWindowFixture::Path("data"));
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    ASSERT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media"}));

    QStringList offered;
    AnswerLetterQuestion(QStringLiteral("Y:"), &offered);
    f.ClickRow(0);
    ASSERT_EQ(offered.size(), 1 + 22);
    EXPECT_EQ(offered[0], QStringLiteral("Y:")) << "Z: holds data and is not offered";
    EXPECT_EQ(offered[1], QStringLiteral("Y:"));
    EXPECT_EQ(offered.last(), QStringLiteral("D:"));
    EXPECT_EQ(f.RowTexts(), QStringList({"data (Y:)", "media"}));
    EXPECT_EQ(f.RowLetter(0), u'Y');
    EXPECT_EQ(f.platform->LetterOf(u'Z'), nullptr);
    ASSERT_NE(f.platform->LetterOf(u'Y'), nullptr);
    EXPECT_EQ(f.platform->LetterOf(u'Y')->remote, ShareWindowFixture::Path("data"));
    const auto& calls = f.platform->Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().op, QStringLiteral("cancel"));
    EXPECT_EQ(calls.back().drive, QStringLiteral("Z:"));
}

TEST(DriveMapRowClick, ChosenLetterIsDroppedFirstEvenWhenMappingFails) {
    ShareWindowFixture f;
    f.SetShares({"data"});
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    f.platform->SetConnectResult(ShareWindowFixture::Path("data"), drives::kErrorBadNetPath);
    // The letter is taken by someone else while the question is up.
    AnswerLetterQuestion(QStringLiteral("X:"), nullptr, [&] {
        f.platform->SetNetworkDrive(u'X', QStringLiteral("\\\\other\\stuff"));
    });
    f.messages.clear();
    f.ClickRow(0);
    EXPECT_EQ(f.platform->LetterOf(u'X'), nullptr) << "X: was dropped before the attempt";
    EXPECT_EQ(f.RowTexts(), QStringList({"data"})) << "a failed mapping leaves the row";
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, QStringLiteral("Error 53"));

    // No at the question changes nothing.
    const std::size_t before = f.platform->Calls().size();
    AnswerLetterQuestion(QString());
    f.ClickRow(0);
    EXPECT_EQ(f.platform->Calls().size(), before);
    // With every letter taken, Yes counts as No.
    for (char16_t letter = u'D'; letter <= u'Z'; ++letter) f.platform->SetLocalDrive(letter);
    QStringList offered;
    AnswerLetterQuestion(QStringLiteral("Z:"), &offered);
    f.ClickRow(0);
    EXPECT_EQ(offered, QStringList({QString()}));
    EXPECT_EQ(f.platform->Calls().size(), before);
}

// Records the top buttons' state at every connection attempt.
class ProbePlatform : public FakeSharePlatform {
  public:
    int AddConnection(const QString& drive, const QString& remote, bool interactive,
                      QWidget* owner) override {
        if (window) closeEnabled.push_back(window->Button(MainControl::kClose)->isEnabled());
        QApplication::processEvents();  // a prompt would run the loop
        return FakeSharePlatform::AddConnection(drive, remote, interactive, owner);
    }
    app::CLuDiscoverDlg* window = nullptr;
    std::vector<bool> closeEnabled;
};

TEST(DriveMapRowClick, TopButtonsAreOffWhileAnInteractiveMappingRuns) {
    auto platform = std::make_shared<ProbePlatform>();
    app::DiscoverDlgOptions options;
    options.sharePlatform = platform;
    options.showMessage = [](const QString&, const QString&, QWidget*, int) { return IDNO; };
    app::CLuDiscoverDlg window(options);
    platform->window = &window;
    window.Table().InsertRow(0, QStringLiteral("nas"));
    window.Table().SetAddress(0, QStringLiteral("127.0.0.5"));
    window.Table().SetDevice(0, reinterpret_cast<cp::UPnPDevice*>(0x1000), {});
    window.Table().SetMapName(0, QStringLiteral("127.0.0.5"));
    window.Table().Select(0);
    platform->SetShares(ShareWindowFixture::kServer, {{"data", drives::kShareDisk}});
    window.OnMapNetworkDrive();
    ASSERT_NE(window.SharePanel(), nullptr);

    AnswerLetterQuestion(QStringLiteral("Z:"));
    CLuListCtrl* list = window.SharePanel()->List();
    const QPoint at(10, 10);
    QMouseEvent press(QEvent::MouseButtonPress, at, list->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    ASSERT_EQ(platform->closeEnabled, std::vector<bool>({false}));
    for (int id :
         {MainControl::kInfo, MainControl::kHelp, MainControl::kMinimise, MainControl::kClose})
        EXPECT_TRUE(window.Button(id)->isEnabled()) << id;
}

TEST(DriveMapEvents, RowsFollowLettersConnectedAndDroppedElsewhere) {
    ShareWindowFixture f;
    f.SetShares({"data", "media", "photos"});
    f.platform->SetNetworkDrive(u'Z', ShareWindowFixture::Path("data"));
    f.platform->SetNetworkDrive(u'W', ShareWindowFixture::Path("data"));
    f.platform->SetNetworkDrive(u'V', ShareWindowFixture::Path("photos"));
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    ASSERT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media", "photos (V:)"}));

    // Z dropped in the system: data still has W.
    f.platform->CancelConnection(QStringLiteral("Z:"));
    f.window->OnDriveEvent(true, QLatin1Char('Z'));
    EXPECT_EQ(f.RowTexts(), QStringList({"data (W:)", "media", "photos (V:)"}));
    // V dropped: photos turns plain.
    f.platform->CancelConnection(QStringLiteral("V:"));
    f.window->OnDriveEvent(true, QLatin1Char('V'));
    EXPECT_EQ(f.RowTexts(), QStringList({"data (W:)", "media", "photos"}));
    EXPECT_EQ(f.RowLetter(2), kNone);
    // media mapped elsewhere (the system answers in lower case).
    f.platform->SetNetworkDrive(u'K', ShareWindowFixture::Path("MEDIA").toLower());
    f.window->OnDriveEvent(false, QLatin1Char('K'));
    EXPECT_EQ(f.RowTexts(), QStringList({"data (W:)", "media (K:)", "photos"}));
    EXPECT_EQ(f.RowLetter(1), u'K');
    // W now holds another server's share: data turns plain.
    f.platform->SetNetworkDrive(u'W', QStringLiteral("\\\\other\\data"));
    f.window->OnDriveEvent(true, QLatin1Char('Q'));
    EXPECT_EQ(f.RowTexts(), QStringList({"data", "media (K:)", "photos"}));
    // Another server's share arriving changes nothing.
    f.platform->SetNetworkDrive(u'J', QStringLiteral("\\\\other\\photos"));
    f.window->OnDriveEvent(false, QLatin1Char('J'));
    EXPECT_EQ(f.RowTexts(), QStringList({"data", "media (K:)", "photos"}));
    // An event while a click is handled waits for the click to end.
    AnswerLetterQuestion(QString(), nullptr, [&] {
        f.platform->SetNetworkDrive(u'H', ShareWindowFixture::Path("photos"));
        f.window->OnDriveEvent(false, QLatin1Char('H'));
        EXPECT_EQ(f.RowTexts().last(), QStringLiteral("photos"));
    });
    f.ClickRow(0);
    EXPECT_EQ(f.RowTexts().last(), QStringLiteral("photos (H:)"));
}

TEST(SharePanels, OnlyOnePanelIsOpenAndPagingFollowsTheRows) {
    ShareWindowFixture f;
    f.SetShares({"s01", "s02", "s03", "s04", "s05", "s06", "s07", "s08", "s09"});
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    QPointer<drives::SharePanel> first = f.window->SharePanel();
    ASSERT_TRUE(first);
    CLuButton* up = first->Button(MainControl::kDriveMapPageUp);
    CLuButton* down = first->Button(MainControl::kDriveMapPageDown);
    EXPECT_FALSE(up->isEnabled());
    EXPECT_TRUE(down->isEnabled()) << "9 rows do not fit in 7";
    down->click();
    EXPECT_EQ(first->List()->GetTopOffset(), 2);
    EXPECT_TRUE(up->isEnabled());
    EXPECT_FALSE(down->isEnabled());

    f.window->OnBrowseNetworkShares();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "the drive-mapping panel made way";
    ASSERT_NE(qobject_cast<drives::CShareFolderDlg*>(f.window->SharePanel()), nullptr);
    f.window->SharePanel()->Button(MainControl::kBack)->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(f.window->SharePanel(), nullptr);
    f.window->OnDriveEvent(true, QLatin1Char('Z'));  // no panel: nothing to do
}

}  // namespace
}  // namespace norvale::test
