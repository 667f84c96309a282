// The "Browse Network Shares" button and its panel: what a click opens.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include "drives/CShareFolderDlg.h"
#include "tests/drives/OpenedUrls.h"
#include "tests/drives/SharePanelTestSupport.h"

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
    for (int id = 1001; id <= 1004; ++id) EXPECT_TRUE(window.Button(id)->isEnabled());
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
