// The share panels over the system's file sharing against a private smbd
// and GVfs (root only): listing in order without hidden shares, printers or
// "Configuration", clicks on shares whose names look like mapped rows,
// automatic mapping that leaves a refused share plain, rows following a
// letter dropped elsewhere, and what a click opens.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "PrivateSmbd.h"
#include "drives/CShareFolderDlg.h"
#include "drives/GvfsMounter.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ResponsiveSharePlatform.h"
#include "drives/SmbShareLister.h"
#include "tests/drives/SharePanelTestSupport.h"
#include "tests/support/OpenedUrls.h"

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
        for (const char* share : {"public", "data", "My Files", "Public (Z:)", "Video (4K)"}) {
            mounter.Unmount(PrivateSmbd::kOpen, QString::fromUtf8(share), &message);
        }
    }

    QTemporaryDir scratch_;
    PrivateSmbd smbd_;
    std::unique_ptr<drives::DriveFolder> folder_;
    std::unique_ptr<drives::LinuxSharePlatform> linux_;
    std::unique_ptr<ShareWindowFixture> window_;
};

TEST_F(SmbdPanels, BrowseAndMapActOnTheShareOfTheClickedRow) {
    ShareWindowFixture& f = *window_;
    // The kernel may show an earlier mount's folder for a moment.
    auto readThrough = [&](char16_t letter, const char* file) {
        QByteArray content;
        for (int tries = 0; tries < 100 && content.isEmpty(); ++tries) {
            QFile in(folder_->EntryPath(letter) + QLatin1Char('/') + QLatin1String(file));
            content = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
            if (content.isEmpty()) QTest::qWait(50);
        }
        return content;
    };
    OpenedUrls opened;
    f.window->OnBrowseNetworkShares();
    for (const ShownMessage& message : f.messages) ADD_FAILURE() << message.text.toStdString();
    EXPECT_EQ(f.RowTexts(),
              QStringList({"My Files", "Public (Z:)", "Video (4K)", "data", "private", "public"}));
    f.ClickRow(1);  // a share of its own, not "public" on Z:
    f.ClickRow(3);
    ASSERT_EQ(opened.urls.size(), 2u);
    EXPECT_EQ(opened.urls[0].toString(), QStringLiteral("smb://127.0.0.9/Public (Z:)"));
    EXPECT_EQ(opened.urls[1].toString(), QStringLiteral("smb://127.0.0.9/data"));

    // By hand: "Video (4K)" to Y.
    f.answer = IDNO;
    f.window->OnMapNetworkDrive();
    AnswerLetterQuestion(QStringLiteral("Y:"));
    f.ClickRow(2);
    EXPECT_EQ(f.RowTexts().at(2), QStringLiteral("Video (4K) (Y:)"));
    EXPECT_EQ(readThrough(u'Y', "video.txt"), QByteArray("video\n"));
    // Automatically: the others from Z down; the refused one stays plain.
    f.answer = IDYES;
    f.window->OnMapNetworkDrive();
    EXPECT_EQ(f.RowTexts(), QStringList({"My Files (Z:)", "Public (Z:) (X:)", "Video (4K) (Y:)",
                                         "data (W:)", "private", "public (V:)"}));
    EXPECT_EQ(readThrough(u'X', "odd.txt"), QByteArray("odd\n"));

    // W dropped outside the panel: its row turns plain.
    linux_->CancelConnection(QStringLiteral("W:"));
    f.window->OnDriveEvent(true, QLatin1Char('W'));
    EXPECT_EQ(f.RowTexts().at(3), QStringLiteral("data"));

    // The browse panel opens a mapped share's letter folder.
    f.window->OnBrowseNetworkShares();
    ASSERT_EQ(f.RowTexts().at(1), QStringLiteral("Public (Z:) (X:)"));
    f.ClickRow(1);
    ASSERT_EQ(opened.urls.size(), 3u);
    EXPECT_EQ(opened.urls[2], QUrl::fromLocalFile(folder_->EntryPath(u'X')));
}

}  // namespace
}  // namespace norvale::test
