// The main program's launch of the updater: the command line it sends, the
// private folder the program file is written to, and the silent refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/UpdaterLauncher.h"

namespace norvale::app {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdaterLauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        folder_ = scratch_.filePath(QStringLiteral("private"));
        ASSERT_EQ(::mkdir(QFile::encodeName(folder_).constData(), 0700), 0);
        // An installation whose current release is the running program.
        root_ = scratch_.filePath(QStringLiteral("prefix dir/lib/norvale-discovery"));
        ASSERT_TRUE(QDir().mkpath(root_ + QStringLiteral("/1.61.932.1")));
        ASSERT_TRUE(QFile::link(QStringLiteral("1.61.932.1"), root_ + QStringLiteral("/current")));
        source_ = scratch_.filePath(QStringLiteral("updater-bytes"));
        QFile file(source_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/sh\nexit 0\n") + QByteArray(70000, 'x'));
    }

    UpdaterLaunchOptions Options() {
        UpdaterLaunchOptions options;
        options.source = source_;
        options.folder = folder_;
        options.version = common::ProductVersion{1, 61, 932, 1};
        options.programFolder = root_ + QStringLiteral("/1.61.932.1");
        options.start = [this](const QString& program, const QStringList& arguments) {
            started_.push_back({program, arguments});
            return true;
        };
        return options;
    }

    QTemporaryDir scratch_;
    QString root_;
    QString folder_;
    QString source_;
    std::vector<std::pair<QString, QStringList>> started_;
};

TEST_F(UpdaterLauncherTest, WritesAPrivateExecutableAndStartsItWithTheInstallation) {
    // The working folder is not what is sent: the installation's root is.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch_.path()));
    EXPECT_EQ(LaunchUpdater(Options()), 1);
    QDir::setCurrent(before);

    const QString program = QDir(folder_).filePath(QStringLiteral("norvale-autoupdate"));
    EXPECT_EQ(ReadAll(program), ReadAll(source_));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(program).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].first, program);
    EXPECT_EQ(started_[0].second, QStringList{QStringLiteral("VER:1.610.0932.001 DIR:") + root_});
    // Nothing but the program is left in the folder.
    EXPECT_EQ(QDir(folder_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("norvale-autoupdate")});
}

TEST_F(UpdaterLauncherTest, PlantedLinkIsReplacedNeverFollowed) {
    const QString victim = scratch_.filePath(QStringLiteral("victim"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const QString program = QDir(folder_).filePath(QStringLiteral("norvale-autoupdate"));
    ASSERT_TRUE(QFile::link(victim, program));
    EXPECT_EQ(LaunchUpdater(Options()), 1);
    EXPECT_EQ(ReadAll(victim), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(program).isSymLink());
    EXPECT_EQ(ReadAll(program), ReadAll(source_));
}

TEST_F(UpdaterLauncherTest, RefusesSilentlyWhatItCannotTrust) {
    // A folder others may enter or write.
    ASSERT_EQ(::chmod(QFile::encodeName(folder_).constData(), 0755), 0);
    EXPECT_EQ(LaunchUpdater(Options()), 0);
    EXPECT_TRUE(QDir(folder_).isEmpty());
    ASSERT_EQ(::chmod(QFile::encodeName(folder_).constData(), 0700), 0);

    // A link in place of the folder.
    const QString linked = scratch_.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(folder_, linked));
    UpdaterLaunchOptions throughLink = Options();
    throughLink.folder = linked;
    EXPECT_EQ(LaunchUpdater(throughLink), 0);

    // No updater resource.
    UpdaterLaunchOptions missing = Options();
    missing.source = QStringLiteral(":/exe/no-such-program");
    EXPECT_EQ(LaunchUpdater(missing), 0);

    // A file that cannot be written (the folder is gone).
    UpdaterLaunchOptions gone = Options();
    gone.folder = scratch_.filePath(QStringLiteral("gone"));
    EXPECT_EQ(LaunchUpdater(gone), 0);
    EXPECT_TRUE(started_.empty());
}

TEST_F(UpdaterLauncherTest, NoCheckForWhatThisUserCannotUpdate) {
    // An installation made read-only (a package, another user's), a build
    // folder, a release that is not the current one: nothing is started.
    ASSERT_EQ(::chmod(QFile::encodeName(root_).constData(), 0555), 0);
    EXPECT_EQ(LaunchUpdater(Options()), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(root_).constData(), 0755), 0);
    UpdaterLaunchOptions build = Options();
    build.programFolder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(LaunchUpdater(build), 0);
    ASSERT_TRUE(QDir().mkpath(root_ + QStringLiteral("/1.61.932.0")));
    UpdaterLaunchOptions older = Options();
    older.programFolder = root_ + QStringLiteral("/1.61.932.0");
    EXPECT_EQ(LaunchUpdater(older), 0);
    EXPECT_TRUE(started_.empty());
    EXPECT_TRUE(QDir(folder_).isEmpty()) << "not even the program file is written";
}

}  // namespace
}  // namespace norvale::app

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
