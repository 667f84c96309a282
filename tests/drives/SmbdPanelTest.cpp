// The share panels over the system's file sharing against a private smbd
// and GVfs (root only): listing in order without hidden shares, printers or
// "Configuration", automatic mapping that leaves a refused share plain,
// rows following a letter dropped elsewhere, and what a click opens.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QUrl>

#include "PrivateSmbd.h"
#include "drives/CShareFolderDlg.h"
#include "drives/GvfsMounter.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ResponsiveSharePlatform.h"
#include "drives/SmbShareLister.h"
#include "tests/drives/OpenedUrls.h"
#include "tests/drives/SharePanelTestSupport.h"

namespace norvale::test {
namespace {

class SmbdPanels : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PrivateSmbd::CanRun()) GTEST_SKIP() << "the private smbd needs real root";
        QString error;
        ASSERT_TRUE(smbd_.Start(&error)) << error.toStdString();
        // The first listing starts smbd's RPC helpers: keep it out of the test.
        drives::SmbShareLister lister(15000);
        std::vector<drives::ShareEntry> shares;
        QString message;
        lister.List(QString::fromLatin1(PrivateSmbd::kOpen), nullptr, &shares, &message);
        folder_ = std::make_unique<drives::DriveFolder>(scratch_.filePath(QStringLiteral("d")));
        linux_ = std::make_unique<drives::LinuxSharePlatform>(*folder_, nullptr);
        app::DiscoverDlgOptions options;
        options.sharePlatform = std::make_shared<drives::ResponsiveSharePlatform>(*linux_);
        options.driveFolder = [this](const QString& drive) {
            return folder_->EntryPath(drives::DriveFolder::LetterOf(drive));
        };
        window_ = std::make_unique<ShareWindowFixture>(options);
        window_->window->Table().SetMapName(0, QString::fromLatin1(PrivateSmbd::kOpen));
    }
    void TearDown() override {
        if (!linux_) return;
        window_.reset();
        for (char16_t letter = u'D'; letter <= u'Z'; ++letter) {
            linux_->CancelConnection(drives::ShareDrives::DriveName(letter));
        }
        drives::CredentialCache cache;
        drives::GvfsMounter mounter(cache, nullptr);
        QString message;
        for (const char* share : {"public", "data", "My Files"}) {
            mounter.Unmount(PrivateSmbd::kOpen, QString::fromUtf8(share), &message);
        }
    }

    QTemporaryDir scratch_;
    PrivateSmbd smbd_;
    std::unique_ptr<drives::DriveFolder> folder_;
    std::unique_ptr<drives::LinuxSharePlatform> linux_;
    std::unique_ptr<ShareWindowFixture> window_;
};

TEST_F(SmbdPanels, BrowseListsUsableSharesAndAutomaticMappingLeavesRefusedOnesPlain) {
    ShareWindowFixture& f = *window_;
    OpenedUrls opened;
    f.window->OnBrowseNetworkShares();
    for (const ShownMessage& message : f.messages) ADD_FAILURE() << message.text.toStdString();
    EXPECT_EQ(f.RowTexts(), QStringList({"My Files", "data", "private", "public"}));
    f.ClickRow(1);
    ASSERT_EQ(opened.urls.size(), 1u);
    EXPECT_EQ(opened.urls[0].toString(), QStringLiteral("smb://127.0.0.9/data"));

    f.answer = IDYES;
    f.window->OnMapNetworkDrive();
    EXPECT_EQ(f.RowTexts(), QStringList({"My Files (Z:)", "data (Y:)", "private", "public (X:)"}));

    // Y dropped outside the panel: its row turns plain.
    linux_->CancelConnection(QStringLiteral("Y:"));
    f.window->OnDriveEvent(true, QLatin1Char('Y'));
    EXPECT_EQ(f.RowTexts(), QStringList({"My Files (Z:)", "data", "private", "public (X:)"}));

    // The browse panel opens a mapped share's letter folder.
    f.window->OnBrowseNetworkShares();
    ASSERT_EQ(f.RowTexts().first(), QStringLiteral("My Files (Z:)"));
    f.ClickRow(0);
    ASSERT_EQ(opened.urls.size(), 2u);
    EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(folder_->EntryPath(u'Z')));
}

}  // namespace
}  // namespace norvale::test
