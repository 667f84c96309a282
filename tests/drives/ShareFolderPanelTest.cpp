// The "Browse Network Shares" button and its panel: what a click opens.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include "drives/CShareFolderDlg.h"
#include "tests/drives/SharePanelTestSupport.h"
#include "tests/support/OpenedUrls.h"

namespace norvale::test {
namespace {

// The browse panel over the fixture's device, with drive letters standing
// for folders of a scratch directory.
struct BrowseFixture : ShareWindowFixture {
    static app::DiscoverDlgOptions Options(const QString& letters) {
        app::DiscoverDlgOptions options;
        options.driveFolder = [letters](const QString& drive) {
            return letters + QLatin1Char('/') + drive.left(1);
        };
        return options;
    }
    BrowseFixture() : ShareWindowFixture(Options(scratch.path())) {}
    void Open() {
        window->OnBrowseNetworkShares();
        ASSERT_NE(qobject_cast<drives::CShareFolderDlg*>(window->SharePanel()), nullptr);
    }
    QString LetterFolder(const char* letter) { return scratch.path() + QLatin1Char('/') + letter; }

    inline static QTemporaryDir scratch;
    OpenedUrls opened;
};

TEST(ShareFolderClick, MappedShareOpensItsLetterFolderAndOthersOpenSmb) {
    BrowseFixture f;
    f.SetShares({"data", "media", "photos"});
    f.platform->SetNetworkDrive(u'Z', ShareWindowFixture::Path("data"));
    f.platform->SetNetworkDrive(u'Y', ShareWindowFixture::Path("photos"));
    QDir().mkpath(f.LetterFolder("Z"));
    f.Open();
    ASSERT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media", "photos (Y:)"}));
    EXPECT_TRUE(f.messages.empty()) << "browsing asks no question";

    f.ClickRow(0);
    f.ClickRow(1);
    // The mapping of photos vanished without an event: the server path opens.
    f.platform->CancelConnection(QStringLiteral("Y:"));
    f.ClickRow(2);
    ASSERT_EQ(f.opened.urls.size(), 3u);
    EXPECT_EQ(f.opened.urls[0], QUrl::fromLocalFile(f.LetterFolder("Z")));
    EXPECT_EQ(f.opened.urls[1].toString(), QStringLiteral("smb://127.0.0.5/media"));
    EXPECT_EQ(f.opened.urls[2].toString(), QStringLiteral("smb://127.0.0.5/photos"));
    for (const drives::FakeSharePlatform::Call& call : f.platform->Calls()) {
        if (call.op == "add") {
            EXPECT_FALSE(call.interactive) << "no prompt when access is free";
        }
    }
}

TEST(ShareFolderClick, RememberedLetterIsReconnectedBeforeItOpens) {
    BrowseFixture f;
    f.SetShares({"data"});
    f.platform->SetNetworkDrive(u'X', ShareWindowFixture::Path("data"), false);
    QDir().mkpath(f.LetterFolder("X"));
    f.Open();
    ASSERT_EQ(f.RowTexts(), QStringList({"data (X:)"}));
    f.ClickRow(0);
    const auto& calls = f.platform->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].drive, QStringLiteral("X:"));
    EXPECT_TRUE(calls[0].interactive);
    ASSERT_EQ(f.opened.urls.size(), 1u);
    EXPECT_EQ(f.opened.urls[0], QUrl::fromLocalFile(f.LetterFolder("X")));
}

// Refuses anonymous access to every share; the prompt answers `prompt`.
class GuardedPlatform : public drives::FakeSharePlatform {
  public:
    int AddConnection(const QString& drive, const QString& remote, bool interactive,
                      QWidget* owner) override {
        if (drive.isEmpty() && remote.count(QLatin1Char('\\')) == 3) {
            prompts += interactive ? 1 : 0;
            if (!interactive) return drives::kErrorAccessDenied;
            return prompt;
        }
        return FakeSharePlatform::AddConnection(drive, remote, interactive, owner);
    }
    int prompt = drives::kNoError;
    int prompts = 0;
};

TEST(ShareFolderClick, AccessDeniedPromptsOnceAndACancelledPromptOpensNothing) {
    auto platform = std::make_shared<GuardedPlatform>();
    std::vector<ShownMessage> messages;
    app::DiscoverDlgOptions options;
    options.sharePlatform = platform;
    options.showMessage = [&](const QString& text, const QString& caption, QWidget*, int b) {
        messages.push_back({text, caption, b});
        return IDOK;
    };
    app::CLuDiscoverDlg window(options);
    window.Table().InsertRow(0, QStringLiteral("nas"));
    window.Table().SetDevice(0, reinterpret_cast<cp::UPnPDevice*>(0x1000), {});
    window.Table().SetMapName(0, QStringLiteral("127.0.0.5"));
    window.Table().Select(0);
    platform->SetShares(ShareWindowFixture::kServer, {{"private", drives::kShareDisk}});
    OpenedUrls opened;
    window.OnBrowseNetworkShares();
    ASSERT_NE(window.SharePanel(), nullptr);
    drives::CShareFolderDlg& panel = *qobject_cast<drives::CShareFolderDlg*>(window.SharePanel());

    auto click = [&] {
        CLuListCtrl* list = panel.List();
        const QPoint at(10, 10);
        QMouseEvent press(QEvent::MouseButtonPress, at, list->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
    };
    click();
    EXPECT_EQ(platform->prompts, 1);
    ASSERT_EQ(opened.urls.size(), 1u);
    EXPECT_EQ(opened.urls[0].toString(), QStringLiteral("smb://127.0.0.5/private"));

    platform->prompt = drives::kErrorCancelled;
    click();
    EXPECT_EQ(platform->prompts, 2);
    EXPECT_EQ(opened.urls.size(), 1u) << "a cancelled prompt opens nothing";
    EXPECT_TRUE(messages.empty()) << "and shows nothing";

    platform->prompt = drives::kErrorAccessDenied;
    click();
    EXPECT_EQ(opened.urls.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Error 5"));
    for (int id :
         {MainControl::kInfo, MainControl::kHelp, MainControl::kMinimise, MainControl::kClose})
        EXPECT_TRUE(window.Button(id)->isEnabled());
}

// Share names that look like a mapped row's text: a click acts on the share
// of the row clicked, never on the one its text seems to name.
TEST(SharePanelRows, NamesLikeMappedRowsActOnTheirOwnShare) {
    BrowseFixture f;
    f.SetShares({"Public", "Public (Z:)", "Video (4K)"});
    f.platform->SetNetworkDrive(u'Z', ShareWindowFixture::Path("Public"));
    f.platform->SetNetworkDrive(u'V', ShareWindowFixture::Path("Video"));
    f.Open();
    ASSERT_EQ(f.RowTexts(), QStringList({"Public (Z:)", "Public (Z:)", "Video (4K)"}));
    f.ClickRow(1);
    f.ClickRow(2);
    ASSERT_EQ(f.opened.urls.size(), 2u);
    EXPECT_EQ(f.opened.urls[0].toString(), QStringLiteral("smb://127.0.0.5/Public (Z:)"));
    EXPECT_EQ(f.opened.urls[1].toString(), QStringLiteral("smb://127.0.0.5/Video (4K)"));

    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    AnswerLetterQuestion(QStringLiteral("Y:"));
    f.ClickRow(2);
    AnswerLetterQuestion(QStringLiteral("X:"));
    f.ClickRow(1);
    EXPECT_EQ(f.RowTexts(), QStringList({"Public (Z:)", "Public (Z:) (X:)", "Video (4K) (Y:)"}));
    ASSERT_NE(f.platform->LetterOf(u'Y'), nullptr);
    EXPECT_EQ(f.platform->LetterOf(u'Y')->remote, ShareWindowFixture::Path("Video (4K)"));
    EXPECT_EQ(f.platform->LetterOf(u'X')->remote, ShareWindowFixture::Path("Public (Z:)"));
    EXPECT_EQ(f.platform->LetterOf(u'Z')->remote, ShareWindowFixture::Path("Public"));
    EXPECT_EQ(f.platform->LetterOf(u'V')->remote, ShareWindowFixture::Path("Video"));
}

// One press of a share button asks the server for its shares once; a press
// after a refusal once more, after the login.
TEST(SharePanelRows, OnePressListsTheServerOnce) {
    ShareWindowFixture f;
    f.SetShares({"data", "media"});
    f.window->OnBrowseNetworkShares();
    EXPECT_EQ(f.platform->EnumCount(), 1);
    f.answer = IDYES;
    f.window->OnMapNetworkDrive();
    EXPECT_EQ(f.platform->EnumCount(), 2);
    EXPECT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media (Y:)"}));
    f.platform->QueueShareResult(ShareWindowFixture::kServer, drives::kErrorAccessDenied);
    f.window->OnBrowseNetworkShares();
    EXPECT_EQ(f.platform->EnumCount(), 4);
    EXPECT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media (Y:)"}));
}

// Where shares cannot be mounted or opened, the user is told so.
TEST(SharePanelRows, OpeningOrMappingThatCannotWorkHereIsReported) {
    app::DiscoverDlgOptions options;
    options.openUrl = [](const QUrl&) { return false; };  // nothing opens smb: locations
    ShareWindowFixture f(options);
    f.SetShares({"data", "media"});
    f.platform->SetConnectResult(ShareWindowFixture::Path("media"), drives::kErrorNotSupported);
    f.window->OnBrowseNetworkShares();
    f.ClickRow(1);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, QStringLiteral("Error 50"));
    f.ClickRow(0);
    ASSERT_EQ(f.messages.size(), 2u);
    EXPECT_EQ(f.messages[1].text, QStringLiteral("Error 1155"));

    // Automatic mapping says it once, however many shares it could not map.
    f.platform->SetConnectResult(ShareWindowFixture::Path("data"), drives::kErrorNotSupported);
    f.messages.clear();
    f.answer = IDYES;
    f.window->OnMapNetworkDrive();
    EXPECT_EQ(f.RowTexts(), QStringList({"data", "media"}));
    ASSERT_EQ(f.messages.size(), 2u);  // the question, then the report
    EXPECT_EQ(f.messages[1].text, QStringLiteral("Error 50"));
}

TEST(ShareFolderUrl, ShareNamesStayOneSegmentAndBadHostsGiveNoUrl) {
    EXPECT_EQ(drives::CShareFolderDlg::ShareUrl("nas", "a b").toString(QUrl::FullyEncoded),
              QStringLiteral("smb://nas/a%20b"));
    EXPECT_EQ(drives::CShareFolderDlg::ShareUrl("nas", "../x/y%").toString(QUrl::FullyEncoded),
              QStringLiteral("smb://nas/..%2Fx%2Fy%25"));
    EXPECT_FALSE(drives::CShareFolderDlg::ShareUrl("bad host/x", "data").isValid());
    EXPECT_FALSE(drives::CShareFolderDlg::ShareUrl("nas", "").isValid());
}

}  // namespace
}  // namespace norvale::test
