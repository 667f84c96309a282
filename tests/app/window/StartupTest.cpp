#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGlyphRun>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRawFont>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QTextLayout>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/CLuDiscoverApp.h"
#include "common/SingleInstance.h"
#include "resources/MainStringIds.h"
#include "skin/SkinFonts.h"
#include "skin/StringTable.h"

using namespace norvale::app;
using namespace norvale::common;

namespace {

TEST(LanguageSelection, ProgramLoadsTheFileBesideItOrStaysEnglish) {
    const QString folder = qEnvironmentVariable("NORVALE_BIN_DIR");
    {
        CLuDiscoverApp swiss;
        EXPECT_TRUE(swiss.LoadLanguage(folder, QLocale("de_CH")));
        EXPECT_TRUE(swiss.Language().Path().endsWith("/RES_German.rcc"));
        EXPECT_EQ(LoadSkinString(MainString::kThingsToDo), "Aufgaben");
    }
    // Released with the application object.
    EXPECT_EQ(LoadSkinString(MainString::kThingsToDo), "Things To Do");
    CLuDiscoverApp portuguese;  // no Portuguese file is shipped
    EXPECT_FALSE(portuguese.LoadLanguage(folder, QLocale("pt_BR")));
    CLuDiscoverApp english;
    EXPECT_FALSE(english.LoadLanguage(folder, QLocale("en_GB")));
    CLuDiscoverApp elsewhere;
    EXPECT_FALSE(elsewhere.LoadLanguage(QDir::tempPath() + "/no-such-folder", QLocale("de_DE")));
    EXPECT_EQ(LoadSkinString(MainString::kThingsToDo), "Things To Do");
}

// Glyphs of `text` in the skin's face that no font could supply (glyph 0),
// and whether any glyph had to come from a font other than the face.
std::pair<int, bool> MissingGlyphs(const QString& text) {
    QTextLayout layout(text, SkinFont(SkinFaceName(), 8));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int missing = 0;
    bool fellBack = false;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        fellBack |= run.rawFont().familyName() != SkinFaceName();
        for (quint32 glyph : run.glyphIndexes()) missing += glyph == 0 ? 1 : 0;
    }
    return {missing, fellBack};
}

TEST(LanguageSelection, EastAsianFilesLoadAndEveryTextHasItsGlyphs) {
    const QString folder = qEnvironmentVariable("NORVALE_BIN_DIR");
    const std::vector<std::pair<const char*, const char*>> languages{
        {"ja_JP", "検出されたネットワークドライブ"},
        {"ko_KR", "검색된 네트워크 드라이브"},
        {"zh_CN", "已发现的网络驱动器"},
        {"zh_TW", "已找到的網路磁碟機"}};
    for (const auto& [locale, heading] : languages) {
        CLuDiscoverApp discover;
        ASSERT_TRUE(discover.LoadLanguage(folder, QLocale(locale))) << locale;
        EXPECT_EQ(LoadSkinString(MainString::kDrivesFound), QString::fromUtf8(heading)) << locale;
        for (int id : MainString::kAll) {
            const QString text = LoadSkinString(id);
            EXPECT_EQ(MissingGlyphs(QString(text).replace('\n', ' ')).first, 0)
                << locale << " string " << id;
        }
        // Tahoma has no CJK glyphs: they come from the fallback font.
        EXPECT_TRUE(MissingGlyphs(QString::fromUtf8(heading)).second) << locale;
        // The help page of the language, in the language.
        QFile help(discover.Language().HelpPage());
        ASSERT_TRUE(help.open(QIODevice::ReadOnly)) << locale;
        EXPECT_EQ(help.fileName(), ":/lang/help/help.html");
        EXPECT_TRUE(QString::fromUtf8(help.readAll()).contains(QString::fromUtf8(heading)))
            << locale;
    }
    EXPECT_EQ(LoadSkinString(MainString::kDrivesFound), "Network Drives Found");
}

QString UniqueName(const char* what) {
    return QStringLiteral("norvale-test-%1-%2")
        .arg(QLatin1String(what))
        .arg(QCoreApplication::applicationPid());
}

TEST(SingleInstance, SecondCopyRestoresAMinimisedFirstAndKeepsAMaximisedOne) {
    const QString name = UniqueName("raise");
    SingleInstance first(name);
    ASSERT_TRUE(first.TryBecomeFirst());
    QWidget window;
    QObject::connect(&first, &SingleInstance::raiseRequested, &window,
                     [&window] { SingleInstance::RaiseWindow(&window); });
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    window.showMinimized();
    SingleInstance second(name);
    EXPECT_FALSE(second.TryBecomeFirst());
    ASSERT_TRUE(raised.wait(3000));
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.isVisible());

    window.showMaximized();
    SingleInstance third(name);
    EXPECT_FALSE(third.TryBecomeFirst());
    ASSERT_TRUE(raised.wait(3000));
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
}

TEST(SingleInstance, LockLeftByACopyThatDiedIsTakenOver) {
    const QString name = UniqueName("stale");
    QFile lock(SingleInstance::LockPath(name));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    // QLockFile's record: pid, application name, host name. No process has pid 0x3FFFFFFE.
    lock.write("1073741822\nnorvale-discovery\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    SingleInstance copy(name);
    EXPECT_TRUE(copy.TryBecomeFirst());
}

TEST(SingleInstance, SecondProgramRaisesTheFirstAndExits) {
    SingleInstance first(QString::fromLatin1(kMainProgramInstance));
    ASSERT_TRUE(first.TryBecomeFirst());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    QProcess program;
    program.start(qEnvironmentVariable("NORVALE_BIN_DIR") + "/norvale-discovery", {});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(raised.wait(10000));
    // waitForFinished is false for a program that has already ended.
    const bool ended = program.state() == QProcess::NotRunning || program.waitForFinished(10000);
    if (!ended) program.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST(SingleInstance, RunningUpdaterIsAskedToCloseAndAnAbsentOneIsSkipped) {
    const QString name = UniqueName("updater");
    EXPECT_FALSE(AskToClose(name, 200));

    std::atomic<bool> listening{false};
    std::atomic<bool> closeAsked{false};
    // The updater side runs on a thread of its own: the request blocks this one.
    std::unique_ptr<QThread> updater(QThread::create([&] {
        QLocalServer server;
        server.listen(LocalSocketPath(name));
        listening = true;
        if (!server.waitForNewConnection(5000)) return;
        QLocalSocket* socket = server.nextPendingConnection();
        while (!socket->canReadLine() && socket->waitForReadyRead(5000)) {
        }
        closeAsked = socket->readLine() == "close\n";
        socket->disconnectFromServer();  // the updater window closes
    }));
    updater->start();
    while (!listening) std::this_thread::yield();
    EXPECT_TRUE(AskToClose(name, 5000));
    updater->wait();
    EXPECT_TRUE(closeAsked);
}

}  // namespace
