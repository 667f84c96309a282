// The share code on the real stack: a private smbd, libsmbclient listings,
// GVfs mounts under a private D-Bus session, links in a scratch drive
// folder. Needs root (smbd runs only as real root).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <optional>

#include "PrivateSmbd.h"
#include "drives/CredentialsDialog.h"
#include "drives/DriveWatcher.h"
#include "drives/GvfsMounter.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ShareDrives.h"
#include "skin/CLuButton.h"
#include "skin/StringTable.h"

namespace drives {
namespace {

const QString kOpen = QString::fromLatin1(PrivateSmbd::kOpen);
const QString kRestricted = QString::fromLatin1(PrivateSmbd::kRestricted);

QString Share(const QString& server, const char* share) {
    return ShareDrives::SharePath(server, QString::fromUtf8(share));
}

Credentials Alice(const char* password = PrivateSmbd::kPassword) {
    return Credentials{QString::fromLatin1(PrivateSmbd::kUser), QString(),
                       QString::fromLatin1(password), false};
}

// Answers credential requests from a script; an empty answer cancels.
class ScriptedPrompt : public CredentialPrompt {
  public:
    struct Asked {
        QString server;
        QString share;
        bool retry;
    };
    std::deque<std::optional<Credentials>> answers;
    std::vector<Asked> asked;
    // Runs while the prompt is up (the user takes minutes to answer).
    std::function<void()> whileAsking;

    bool Ask(QWidget*, const QString& server, const QString& share, bool retry,
             Credentials* credentials) override {
        asked.push_back({server, share, retry});
        if (whileAsking) whileAsking();
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected credential prompt for " << server.toStdString();
            return false;
        }
        const std::optional<Credentials> answer = answers.front();
        answers.pop_front();
        if (!answer) return false;
        *credentials = *answer;
        return true;
    }
};

struct Row {
    QString text;
    char16_t letter;
    bool operator==(const Row&) const = default;
};
void PrintTo(const Row& row, std::ostream* os) {
    *os << '"' << row.text.toStdString() << "\" " << char(row.letter ? row.letter : '0');
}
class Rows : public ShareRowSink {
  public:
    void AddShareRow(const QString& share, char16_t letter) override {
        rows.push_back({ShareDrives::RowText(share, letter), letter});
    }
    std::vector<Row> rows;
};

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QTest::qWait(20);
    }
    return true;
}

class SmbStack : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PrivateSmbd::CanRun()) return;
        smbd_ = new PrivateSmbd;
        if (!smbd_->Start(&startError_)) return;
        // The first listing also starts smbd's RPC helpers: keep that out of
        // the timed tests.
        SmbShareLister lister(15000);
        std::vector<ShareEntry> shares;
        QString message;
        lister.List(kOpen, nullptr, &shares, &message);
    }
    static void TearDownTestSuite() {
        delete smbd_;
        smbd_ = nullptr;
    }

    void SetUp() override {
        if (!PrivateSmbd::CanRun()) {
            GTEST_SKIP() << "SKIPPED: the SMB tests run a private smbd, which needs real root "
                            "(CI and the developers' machines run ./test as root)";
        }
        ASSERT_TRUE(startError_.isEmpty()) << startError_.toStdString();
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
        folder_ = std::make_unique<DriveFolder>(scratch_.filePath(QStringLiteral("drives")));
        platform_ = std::make_unique<LinuxSharePlatform>(*folder_, &prompt_);
        drives_ = std::make_unique<ShareDrives>(*platform_);
        drives_->SetErrorPresenter(
            [this](const QString& text, QWidget*) { shown_.push_back(text); });
    }

    void TearDown() override {
        if (!platform_) return;
        for (char16_t letter = u'D'; letter <= u'Z'; ++letter) {
            platform_->CancelConnection(ShareDrives::DriveName(letter));
        }
        // Mounts made without a letter.
        CredentialCache cache;
        GvfsMounter mounter(cache, nullptr);
        QString message;
        for (const char* share :
             {"public", "private", "data", "My Files", "Public (Z:)", "Video (4K)"}) {
            mounter.Unmount(kOpen, QString::fromUtf8(share), &message);
            mounter.Unmount(kRestricted, QString::fromUtf8(share), &message);
        }
    }

    // The FUSE folder GVfs gives a share of the open server.
    QString FusePath(const char* share) const {
        return qEnvironmentVariable("XDG_RUNTIME_DIR") +
               QStringLiteral("/gvfs/smb-share:server=%1,share=%2").arg(kOpen, share);
    }
    static bool Exists(const QString& path) {
        struct stat info {};
        return stat(QFile::encodeName(path).constData(), &info) == 0;
    }
    // A file read through a letter; the kernel may show the folder of an
    // earlier mount of the share for a moment after it is mounted again.
    QByteArray ReadThrough(char16_t letter, const char* file) const {
        QByteArray content;
        WaitFor([&] {
            QFile in(folder_->EntryPath(letter) + QLatin1Char('/') + QLatin1String(file));
            content = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
            return !content.isEmpty();
        });
        return content;
    }

    static inline PrivateSmbd* smbd_ = nullptr;
    static inline QString startError_;
    QTemporaryDir scratch_;
    ScriptedPrompt prompt_;
    std::unique_ptr<DriveFolder> folder_;
    std::unique_ptr<LinuxSharePlatform> platform_;
    std::unique_ptr<ShareDrives> drives_;
    std::vector<QString> shown_;
    QWidget owner_;
};

TEST_F(SmbStack, AnonymousListingKeepsUsableSharesInCodeUnitOrder) {
    std::vector<ShareEntry> shares;
    ASSERT_EQ(platform_->EnumShares(ShareDrives::ServerPath(kOpen), &shares), kNoError);
    auto typeOf = [&](const char* name) {
        for (const ShareEntry& e : shares) {
            if (e.name == QLatin1String(name)) return e.type;
        }
        return -1;
    };
    EXPECT_EQ(typeOf("printer"), kSharePrintQueue);
    EXPECT_EQ(typeOf("hidden$"), kShareDisk);
    EXPECT_EQ(typeOf("IPC$"), kShareIpc);
    EXPECT_EQ(typeOf("Configuration"), kShareDisk);
    EXPECT_EQ(drives_->ListUsableShares(kOpen), 1);
    Rows rows;
    EXPECT_EQ(drives_->ListShares(kOpen, false, &rows), 1);
    EXPECT_EQ(rows.rows, (std::vector<Row>{{"My Files", 0},
                                           {"Public (Z:)", 0},
                                           {"Video (4K)", 0},
                                           {"data", 0},
                                           {"private", 0},
                                           {"public", 0}}));
    EXPECT_TRUE(prompt_.asked.empty());
}

TEST_F(SmbStack, AccessDeniedUntilLoginThenNoPromptForListingOrMounting) {
    std::vector<ShareEntry> shares;
    EXPECT_EQ(platform_->EnumShares(ShareDrives::ServerPath(kRestricted), &shares),
              kErrorAccessDenied);
    EXPECT_FALSE(platform_->ErrorText(kErrorAccessDenied).isEmpty());
    EXPECT_EQ(drives_->ListUsableShares(kRestricted), 0);
    // A wrong password is refused and asked again, then the right one works.
    prompt_.answers = {Alice("wrong"), Alice()};
    EXPECT_EQ(drives_->LoginToServer(&owner_, ShareDrives::ServerPath(kRestricted)), 1);
    ASSERT_EQ(prompt_.asked.size(), 2u);
    EXPECT_FALSE(prompt_.asked[0].retry);
    EXPECT_TRUE(prompt_.asked[1].retry);
    EXPECT_TRUE(prompt_.asked[0].share.isEmpty());
    EXPECT_EQ(platform_->EnumShares(ShareDrives::ServerPath(kRestricted), &shares), kNoError);
    EXPECT_FALSE(shares.empty());
    // The password typed once also mounts the user's share.
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Z:"), Share(kRestricted, "private")), 0);
    EXPECT_EQ(prompt_.asked.size(), 2u);
    QString remote;
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("Z:"), &remote), kNoError);
    EXPECT_EQ(remote.compare(Share(kRestricted, "private"), Qt::CaseInsensitive), 0);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(SmbStack, LoginCancelledReportsCancelAndListingStaysDenied) {
    prompt_.answers = {std::nullopt};
    EXPECT_EQ(drives_->LoginToServer(&owner_, ShareDrives::ServerPath(kRestricted)), 0);
    std::vector<ShareEntry> shares;
    EXPECT_EQ(platform_->EnumShares(ShareDrives::ServerPath(kRestricted), &shares),
              kErrorAccessDenied);
    // Without an owner nobody is asked.
    EXPECT_EQ(
        platform_->AddConnection(QString(), ShareDrives::ServerPath(kRestricted), false, nullptr),
        kErrorAccessDenied);
    EXPECT_EQ(prompt_.asked.size(), 1u);
}

TEST_F(SmbStack, CancelledPromptGives1223WithNothingMountedOrShown) {
    prompt_.answers = {std::nullopt};
    QSignalSpy busy(drives_.get(), &ShareDrives::busy);
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Z:"), Share(kOpen, "private")),
              kErrorCancelled);
    EXPECT_EQ(busy.size(), 2);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("Z:")), kDriveNoRootDir);
    EXPECT_FALSE(Exists(FusePath("private")));
    ASSERT_EQ(prompt_.asked.size(), 1u);
    EXPECT_EQ(prompt_.asked[0].share, QStringLiteral("private"));
}

TEST_F(SmbStack, WrongPasswordForShareIsAskedAgain) {
    prompt_.answers = {Alice("wrong"), Alice()};
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Y:"), Share(kOpen, "private")), 0);
    ASSERT_EQ(prompt_.asked.size(), 2u);
    EXPECT_FALSE(prompt_.asked[0].retry);
    EXPECT_TRUE(prompt_.asked[1].retry);
    QString drive;
    EXPECT_EQ(drives_->FindMappedDrive(Share(kOpen, "PRIVATE"), &drive), 0);
    EXPECT_EQ(drive, QStringLiteral("Y:"));
    // Typed once, the password is not asked for again.
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("W:"), Share(kOpen, "private")), 0);
    EXPECT_EQ(prompt_.asked.size(), 2u);
}

TEST_F(SmbStack, SkinnedDialogAnswersTheMountPromptWhileTheMountWaits) {
    // The skinned prompt: the dialog runs inside the mount's wait.
    CredentialsDialogPrompt dialogPrompt;
    LinuxSharePlatform platform(*folder_, &dialogPrompt);
    ShareDrives drives(platform);
    int dialogs = 0;
    QTimer filler;
    QObject::connect(&filler, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<CredentialsDialog*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            ++dialogs;
            dialog->UserEdit()->setText(QString::fromLatin1(PrivateSmbd::kUser));
            dialog->PasswordEdit()->setText(QString::fromLatin1(PrivateSmbd::kPassword));
            QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        }
    });
    filler.start(50);
    EXPECT_EQ(drives.MapDrive(&owner_, QStringLiteral("V:"), Share(kOpen, "private")), 0);
    filler.stop();
    EXPECT_EQ(dialogs, 1);
    QString remote;
    EXPECT_EQ(platform.GetConnection(QStringLiteral("V:"), &remote), kNoError);
    EXPECT_EQ(platform.CancelConnection(QStringLiteral("V:")), kNoError);
}

TEST_F(SmbStack, AutomaticMappingFindAndUnmap) {
    Rows rows;
    ASSERT_EQ(drives_->ListShares(kOpen, true, &rows), 1);
    // "private" needs a password: the silent mapping leaves it without a letter.
    // Names that look like a mapped row get their own share.
    EXPECT_EQ(rows.rows, (std::vector<Row>{{"My Files (Z:)", u'Z'},
                                           {"Public (Z:) (Y:)", u'Y'},
                                           {"Video (4K) (X:)", u'X'},
                                           {"data (W:)", u'W'},
                                           {"private", 0},
                                           {"public (V:)", u'V'}}));
    EXPECT_TRUE(prompt_.asked.empty());
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(ReadThrough(u'V', "hello.txt"), QByteArray("hello\n"));
    EXPECT_EQ(ReadThrough(u'Y', "odd.txt"), QByteArray("odd\n"));
    EXPECT_EQ(ReadThrough(u'X', "video.txt"), QByteArray("video\n"));
    QString drive;
    EXPECT_EQ(drives_->FindMappedDrive(Share(kOpen, "My Files"), &drive), 0);
    EXPECT_EQ(drive, QStringLiteral("Z:"));
    // Listed again, every share keeps its letter and nothing is mapped twice.
    Rows again;
    drives_->ListShares(kOpen, true, &again);
    EXPECT_EQ(again.rows, rows.rows);
    EXPECT_EQ(drives_->FreeDriveNames().first(), QStringLiteral("U:"));

    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("W:")), kNoError);
    EXPECT_EQ(drives_->FindMappedDrive(Share(kOpen, "data"), &drive), 2);
    EXPECT_TRUE(WaitFor([&] { return !Exists(FusePath("data")); }));
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("W:")), kErrorNotConnected);
}

TEST_F(SmbStack, TwoLettersOnOneShareKeepTheMountUntilTheLast) {
    EXPECT_EQ(drives_->MapDrive(nullptr, QStringLiteral("Z:"), Share(kOpen, "data")), 0);
    EXPECT_EQ(drives_->MapDrive(nullptr, QStringLiteral("W:"), Share(kOpen, "data")), 0);
    // An unmount would have happened within the call: the mount list tells at once.
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Z:")), kNoError);
    QString remote;
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("W:"), &remote), kNoError);
    EXPECT_EQ(ReadThrough(u'W', "data.txt"), QByteArray("data\n"));
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("W:")), kNoError);
    EXPECT_TRUE(WaitFor([&] { return !Exists(FusePath("data")); }));
}

TEST_F(SmbStack, RememberedLinkReports1201AndMappingAgainRevivesIt) {
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("Z:"), Share(kOpen, "public")), 0);
    CredentialCache cache;
    GvfsMounter mounter(cache, nullptr);
    QString message;
    ASSERT_EQ(mounter.Unmount(kOpen, QStringLiteral("public"), &message), 0);
    QString remote;
    // The kernel may show the unmounted folder for up to a second.
    ASSERT_TRUE(WaitFor([&] {
        return platform_->GetConnection(QStringLiteral("Z:"), &remote) == kErrorConnectionUnavail;
    }));
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("Z:"), &remote), kErrorConnectionUnavail);
    EXPECT_EQ(remote, Share(kOpen, "public"));
    QString drive;
    EXPECT_EQ(drives_->FindMappedDrive(Share(kOpen, "public"), &drive), 1);
    Rows rows;
    drives_->ListShares(kOpen, false, &rows);
    EXPECT_EQ(rows.rows.back(), (Row{"public (Z:)", u'Z'}));
    // A taken letter is not handed out again while remembered.
    EXPECT_FALSE(drives_->FreeDriveNames().contains(QStringLiteral("Z:")));
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Z:"), Share(kOpen, "public")), 0);
    EXPECT_EQ(platform_->GetConnection(QStringLiteral("Z:"), &remote), kNoError);
    EXPECT_EQ(ReadThrough(u'Z', "hello.txt"), QByteArray("hello\n"));
    // A letter holding another share is not taken over.
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Z:"), Share(kOpen, "data")),
              kErrorAlreadyAssigned);
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(SmbStack, UnknownServerAndShareAnswerInTime) {
    for (const char* server : {"127.0.0.66", "nosuchserver"}) {
        QElapsedTimer timer;
        timer.start();
        std::vector<ShareEntry> shares;
        EXPECT_EQ(platform_->EnumShares(ShareDrives::ServerPath(QLatin1String(server)), &shares),
                  kErrorBadNetPath)
            << server;
        EXPECT_EQ(
            drives_->MapDrive(nullptr, QStringLiteral("Z:"), Share(QLatin1String(server), "data")),
            kErrorBadNetPath)
            << server;
        EXPECT_LT(timer.elapsed(), 10000) << server;
    }
    // An unknown share: the message is GIO's own, shown over the owner.
    EXPECT_EQ(drives_->ConnectInteractive(&owner_, Share(kOpen, "nosuch")), 0);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0], platform_->ErrorText(kErrorBadNetName));
    EXPECT_TRUE(shown_[0].contains(QLatin1String("No such file"))) << shown_[0].toStdString();
    EXPECT_EQ(platform_->GetDriveType(QStringLiteral("Z:")), kDriveNoRootDir);
}

TEST_F(SmbStack, DeviceEventsForLinksMadeAndRemovedElsewhere) {
    DriveWatcher watcher(*folder_);
    QSignalSpy events(&watcher, &DriveWatcher::driveEvent);
    // Waits for the event; one change may come as two of the same kind (a
    // link seen first dangling, then mounted), never as the opposite kind.
    auto next = [&](bool removal, QChar letter) {
        bool seen = false;
        WaitFor(
            [&] {
                while (!events.isEmpty()) {
                    const QList<QVariant> event = events.takeFirst();
                    EXPECT_EQ(event.at(0).toBool(), removal) << letter.toLatin1();
                    EXPECT_EQ(event.at(1).value<QChar>(), letter);
                    seen = true;
                }
                return seen;
            },
            15000);
        ASSERT_TRUE(seen) << (removal ? "no removal of " : "no arrival of ") << letter.toLatin1();
    };
    // Mounted without a letter, then linked by hand.
    ASSERT_EQ(drives_->ConnectInteractive(&owner_, Share(kOpen, "data")), 1);
    ASSERT_TRUE(WaitFor([&] { return Exists(FusePath("data")); }));
    ASSERT_TRUE(QDir().mkpath(folder_->Path()));
    ASSERT_TRUE(QFile::link(FusePath("data"), folder_->EntryPath('K')));
    next(false, QLatin1Char('K'));
    // The share unmounted elsewhere: removal through the mount list.
    CredentialCache cache;
    GvfsMounter mounter(cache, nullptr);
    QString message;
    ASSERT_EQ(mounter.Unmount(kOpen, QStringLiteral("data"), &message), 0);
    next(true, QLatin1Char('K'));
    // Mounted again: arrival.
    ASSERT_EQ(mounter.Mount(kOpen, QStringLiteral("data"), false, nullptr, &message, &message), 0);
    next(false, QLatin1Char('K'));
    ASSERT_TRUE(QFile::remove(folder_->EntryPath('K')));
    next(true, QLatin1Char('K'));
    // Nothing more about K: the next event is the one of a new letter J.
    ASSERT_TRUE(QFile::link(FusePath("data"), folder_->EntryPath('J')));
    next(false, QLatin1Char('J'));
    ASSERT_TRUE(QFile::remove(folder_->EntryPath('J')));
}

TEST_F(SmbStack, CommandPrintsPanelRowsAndFailsWithTheMessage) {
    QString bin = qEnvironmentVariable("NORVALE_BIN_DIR");
    if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    const QString program = bin + QStringLiteral("/norvale-shares");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVALE_DRIVES_DIR"), folder_->Path());
    process.setProcessEnvironment(env);
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("M:"), Share(kOpen, "data")), 0);
    process.start(program, {kOpen});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("My Files\nPublic (Z:)\nVideo (4K)\ndata (M:)\nprivate\npublic\n"));
    process.start(program, {kRestricted});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(process.readAllStandardError().contains("error 5"));

    // Without GVfs in GIO, --map names every share it could not map and says why.
    env.insert(QStringLiteral("GIO_USE_VFS"), QStringLiteral("local"));
    process.setProcessEnvironment(env);
    process.start(program, {kOpen, QStringLiteral("--map")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("My Files\nPublic (Z:)\nVideo (4K)\ndata (M:)\nprivate\npublic\n"));
    const QList<QByteArray> lines = process.readAllStandardError().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[1].contains("\\\\127.0.0.9\\Public (Z:): " + LoadSkinString(62).toUtf8() +
                                  " (error 50)"))
        << lines[1].toStdString();

    // --unmap drops the letter as the panels do, once.
    process.start(program, {QStringLiteral("--unmap"), QStringLiteral("m")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(folder_->Read(u'M').kind, DriveEntry::kNone);
    process.start(program, {QStringLiteral("--unmap"), QStringLiteral("M:")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("(error 2250)"));
}

// A mount someone else made is never ours to unmount, and neither is our own
// while a file is open there: removing the letter leaves both working.
TEST_F(SmbStack, MountsMadeElsewhereOrInUseSurviveRemovingTheLetter) {
    QProcess gio;
    gio.start(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-a"),
                                      QStringLiteral("smb://127.0.0.9/data")});
    ASSERT_TRUE(gio.waitForFinished(30000));
    ASSERT_EQ(gio.exitCode(), 0) << gio.readAllStandardError().toStdString();
    // The kernel may show the folder of an earlier mount for a moment.
    QFile elsewhere(FusePath("data") + QStringLiteral("/elsewhere.txt"));
    ASSERT_TRUE(WaitFor([&] { return elsewhere.open(QIODevice::WriteOnly); }));
    ASSERT_EQ(elsewhere.write("before "), 7);
    ASSERT_TRUE(elsewhere.flush());
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("Z:"), Share(kOpen, "data")), 0);
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Z:")), kNoError);
    EXPECT_EQ(folder_->Read(u'Z').kind, DriveEntry::kNone);
    EXPECT_EQ(elsewhere.write("after"), 5);
    EXPECT_TRUE(elsewhere.flush());
    elsewhere.close();
    QFile written(smbd_->SharePath(QStringLiteral("data")) + QStringLiteral("/elsewhere.txt"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("before after"));
    // Not ours even once the file is closed.
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("Z:"), Share(kOpen, "data")), 0);
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Z:")), kNoError);
    EXPECT_TRUE(Exists(FusePath("data")));

    // Our own mount, with a file open through the letter.
    gio.start(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"),
                                      QStringLiteral("smb://127.0.0.9/data")});
    ASSERT_TRUE(gio.waitForFinished(30000));
    ASSERT_TRUE(WaitFor([&] { return !Exists(FusePath("data")); }));
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("Y:"), Share(kOpen, "data")), 0);
    QFile mine(folder_->EntryPath(u'Y') + QStringLiteral("/mine.txt"));
    ASSERT_TRUE(WaitFor([&] { return mine.open(QIODevice::WriteOnly); }));
    ASSERT_EQ(mine.write("one "), 4);
    ASSERT_TRUE(mine.flush());
    EXPECT_EQ(platform_->CancelConnection(QStringLiteral("Y:")), kNoError);
    EXPECT_EQ(mine.write("two"), 3);
    EXPECT_TRUE(mine.flush());
    mine.close();
    EXPECT_TRUE(Exists(FusePath("data")));
    QFile mineWritten(smbd_->SharePath(QStringLiteral("data")) + QStringLiteral("/mine.txt"));
    ASSERT_TRUE(mineWritten.open(QIODevice::ReadOnly));
    EXPECT_EQ(mineWritten.readAll(), QByteArray("one two"));
}

// A letter checked before a long credential prompt is looked at again after
// it: what took the letter meanwhile stays, and the mount made for nothing goes.
TEST_F(SmbStack, ALetterTakenWhileThePromptIsUpIsLeftAsItIs) {
    ASSERT_EQ(drives_->MapDrive(nullptr, QStringLiteral("W:"), Share(kOpen, "data")), 0);
    ASSERT_TRUE(QFile::link(FusePath("private"), folder_->EntryPath(u'Z')));  // remembered
    prompt_.answers = {Alice()};
    prompt_.whileAsking = [&] {
        // Given to another share elsewhere meanwhile.
        QFile::remove(folder_->EntryPath(u'Z'));
        QFile::link(FusePath("data"), folder_->EntryPath(u'Z'));
    };
    EXPECT_EQ(drives_->MapDrive(&owner_, QStringLiteral("Z:"), Share(kOpen, "private")),
              kErrorAlreadyAssigned);
    EXPECT_EQ(QFileInfo(folder_->EntryPath(u'Z')).symLinkTarget(), FusePath("data"));
    EXPECT_TRUE(WaitFor([&] { return !Exists(FusePath("private")); }));

    // A file planted under the letter likewise (a fresh run: asked again).
    ScriptedPrompt prompt;
    LinuxSharePlatform platform(*folder_, &prompt);
    ShareDrives drives(platform);
    prompt.answers = {Alice()};
    prompt.whileAsking = [&] {
        QFile planted(folder_->EntryPath(u'X'));
        ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
        planted.write("planted");
    };
    EXPECT_EQ(drives.MapDrive(&owner_, QStringLiteral("X:"), Share(kOpen, "private")),
              kErrorAlreadyAssigned);
    QFile planted(folder_->EntryPath(u'X'));
    ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
    EXPECT_EQ(planted.readAll(), QByteArray("planted"));
}

}  // namespace
}  // namespace drives
