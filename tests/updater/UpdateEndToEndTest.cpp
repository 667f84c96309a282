// The whole update against a real installation: the build installed into a
// scratch prefix, an archive of new files served over TLS by nginx, the
// updater's real start-up, download, unpacking and install with the user's
// answers scripted, and the relaunch of the new main program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <map>

#include "skin/MessageBoxSkin.h"
#include "tests/updater/UpdaterTestServer.h"
#include "updater/UpdaterApp.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {
namespace {

using testing::TlsServer;
using testing::WriteFile;

// Name -> (bytes, mode) of every entry under a folder, for before/after checks.
using Snapshot = std::map<QString, std::pair<QByteArray, unsigned>>;

Snapshot Take(const QString& folder) {
    Snapshot result;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        QFile file(path);
        QByteArray bytes;
        if (S_ISREG(info.st_mode) && file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        result[QDir(folder).relativeFilePath(path)] = {bytes, info.st_mode & 07777};
    }
    return result;
}

unsigned ModeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

// A ZIP of the entries of `folder` (names relative to it), modes kept.
QByteArray ZipFolder(const QString& folder) {
    const QString archive = folder + QStringLiteral(".zip");
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral(NORVALE_CMAKE_COMMAND),
              QStringList{"-E", "tar", "cf", archive, "--format=zip"} + names);
    zip.waitForFinished(60000);
    QFile file(archive);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdateEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listening());
        qputenv("NORVALE_UPDATE_SERVER", server_.Base().toUtf8());
        qputenv("CURL_CA_BUNDLE", QFile::encodeName(server_.CertificatePath()));
        // A prefix with a blank in it: the folder travels on the command line.
        prefix_ = scratch_.filePath(QStringLiteral("Norvale Prefix"));
        QProcess install;
        install.start(QStringLiteral(NORVALE_CMAKE_COMMAND),
                      {"--install", QStringLiteral(NORVALE_BUILD_DIR), "--prefix", prefix_});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
        folder_ = prefix_ + QStringLiteral("/lib/norvale-discovery");
        ASSERT_TRUE(QFileInfo(folder_ + "/norvale-discovery").isExecutable());
        ASSERT_TRUE(QFileInfo(folder_ + "/norvale-autoupdate").isExecutable());
        marker_ = scratch_.filePath(QStringLiteral("relaunched"));
    }
    void TearDown() override {
        qunsetenv("NORVALE_UPDATE_SERVER");
        qunsetenv("CURL_CA_BUNDLE");
    }

    // New files for every installed one, plus one more: the new main program
    // records where it was started from.
    QString MakeNewFiles() {
        const QString staged = scratch_.filePath(QStringLiteral("new"));
        QDir().mkpath(staged);
        for (const QString& name : QDir(folder_).entryList(QDir::Files)) {
            WriteFile(staged + "/" + name, "new " + name.toUtf8() + QByteArray(3000, 'n'));
            QFile::setPermissions(staged + "/" + name, QFile::permissions(folder_ + "/" + name));
        }
        const QByteArray script =
            "#!/bin/sh\nprintf '%s\\n' \"$0\" > '" + QFile::encodeName(marker_) + ".tmp'\nmv '" +
            QFile::encodeName(marker_) + ".tmp' '" + QFile::encodeName(marker_) + "'\n";
        WriteFile(staged + "/norvale-discovery", script);
        ::chmod(QFile::encodeName(staged + "/norvale-discovery").constData(), 0755);
        WriteFile(staged + "/RES_Extra.rcc", QByteArray(5000, 'e'));
        ::chmod(QFile::encodeName(staged + "/RES_Extra.rcc").constData(), 0640);
        return staged;
    }

    struct Run {
        std::vector<QString> messages;
        int progressDialogs = 0;
        int mainProgramCloses = 0;
        CAutoUpdateApp::Outcome outcome = CAutoUpdateApp::Outcome::NoUpdate;
    };

    Run RunUpdater(const QString& commandLine) {
        Run run;
        UpdaterOptions options;
        options.showMessage = [&run](const QString& text, const QString&, QWidget*, int buttons) {
            run.messages.push_back(text);
            return (buttons & BTN_YES) ? IDYES : IDOK;
        };
        options.progressOpened = [&run](QWidget*) { ++run.progressDialogs; };
        options.closeMainProgram = [&run] { ++run.mainProgramCloses; };
        CAutoUpdateApp updater(std::move(options));
        updater.InitInstance(commandLine);
        run.outcome = updater.LastOutcome();
        return run;
    }

    QString CommandLine() const { return QStringLiteral("VER:1.20.2026.341 DIR:") + folder_; }

    TlsServer server_;
    QTemporaryDir scratch_;
    QString prefix_;
    QString folder_;
    QString marker_;
};

TEST_F(UpdateEndToEndTest, InstallPutsProgramsAndLanguagesInOneFolderWithALauncher) {
    // Both programs and every language file of the build, side by side.
    QStringList expected = QDir(QStringLiteral(NORVALE_BIN_DIR))
                               .entryList({QStringLiteral("RES_*.rcc")}, QDir::Files, QDir::Name);
    EXPECT_FALSE(expected.isEmpty());
    expected << QStringLiteral("norvale-autoupdate") << QStringLiteral("norvale-discovery");
    EXPECT_EQ(QDir(folder_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              expected);
    // The launcher on PREFIX/bin starts the program in the program folder.
    QProcess launcher;
    launcher.start(prefix_ + "/bin/norvale-discovery", {QStringLiteral("--version")});
    ASSERT_TRUE(launcher.waitForFinished(20000));
    EXPECT_EQ(launcher.exitCode(), 0);
    EXPECT_TRUE(launcher.readAllStandardOutput().startsWith("norvale-discovery "));
    QFile entry(prefix_ + "/share/applications/norvale-discovery.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(QByteArray("Exec=\"") + QFile::encodeName(prefix_) +
                                         "/bin/norvale-discovery\"\n"));
    EXPECT_TRUE(QFile::exists(prefix_ + "/share/icons/hicolor/256x256/apps/norvale-discovery.png"));
}

TEST_F(UpdateEndToEndTest, EveryFileIsReplacedWithItsModeAndTheNewProgramStarts) {
    const QString staged = MakeNewFiles();
    const Snapshot expected = Take(staged);
    server_.Put(QStringLiteral("Norvale.zip"), ZipFolder(staged));
    server_.PutListPage(QStringLiteral("Norvale.zip"));

    const Run run = RunUpdater(CommandLine());
    EXPECT_EQ(run.outcome, CAutoUpdateApp::Outcome::DialogRan);
    EXPECT_EQ(run.progressDialogs, 1);
    EXPECT_EQ(run.mainProgramCloses, 1);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], UpdaterText(kNewerVersionText));
    EXPECT_EQ(run.messages[1], UpdaterText(kLaunchQuestionText));

    const Snapshot installed = Take(folder_);
    EXPECT_EQ(installed, expected);  // every file, its bytes and its mode; nothing else left
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(marker_) && waited.elapsed() < 10000) QThread::msleep(20);
    QFile marker(marker_);
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    EXPECT_EQ(marker.readAll().trimmed(), QFile::encodeName(folder_ + "/norvale-discovery"));
}

TEST_F(UpdateEndToEndTest, ACopyFailureLeavesTheInstallationAsItWasAndSays112) {
    const QString staged = MakeNewFiles();
    server_.Put(QStringLiteral("Norvale.zip"), ZipFolder(staged));
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    // One installed file may not be replaced.
    ASSERT_EQ(::chmod(QFile::encodeName(folder_ + "/norvale-autoupdate").constData(), 0555), 0);
    const Snapshot before = Take(folder_);

    const Run run = RunUpdater(CommandLine());
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(kCopyFailedText));
    EXPECT_EQ(Take(folder_), before);
    EXPECT_FALSE(QFile::exists(marker_));
    EXPECT_EQ(ModeOf(folder_ + "/norvale-autoupdate"), 0555u);
}

TEST_F(UpdateEndToEndTest, AnArchiveWithAFolderEndsIn112) {
    const QString staged = MakeNewFiles();
    QDir().mkpath(staged + "/plugins");
    WriteFile(staged + "/plugins/extra.so", "x");
    server_.Put(QStringLiteral("Norvale.zip"), ZipFolder(staged));
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);

    const Run run = RunUpdater(CommandLine());
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(kCopyFailedText));
    EXPECT_EQ(Take(folder_), before);
}

TEST_F(UpdateEndToEndTest, ABrokenArchiveSays111AndChangesNothing) {
    server_.Put(QStringLiteral("Norvale.zip"), QByteArray("<html>404 Not Found</html>"));
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);
    const Run run = RunUpdater(CommandLine());
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(kNetworkErrorText));
    EXPECT_EQ(Take(folder_), before);
}

TEST_F(UpdateEndToEndTest, NothingIsShownWhenThePageOffersNoLinkOrThereIsNoFolder) {
    server_.Put(QStringLiteral("firmware/list.asp"),
                QByteArray("<html><body>Norvale Discovery is up to date.</body></html>"));
    Run run = RunUpdater(CommandLine());
    EXPECT_EQ(run.outcome, CAutoUpdateApp::Outcome::NoUpdate);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_EQ(run.progressDialogs, 0);
    for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());

    // A link, but no folder to update: nothing asked either.
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    run = RunUpdater(QStringLiteral("VER:1.20.2026.341"));
    EXPECT_EQ(run.outcome, CAutoUpdateApp::Outcome::NoInstallFolder);
    EXPECT_TRUE(run.messages.empty());
}

TEST_F(UpdateEndToEndTest, CancelDuringTheDownloadEndsSilentlyAndChangesNothing) {
    TlsServer slow(200 * 1024);
    qputenv("NORVALE_UPDATE_SERVER", slow.Base().toUtf8());
    qputenv("CURL_CA_BUNDLE", QFile::encodeName(slow.CertificatePath()));
    slow.Put(QStringLiteral("Norvale.zip"), QByteArray(8 * 1024 * 1024, 'z'));
    slow.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);

    std::vector<QString> messages;
    qint64 cancelMs = -1;
    UpdaterOptions options;
    options.showMessage = [&](const QString& text, const QString&, QWidget*, int buttons) {
        messages.push_back(text);
        return (buttons & BTN_YES) ? IDYES : IDOK;
    };
    options.closeMainProgram = [] {};
    options.progressOpened = [&](QWidget* dialog) {
        QTimer::singleShot(500, dialog, [&, dialog] {
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(dialog, Qt::Key_Escape);
            cancelMs = timer.elapsed();
        });
    };
    CAutoUpdateApp updater(std::move(options));
    updater.InitInstance(CommandLine());
    EXPECT_EQ(messages.size(), 1u);  // the question only
    ASSERT_GE(cancelMs, 0);
    EXPECT_LT(cancelMs, 2000);  // the worker stops within a piece, not at the end
    EXPECT_EQ(Take(folder_), before);
    EXPECT_FALSE(QFile::exists(marker_));
}

TEST_F(UpdateEndToEndTest, TheProgramEndsAtOnceWhenThereIsNothingToDo) {
    server_.Put(QStringLiteral("firmware/list.asp"), QByteArray("<html>no update</html>"));
    QProcess updater;
    updater.start(QStringLiteral(NORVALE_BIN_DIR "/norvale-autoupdate"),
                  {QStringLiteral("VER:1.20.2026.341"), QStringLiteral("DIR:") + folder_});
    ASSERT_TRUE(updater.waitForFinished(20000));
    EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(updater.exitCode(), 0);
}

}  // namespace
}  // namespace norvale::updater
