// The whole update against a real installation: the build installed into a
// scratch prefix, an archive of new files signed by norvale-update-pack and
// served over TLS by nginx, the updater's real start-up, signature check,
// download, unpacking and install with the user's answers scripted (and the
// tests' key trusted), and the relaunch of the new main program.
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

#include "Version.h"
#include "common/SingleInstance.h"
#include "skin/MessageBoxSkin.h"
#include "tests/updater/UpdaterTestServer.h"
#include "tools/update-pack/MinisignSecretKey.h"
#include "tools/update-pack/MinisignSigner.h"
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

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestKey(const QString& file) {
    return QStringLiteral(NORVALE_TEST_KEYS_DIR "/") + file;
}

// A signature of the file at `path` as release 1.2.2026.342, by the test key.
QByteArray SignWithTestKey(const QString& path) {
    std::string error;
    const auto key =
        updatepack::MinisignSecretKey::Parse(ReadAll(TestKey("test.key")).toStdString(), &error);
    const auto signature = key ? updatepack::MinisignSigner(*key).SignFile(
                                     QFile::encodeName(path).toStdString(), "version=1.2.2026.342")
                               : std::nullopt;
    EXPECT_TRUE(signature) << error;
    return QByteArray::fromStdString(signature.value_or(std::string()));
}

// The release tool's archive of the files of `folder` and its signature as
// release `version`, signed with the test key `key`: {archive, signature}.
std::pair<QByteArray, QByteArray> PackFolder(const QString& folder, const QString& version,
                                             const QString& key = QStringLiteral("test"),
                                             const QStringList& more = {}) {
    const QString archive = folder + QStringLiteral(".zip");
    QStringList arguments{"--key", TestKey(key + ".key"), "--version", version, "--out", archive};
    arguments << more;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        arguments << folder + "/" + name;
    QProcess pack;
    pack.start(QStringLiteral(NORVALE_BIN_DIR "/norvale-update-pack"), arguments);
    pack.waitForFinished(60000);
    EXPECT_EQ(pack.exitCode(), 0) << pack.readAllStandardError().toStdString();
    return {ReadAll(archive), ReadAll(archive + ".minisig")};
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
        release_ = folder_ + QStringLiteral("/" NORVALE_VERSION_TEXT);
        ASSERT_TRUE(QFileInfo(release_ + "/norvale-discovery").isExecutable());
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
        for (const QString& name : QDir(release_).entryList(QDir::Files)) {
            WriteFile(staged + "/" + name, "new " + name.toUtf8() + QByteArray(3000, 'n'));
            QFile::setPermissions(staged + "/" + name, QFile::permissions(release_ + "/" + name));
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

    // Serves a signed release of `staged` as Norvale.zip and offers it.
    void Offer(const QString& staged, const QString& version = QStringLiteral("1.2.2026.342")) {
        const auto [archive, signature] = PackFolder(staged, version);
        server_.Put(QStringLiteral("Norvale.zip"), archive);
        server_.Put(QStringLiteral("Norvale.zip.minisig"), signature);
        server_.PutListPage(QStringLiteral("Norvale.zip"));
    }

    // `now`: seconds since 1970 the updater sees; 0: the system clock.
    Run RunUpdater(const QString& commandLine, std::function<bool(InstallStep)> hook = {},
                   std::int64_t now = 0) {
        Run run;
        UpdaterOptions options;
        options.trustedKeys = std::vector<MinisignPublicKey>{TestPublicKey()};
        options.installHook = std::move(hook);
        if (now != 0) options.clock = [now] { return now; };
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

    static MinisignPublicKey TestPublicKey() {
        return MinisignPublicKey::ParseList(ReadAll(TestKey("test.pub")).toStdString())->front();
    }
    // The updater program itself, as the main program starts it.
    QProcess* StartUpdaterProgram(QProcess* updater) const {
        updater->start(QStringLiteral(NORVALE_BIN_DIR "/norvale-autoupdate"),
                       {QStringLiteral("VER:1.20.2026.341"), QStringLiteral("DIR:") + folder_});
        return updater;
    }

    TlsServer server_;
    QTemporaryDir scratch_;
    QString prefix_;
    QString folder_;   // the installation's root
    QString release_;  // the installed release's folder
    QString marker_;
};

TEST_F(UpdateEndToEndTest, InstallPutsTheReleaseInItsOwnFolderBehindALinkAndALauncher) {
    EXPECT_EQ(
        QDir(folder_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name),
        (QStringList{QStringLiteral(NORVALE_VERSION_TEXT), QStringLiteral("current")}));
    EXPECT_EQ(QFileInfo(folder_ + "/current").symLinkTarget(), release_);
    // Both programs and every language file of the build, side by side.
    QStringList expected = QDir(QStringLiteral(NORVALE_BIN_DIR))
                               .entryList({QStringLiteral("RES_*.rcc")}, QDir::Files, QDir::Name);
    EXPECT_FALSE(expected.isEmpty());
    // The updater only where the main program may run it.
    if (NORVALE_INSTALLS_UPDATER) expected << QStringLiteral("norvale-autoupdate");
    expected << QStringLiteral("norvale-discovery") << QStringLiteral("norvale-shares");
    EXPECT_EQ(QDir(release_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              expected);
    // The launcher on PREFIX/bin starts the current release.
    QProcess launcher;
    launcher.start(prefix_ + "/bin/norvale-discovery", {QStringLiteral("--version")});
    ASSERT_TRUE(launcher.waitForFinished(20000));
    EXPECT_EQ(launcher.exitCode(), 0);
    EXPECT_TRUE(launcher.readAllStandardOutput().startsWith("norvale-discovery "));
    launcher.start(prefix_ + "/bin/norvale-shares", {QStringLiteral("--help")});
    ASSERT_TRUE(launcher.waitForFinished(20000));
    EXPECT_EQ(launcher.exitCode(), 0);
    EXPECT_TRUE(launcher.readAllStandardOutput().startsWith("usage: norvale-shares"));
    QFile entry(prefix_ + "/share/applications/norvale-discovery.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(QByteArray("Exec=\"") + QFile::encodeName(prefix_) +
                                         "/bin/norvale-discovery\"\n"));
    for (const char* size : {"48x48", "64x64", "128x128", "256x256"}) {
        EXPECT_TRUE(
            QFile::exists(prefix_ + "/share/icons/hicolor/" + size + "/apps/norvale-discovery.png"))
            << size;
    }
}

TEST_F(UpdateEndToEndTest, NewReleaseIsInstalledWithItsModesAndStarts) {
    const QString staged = MakeNewFiles();
    const Snapshot expected = Take(staged);
    const Snapshot running = Take(release_);
    Offer(staged);

    const Run run = RunUpdater(CommandLine());
    EXPECT_EQ(run.outcome, CAutoUpdateApp::Outcome::DialogRan);
    EXPECT_EQ(run.progressDialogs, 1);
    EXPECT_EQ(run.mainProgramCloses, 1);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], UpdaterText(UpdaterString::kNewerVersion));
    EXPECT_EQ(run.messages[1], UpdaterText(UpdaterString::kLaunchQuestion));

    EXPECT_EQ(QFileInfo(folder_ + "/current").symLinkTarget(), folder_ + "/1.2.2026.342");
    EXPECT_EQ(Take(folder_ + "/current/"), expected);  // every file, its bytes and its mode
    EXPECT_EQ(QFileInfo(folder_ + "/previous").symLinkTarget(), release_);
    EXPECT_EQ(Take(release_), running);
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(marker_) && waited.elapsed() < 10000) QThread::msleep(20);
    QFile marker(marker_);
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    EXPECT_EQ(marker.readAll().trimmed(),
              QFile::encodeName(folder_ + "/current/norvale-discovery"));
}

TEST_F(UpdateEndToEndTest, EveryRefusedArchiveSaysItCouldNotBeVerifiedAndInstallsNothing) {
    const QString staged = MakeNewFiles();
    const QString next = QStringLiteral("1.2.2026.342");
    const auto [good, goodSignature] = PackFolder(staged, next);
    const auto [other, otherSignature] = PackFolder(staged, next, QStringLiteral("other"));
    QByteArray changed = good;
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 1);
    const auto [older, olderSignature] = PackFolder(staged, QStringLiteral("1.2.2026.340"));
    const auto [same, sameSignature] = PackFolder(staged, QStringLiteral("1.2.2026.341"));
    const auto [expiring, expiringSignature] =
        PackFolder(staged, next, QStringLiteral("test"),
                   {QStringLiteral("--expires"), QStringLiteral("2099-01-01T00:00:00Z")});
    WriteFile(staged + "/norvale-autoupdate", "another file");
    const auto [another, anotherSignature] = PackFolder(staged, next);
    const std::int64_t after2099 = 4'102'444'800;  // 2100-01-01T00:00:00Z
    struct Case {
        const char* what;
        QByteArray archive, signature;
        std::int64_t now = 0;  // 0: the system clock
    };
    const std::vector<Case> cases = {
        {"signed by another key", other, otherSignature},
        {"one byte changed", changed, goodSignature},
        {"no signature", good, QByteArray()},
        {"the signature of another file", good, anotherSignature},
        {"an older release", older, olderSignature},
        {"the running release", same, sameSignature},
        {"an expired signature", expiring, expiringSignature, after2099},
    };
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);
    for (const Case& refused : cases) {
        server_.Put(QStringLiteral("Norvale.zip"), refused.archive);
        QFile::remove(server_.FilePath(QStringLiteral("Norvale.zip.minisig")));
        if (!refused.signature.isEmpty())
            server_.Put(QStringLiteral("Norvale.zip.minisig"), refused.signature);
        const Run run = RunUpdater(CommandLine(), {}, refused.now);
        ASSERT_EQ(run.messages.size(), 2u) << refused.what;
        EXPECT_EQ(run.messages[1], UpdaterText(UpdaterString::kNotVerified)) << refused.what;
        EXPECT_EQ(Take(folder_), before) << refused.what;
    }
    // The same expiring signature is good before its time.
    const Run run = RunUpdater(CommandLine(), {}, 0);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(UpdaterString::kLaunchQuestion));
    QElapsedTimer waited;  // the new program started; it ends by itself
    waited.start();
    while (!QFile::exists(marker_) && waited.elapsed() < 10000) QThread::msleep(20);
}

TEST_F(UpdateEndToEndTest, ACopyFailingPartWayLeavesTheInstallationAsItWasAndSays112) {
    Offer(MakeNewFiles());
    const Snapshot before = Take(folder_);
    int opened = 0;
    const Run run = RunUpdater(CommandLine(), [&](InstallStep step) {
        return step != InstallStep::FileOpened || ++opened != 2;
    });
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(UpdaterString::kCopyFailed));
    EXPECT_EQ(Take(folder_), before);
    EXPECT_FALSE(QFile::exists(marker_));
}

TEST_F(UpdateEndToEndTest, ASignedArchiveThatIsNoZipSays111AndChangesNothing) {
    const QString page = scratch_.filePath(QStringLiteral("page.zip"));
    WriteFile(page, QByteArray("<html>404 Not Found</html>"));
    server_.Put(QStringLiteral("Norvale.zip"), ReadAll(page));
    server_.Put(QStringLiteral("Norvale.zip.minisig"), SignWithTestKey(page));
    server_.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);
    const Run run = RunUpdater(CommandLine());
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[1], UpdaterText(UpdaterString::kNetworkError));
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
    const QString archive = scratch_.filePath(QStringLiteral("slow.zip"));
    WriteFile(archive, QByteArray(8 * 1024 * 1024, 'z'));
    slow.Put(QStringLiteral("Norvale.zip"), ReadAll(archive));
    slow.Put(QStringLiteral("Norvale.zip.minisig"), SignWithTestKey(archive));
    slow.PutListPage(QStringLiteral("Norvale.zip"));
    const Snapshot before = Take(folder_);

    std::vector<QString> messages;
    qint64 cancelMs = -1;
    UpdaterOptions options;
    options.trustedKeys = std::vector<MinisignPublicKey>{TestPublicKey()};
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

TEST_F(UpdateEndToEndTest, AnInstallationTheUserCannotChangeIsNeverOfferedAnUpdate) {
    Offer(MakeNewFiles());
    ASSERT_EQ(::chmod(QFile::encodeName(folder_).constData(), 0555), 0);
    const Run run = RunUpdater(CommandLine());
    ::chmod(QFile::encodeName(folder_).constData(), 0755);
    EXPECT_EQ(run.outcome, CAutoUpdateApp::Outcome::NoInstallFolder);
    EXPECT_TRUE(run.messages.empty()) << "no question";
    EXPECT_EQ(run.mainProgramCloses, 0);
    EXPECT_EQ(run.progressDialogs, 0);
}

TEST_F(UpdateEndToEndTest, ASecondUpdaterEndsAtOnceWithoutAWindow) {
    // An update on offer: an updater that went ahead would ask and wait.
    Offer(MakeNewFiles());
    common::SingleInstance first(QString::fromLatin1(common::kUpdaterInstance));
    ASSERT_TRUE(first.TryBecomeFirst());
    QProcess updater;
    StartUpdaterProgram(&updater);
    const bool ended = updater.waitForFinished(20000);
    if (!ended) updater.kill();
    ASSERT_TRUE(ended) << "the second updater went on";
    EXPECT_EQ(updater.exitCode(), 0);
}

TEST_F(UpdateEndToEndTest, AnHttpServerIsRefusedWithAWordOnStandardError) {
    const QString plain = QStringLiteral("http://127.0.0.1:%1").arg(testing::FreeLoopbackPort());
    qputenv("NORVALE_UPDATE_SERVER", plain.toUtf8());
    QProcess updater;
    StartUpdaterProgram(&updater);
    ASSERT_TRUE(updater.waitForFinished(20000));
    EXPECT_EQ(updater.exitCode(), 0);
    EXPECT_TRUE(updater.readAllStandardError().contains(
        (plain + " (NORVALE_UPDATE_SERVER) is not an https:// address").toUtf8()));
}

TEST_F(UpdateEndToEndTest, TheProgramEndsAtOnceWhenThereIsNothingToDo) {
    server_.Put(QStringLiteral("firmware/list.asp"), QByteArray("<html>no update</html>"));
    QProcess updater;
    StartUpdaterProgram(&updater);
    ASSERT_TRUE(updater.waitForFinished(20000));
    EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(updater.exitCode(), 0);
}

}  // namespace
}  // namespace norvale::updater
