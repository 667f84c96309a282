// The letter folder and the name checks, without a network: links made by
// hand stand for mounted and remembered shares.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "drives/DriveWatcher.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ShareDrives.h"
#include "drives/ShareNames.h"
#include "tests/drives/FakeMountList.h"

namespace drives {
namespace {

TEST(ShareNames, HostNamesAndAddressesOnly) {
    for (const char* good :
         {"nas", "NAS-1", "office_nas", "nas.example.com", "127.0.0.9", "a1.b2", "1nas"}) {
        EXPECT_TRUE(IsValidHostName(QString::fromUtf8(good))) << good;
    }
    for (const char* bad :
         {"", "nas/x", "nas\\x", "-nas", "nas-", "nas..x", "nas x", "nas:445", "user@nas", "n%41s",
          "nas?", "256.1.1.1.1", "1.2.3", "127.0.0.256", "a\nb", "ñas"}) {
        EXPECT_FALSE(IsValidHostName(QString::fromUtf8(bad))) << bad;
    }
    EXPECT_FALSE(IsValidHostName(QString(254, QLatin1Char('a'))));
    EXPECT_FALSE(IsValidHostName(QString(64, QLatin1Char('a'))));
    EXPECT_TRUE(IsValidHostName(QString(63, QLatin1Char('a'))));
}

TEST(ShareNames, ShareNamesRejectSeparatorsAndControls) {
    EXPECT_TRUE(IsValidShareName(QStringLiteral("Data & Media (2024)")));
    EXPECT_TRUE(IsValidShareName(QStringLiteral("hidden$")));
    EXPECT_TRUE(IsValidShareName(QStringLiteral("Fotos–Ü")));
    for (const QString& bad :
         {QString(), QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("a\x1b[2Jb"),
          QString(QChar(0)), QStringLiteral("a\u202Eb"), QString(81, QLatin1Char('x'))}) {
        EXPECT_FALSE(IsValidShareName(bad)) << bad.toStdString();
    }
}

TEST(ShareNames, UncPathsSplitIntoCheckedParts) {
    QString server, share;
    EXPECT_TRUE(SplitUncPath(QStringLiteral("\\\\nas\\data"), &server, &share));
    EXPECT_EQ(server, QStringLiteral("nas"));
    EXPECT_EQ(share, QStringLiteral("data"));
    EXPECT_TRUE(SplitUncPath(QStringLiteral("\\\\127.0.0.9"), &server, &share));
    EXPECT_EQ(server, QStringLiteral("127.0.0.9"));
    EXPECT_TRUE(share.isEmpty());
    for (const char* bad : {"nas\\data", "\\nas", "\\\\nas\\a\\b", "\\\\nas\\", "\\\\",
                            "//nas/data", "\\\\na s\\data", "\\\\nas/../x\\data"}) {
        EXPECT_FALSE(SplitUncPath(QString::fromUtf8(bad), &server, &share)) << bad;
    }
    // Share names are encoded, so nothing in them changes the URL's shape;
    // a host that could not stand in a UNC path gives no URL either.
    EXPECT_EQ(SmbUrl(QStringLiteral("nas"), QStringLiteral("a b?#%/c")),
              QStringLiteral("smb://nas/a%20b%3F%23%25%2Fc"));
    EXPECT_EQ(SmbUrl(QStringLiteral("nas")), QStringLiteral("smb://nas/"));
    for (const char* bad : {"na s", "nas/x", "nas@evil", "b\u00fcro", "", "1.2.3"})
        EXPECT_TRUE(SmbUrl(QString::fromUtf8(bad), QStringLiteral("data")).isEmpty()) << bad;
}

TEST(ShareNames, GvfsFolderNamesAnyKeyOrder) {
    QString server, share;
    EXPECT_TRUE(ParseGvfsShareFolder(QStringLiteral("smb-share:server=127.0.0.9,share=data"),
                                     &server, &share));
    EXPECT_EQ(server, QStringLiteral("127.0.0.9"));
    EXPECT_EQ(share, QStringLiteral("data"));
    EXPECT_TRUE(ParseGvfsShareFolder(
        QStringLiteral("smb-share:domain=WG,server=nas,share=my%20files,user=alice"), &server,
        &share));
    EXPECT_EQ(server, QStringLiteral("nas"));
    EXPECT_EQ(share, QStringLiteral("my files"));
    for (const char* bad : {"smb-share:server=nas", "smb-share:share=x", "sftp:host=nas",
                            "smb-server:server=nas", "smb-share:server=nas,share=", "smb-share:"}) {
        EXPECT_FALSE(ParseGvfsShareFolder(QString::fromUtf8(bad), &server, &share)) << bad;
    }
}

// A scratch drive folder beside a stand-in for the GVfs FUSE folder, with a
// mount list the test keeps.
class LetterFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        ASSERT_TRUE(QDir().mkpath(Gvfs()));
        folder_ =
            std::make_unique<DriveFolder>(scratch_.path() + QStringLiteral("/Network Drives"));
        platform_ = std::make_unique<LinuxSharePlatform>(*folder_, nullptr, &mounts_);
    }
    QString Gvfs() const { return scratch_.path() + QStringLiteral("/run/gvfs"); }
    QString ShareFolder(const char* server, const char* share) const {
        return Gvfs() + QStringLiteral("/smb-share:server=%1,share=%2").arg(server, share);
    }
    // A mounted share: in the mount list, its FUSE folder there.
    QString Mounted(const char* server, const char* share) {
        const QString path = ShareFolder(server, share);
        EXPECT_TRUE(QDir().mkpath(path));
        mounts_.mounted.insert(path);
        return path;
    }
    void Link(char letter, const QString& target) const {
        QDir().mkpath(folder_->Path());
        ASSERT_TRUE(QFile::link(target, folder_->EntryPath(letter)));
    }

    QTemporaryDir scratch_;
    FakeMountList mounts_;
    std::unique_ptr<DriveFolder> folder_;
    std::unique_ptr<LinuxSharePlatform> platform_;
};

TEST_F(LetterFolder, LinksReadAsConnectionsForeignEntriesAsLocalDrives) {
    Link('Z', Mounted("nas", "data"));
    Link('Y', ShareFolder("nas", "gone"));  // remembered: the share is not mounted
    Link('X', scratch_.path());             // a link, but not to a share folder
    QDir().mkpath(folder_->EntryPath('W'));
    QFile file(folder_->EntryPath('V'));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QString remote;
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("Z:")), kDriveRemote);
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("z:"), &remote), kNoError);
    EXPECT_EQ(remote, QStringLiteral("\\\\nas\\data"));
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("Y:")), kDriveRemote);
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("Y:"), &remote), kErrorConnectionUnavail);
    EXPECT_EQ(remote, QStringLiteral("\\\\nas\\gone"));
    for (const char* foreign : {"X:", "W:", "V:"}) {
        EXPECT_EQ(platform_->GetDriveType(QString::fromLatin1(foreign)), kDriveFixed) << foreign;
        EXPECT_EQ(platform_->GetConnection(QString::fromLatin1(foreign), &remote),
                  kErrorNotConnected);
        EXPECT_TRUE(remote.isEmpty());
        // Never touched: not cancelled, not connected over.
        EXPECT_EQ(platform_->CancelConnection(QString::fromLatin1(foreign)), kErrorNotConnected);
        EXPECT_EQ(platform_->AddConnection(QString::fromLatin1(foreign),
                                           QStringLiteral("\\\\nas\\data"), false, nullptr),
                  kErrorAlreadyAssigned);
    }
    EXPECT_TRUE(QFileInfo(folder_->EntryPath('W')).isDir());
    EXPECT_TRUE(QFileInfo(folder_->EntryPath('V')).isFile());
    EXPECT_EQ(QFileInfo(folder_->EntryPath('X')).symLinkTarget(), scratch_.path());
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("U:")), kDriveNoRootDir);
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("U:"), &remote), kErrorNotConnected);
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("U")), kDriveNoRootDir);
}

TEST_F(LetterFolder, ShareCodeSeesLinksAsMappedAndForeignEntriesAsTaken) {
    Link('Z', Mounted("nas", "data"));
    Link('Q', ShareFolder("NAS", "old"));
    QDir().mkpath(folder_->EntryPath('Y'));
    ShareDrives drives(*platform_);
    QString drive;
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\NAS\\Data"), &drive), kMappedConnected);
    EXPECT_EQ(drive, QStringLiteral("Z:"));
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\nas\\OLD"), &drive), kMappedRemembered);
    EXPECT_EQ(drive, QStringLiteral("Q:"));
    const QStringList free = drives.FreeDriveNames();
    EXPECT_EQ(free.first(), QStringLiteral("X:"));
    EXPECT_FALSE(free.contains(QStringLiteral("Q:")));
    EXPECT_EQ(free.size(), 23 - 3);
}

TEST_F(LetterFolder, CancelRemovesOnlyTheLink) {
    const QString target = Mounted("nas", "data");
    Link('Z', ShareFolder("nas", "gone"));
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Z:")), kNoError);
    EXPECT_FALSE(QFileInfo::exists(folder_->EntryPath('Z')));
    EXPECT_FALSE(QFileInfo(folder_->EntryPath('Z')).isSymLink());
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Z:")), kErrorNotConnected);
    EXPECT_TRUE(QFileInfo(target).isDir());
}

// The folder on its own, without the callers' checks: what is not an own
// link is never replaced or removed, and nothing but the letter is touched.
TEST_F(LetterFolder, FolderNeverReplacesOrRemovesWhatIsNotItsOwnLink) {
    ASSERT_TRUE(QDir().mkpath(folder_->Path()));
    QFile::setPermissions(folder_->Path(), QFileDevice::Permissions(0x7755));
    QFile file(folder_->EntryPath('V'));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mine");
    file.close();
    ASSERT_TRUE(QDir().mkpath(folder_->EntryPath('W')));
    Link('X', scratch_.path());
    const QString share = Mounted("nas", "data");
    for (char letter : {'V', 'W', 'X'}) {
        errno = 0;
        EXPECT_FALSE(folder_->MakeLink(letter, share)) << letter;
        EXPECT_EQ(errno, EEXIST) << letter;
        EXPECT_FALSE(folder_->RemoveLink(letter)) << letter;
    }
    EXPECT_TRUE(QFileInfo(folder_->EntryPath('V')).isFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("mine"));
    EXPECT_TRUE(QFileInfo(folder_->EntryPath('W')).isDir());
    EXPECT_EQ(QFileInfo(folder_->EntryPath('X')).symLinkTarget(), scratch_.path());

    // A user's file under the name a letter used to be made with stays.
    QFile userFile(folder_->EntryPath('Z') + QStringLiteral(".new"));
    ASSERT_TRUE(userFile.open(QIODevice::WriteOnly));
    userFile.write("notes");
    userFile.close();
    ASSERT_TRUE(folder_->MakeLink('Z', share));
    ASSERT_TRUE(folder_->MakeLink('Z', ShareFolder("nas", "other")));  // own link replaced
    EXPECT_EQ(QFileInfo(folder_->EntryPath('Z')).symLinkTarget(), ShareFolder("nas", "other"));
    ASSERT_TRUE(userFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(userFile.readAll(), QByteArray("notes"));
    EXPECT_EQ(QDir(folder_->Path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList({"V:", "W:", "X:", "Z:", "Z:.new"}))
        << "no temporary entry is left behind";
    // The folder named for the letters keeps the mode its owner gave it.
    EXPECT_EQ(QFileInfo(folder_->Path()).permissions() & QFileDevice::ReadOther,
              QFileDevice::ReadOther);
}

TEST_F(LetterFolder, RejectsNamesThatAreNoHostOrShare) {
    std::vector<ShareEntry> shares;
    EXPECT_EQ(platform_->EnumShares(QStringLiteral("\\\\../etc"), &shares), kErrorInvalidName);
    EXPECT_EQ(platform_->EnumShares(QStringLiteral("\\\\nas\\data"), &shares), kErrorInvalidName);
    EXPECT_EQ(platform_->AddConnection(QStringLiteral("Z:"), QStringLiteral("\\\\a b\\c"), false,
                                       nullptr),
              kErrorInvalidName);
    EXPECT_EQ(
        platform_->AddConnection(QStringLiteral("Z:"), QStringLiteral("\\\\nas"), false, nullptr),
        kErrorInvalidParameter);
    EXPECT_EQ(platform_->AddConnection(QStringLiteral("1:"), QStringLiteral("\\\\nas\\d"), false,
                                       nullptr),
              kErrorInvalidParameter);
    EXPECT_FALSE(platform_->ErrorText(kErrorInvalidName).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder_->EntryPath('Z')));
}

TEST_F(LetterFolder, WatcherReportsLinksAndMountsComingAndGoing) {
    DriveWatcher watcher(*folder_, &mounts_);
    QSignalSpy events(&watcher, &DriveWatcher::driveEvent);
    // Watching makes no folder: the first letter does.
    EXPECT_FALSE(QFileInfo::exists(folder_->Path()));
    auto expectEvent = [&](bool removal, char letter) {
        if (events.isEmpty()) {
            ASSERT_TRUE(events.wait(5000));
        }
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.at(0).at(0).toBool(), removal);
        EXPECT_EQ(events.at(0).at(1).value<QChar>(), QChar(letter));
        events.clear();
    };
    const QString target = Mounted("nas", "data");
    Link('R', target);
    expectEvent(false, 'R');
    mounts_.mounted.remove(target);  // unmounted elsewhere
    watcher.Rescan();
    expectEvent(true, 'R');
    mounts_.mounted.insert(target);  // and mounted again
    watcher.Rescan();
    expectEvent(false, 'R');
    ASSERT_TRUE(QFile::remove(folder_->EntryPath('R')));
    expectEvent(true, 'R');
    // Entries that are not ours pass unnoticed.
    QDir().mkpath(folder_->EntryPath('S'));
    watcher.Rescan();
    EXPECT_FALSE(events.wait(300));
}

}  // namespace
}  // namespace drives
