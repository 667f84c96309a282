// The updater program around its engine: install folder, language blocks,
// message-box look, the progress dialog driven by a scripted worker, the
// proxy login and the close request between the programs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "common/SingleInstance.h"
#include "skin/CLuButton.h"
#include "skin/MessageBoxSkin.h"
#include "skin/StringTable.h"
#include "updater/CAutoUpdateDlg.h"
#include "updater/CProxyLoginDlg.h"
#include "updater/UpdateState.h"
#include "updater/UpdaterApp.h"
#include "updater/UpdaterLanguage.h"
#include "updater/UpdaterSkin.h"

namespace norvale::updater {
namespace {

TEST(UpdaterCommandLine, FolderThatHoldsNoInstallationIsRefused) {
    EXPECT_FALSE(UsableInstallFolder(QStringLiteral("relative/folder")));
    EXPECT_FALSE(UsableInstallFolder(QStringLiteral("/no/such/folder/here")));
    EXPECT_FALSE(UsableInstallFolder(QDir::tempPath())) << "a folder, but no installation";
}

TEST(UpdaterLanguage, EveryBlockHoldsEveryText) {
    for (int base : UpdaterString::kAllBlocks) {
        for (int id : UpdaterString::kAll) {
            EXPECT_FALSE(LoadSkinString(base + id).isEmpty()) << base + id;
        }
    }
    SetLanguageBase(UpdaterString::kGermanBlock);
    EXPECT_EQ(UpdaterText(UpdaterString::kNewerVersion),
              LoadSkinString(UpdaterString::kGermanBlock + UpdaterString::kNewerVersion));
    EXPECT_NE(UpdaterText(UpdaterString::kNewerVersion),
              LoadSkinString(UpdaterString::kNewerVersion));
    SetLanguageBase(UpdaterString::kEnglishBlock);
    EXPECT_EQ(UpdaterText(UpdaterString::kTitle),
              QStringLiteral("Norvale Discovery Auto-Update Progress"));
}

TEST(UpdaterLanguage, MessageBoxesTakeTheUpdaterLookAndLabels) {
    const int french = UpdaterString::kFrenchBlock;
    SetLanguageBase(french);
    ApplyUpdaterMessageBoxSkin();
    const MessageBoxSkin skin = GetMessageBoxSkin();
    SetLanguageBase(UpdaterString::kEnglishBlock);
    EXPECT_EQ(skin.backgroundSource, QRect(0, 0, 600, 240));
    EXPECT_EQ(skin.buttonsSource, QRect(0, 0, 448, 36));
    for (QRgb color : {skin.captionColor, skin.buttonColor1, skin.buttonColor2, skin.buttonColor3,
                       skin.messageColor}) {
        EXPECT_EQ(color, 0xFFFFFFFFu);
    }
    EXPECT_EQ(skin.buttonColor4, 0xFF808080u);
    EXPECT_EQ(skin.fontSize, 13);
    EXPECT_EQ(skin.labelIds,
              (std::array<int, 4>{french + UpdaterString::kYes, french + UpdaterString::kNo,
                                  french + UpdaterString::kOk, french + UpdaterString::kCancel}));
}

const QString kVersion = QStringLiteral("VER:1.20.2026.341");

// A message shown through the test seam.
struct Shown {
    QString text;
    QWidget* owner = nullptr;
    int buttons = 0;
    bool onInterfaceThread = false;
};

// Drives a progress dialog with a scripted worker and scripted answers.
class ProgressDialogTest : public ::testing::Test {
  protected:
    UpdaterOptions Options(std::function<void(const UpdateJob&, UpdateWorkerHost&)> worker) {
        UpdaterOptions options;
        options.worker = std::move(worker);
        options.showMessage = [this](const QString& text, const QString&, QWidget* owner,
                                     int buttons) {
            shown.push_back({text, owner, buttons,
                             QThread::currentThread() == QCoreApplication::instance()->thread()});
            return answer;
        };
        options.relaunch = [this](const QString& program) { relaunched.push_back(program); };
        options.closeMainProgram = [this] { ++closeRequests; };
        return options;
    }

    // Until the dialog's cancel: the download loop.
    static void WaitForAbort(const UpdateJob&, UpdateWorkerHost&) {
        while (GetUpdateState() != UpdateState::Aborted) QThread::msleep(1);
    }

    std::vector<Shown> shown;
    std::vector<QString> relaunched;
    int closeRequests = 0;
    int answer = IDYES;
};

TEST_F(ProgressDialogTest, OpensLaidOutClosesTheMainProgramAndAnimates) {
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n d"),
                          kVersion, Options(WaitForAbort));
    dialog.show();
    EXPECT_EQ(dialog.size(), QSize(600, 240));
    EXPECT_EQ(dialog.windowTitle(), UpdaterText(UpdaterString::kTitle));
    EXPECT_EQ(dialog.Button(UpdaterControl::kCancel)->geometry(), QRect(452, 178, 112, 36));
    EXPECT_EQ(dialog.Button(UpdaterControl::kCancel)->text(), UpdaterText(UpdaterString::kCancel));
    EXPECT_EQ(dialog.Button(UpdaterControl::kMinimise)->geometry(), QRect(500, 7, 40, 20));
    EXPECT_EQ(dialog.Button(UpdaterControl::kClose)->geometry(), QRect(550, 7, 40, 20));
    EXPECT_EQ(closeRequests, 1);
    EXPECT_TRUE(dialog.WorkerRunning());
    EXPECT_EQ(GetUpdateState(), UpdateState::Running);
    ASSERT_NE(dialog.Movie(), nullptr);
    EXPECT_GE(dialog.Movie()->frameCount(), 2);
    EXPECT_EQ(dialog.Movie()->state(), QMovie::Running);
    EXPECT_EQ(dialog.Animation()->pos(), QPoint(40, 40));
    EXPECT_EQ(dialog.Animation()->size(), QSize(345, 70));
    // The texts are drawn over the background: the title band changes.
    const QImage painted = dialog.grab().toImage();
    const QImage background = dialog.BackgroundCache();
    bool differs = false;
    for (int x = 5; x < 300 && !differs; ++x) {
        for (int y = 2; y < 34 && !differs; ++y)
            differs = painted.pixel(x, y) != background.pixel(x, y);
    }
    EXPECT_TRUE(differs);
    dialog.Cancel();
}

TEST_F(ProgressDialogTest, EnterChangesNothingAndEscapeCancelsSilently) {
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options(WaitForAbort));
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.WorkerRunning());
    EXPECT_EQ(GetUpdateState(), UpdateState::Running);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.WorkerRunning());  // waited for
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_EQ(GetUpdateState(), UpdateState::Aborted);
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(relaunched.empty());
}

TEST_F(ProgressDialogTest, MinimiseKeepsWorkingAndCloseButtonCancels) {
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options(WaitForAbort));
    dialog.show();
    dialog.Button(UpdaterControl::kMinimise)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(dialog.WorkerRunning());
    EXPECT_EQ(GetUpdateState(), UpdateState::Running);

    dialog.Button(UpdaterControl::kClose)->click();
    EXPECT_FALSE(dialog.WorkerRunning());
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_TRUE(shown.empty());
}

TEST_F(ProgressDialogTest, SuccessOffersTheRelaunchFromTheInstallFolder) {
    const auto succeed = [](const UpdateJob& job, UpdateWorkerHost& host) {
        EXPECT_EQ(job.link, QStringLiteral("https://h/Norvale.zip"));
        EXPECT_EQ(job.installFolder, QStringLiteral("/opt/n d"));
        SetUpdateState(UpdateState::Succeeded);
        host.PostUpdateDone();
    };
    {
        CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n d"),
                              kVersion, Options(succeed));
        dialog.exec();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, UpdaterText(UpdaterString::kLaunchQuestion));
        EXPECT_EQ(shown[0].buttons, BTN_YES | BTN_NO);
        EXPECT_EQ(shown[0].owner, &dialog);
        ASSERT_EQ(relaunched.size(), 1u);
        EXPECT_EQ(relaunched[0], QStringLiteral("/opt/n d/current/norvale-discovery"));
    }
    answer = IDNO;
    CAutoUpdateDlg declined(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n d"),
                            kVersion, Options(succeed));
    declined.exec();
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(relaunched.size(), 1u);
}

TEST_F(ProgressDialogTest, FailureReportsTheNetworkText) {
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options([](const UpdateJob&, UpdateWorkerHost& host) {
                              SetUpdateState(UpdateState::Failed);
                              host.PostUpdateDone();
                          }));
    dialog.exec();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, UpdaterText(UpdaterString::kNetworkError));
    EXPECT_EQ(shown[0].buttons, BTN_OK);
    EXPECT_TRUE(relaunched.empty());
}

TEST_F(ProgressDialogTest, CopyFailureIsShownForTheWorkerThenNothingMore) {
    std::atomic<bool> waited{false};
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options([&](const UpdateJob&, UpdateWorkerHost& host) {
                              host.ShowCopyFailure();
                              waited = true;
                              SetUpdateState(UpdateState::Aborted);
                              host.PostUpdateDone();
                          }));
    dialog.exec();
    EXPECT_TRUE(waited);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, UpdaterText(UpdaterString::kCopyFailed));
    EXPECT_EQ(shown[0].buttons, BTN_OK);
    EXPECT_EQ(shown[0].owner, &dialog);
    EXPECT_TRUE(shown[0].onInterfaceThread);
    EXPECT_TRUE(relaunched.empty());
}

TEST_F(ProgressDialogTest, CancelWhileTheWorkerWaitsForItsBoxDoesNotHang) {
    std::atomic<bool> inBox{false};
    UpdaterOptions options = Options([&](const UpdateJob&, UpdateWorkerHost& host) {
        inBox = true;
        host.ShowCopyFailure();
        SetUpdateState(UpdateState::Aborted);
        host.PostUpdateDone();
    });
    options.progressOpened = [&](QWidget* opened) {
        // The worker has asked for its box; this thread cancels before
        // showing it.
        while (!inBox) QThread::msleep(1);
        QThread::msleep(50);
        static_cast<CAutoUpdateDlg*>(opened)->Cancel();
    };
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, std::move(options));
    dialog.show();
    EXPECT_FALSE(dialog.WorkerRunning());
    EXPECT_EQ(dialog.result(), IDCANCEL);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.empty());  // neither the late box nor the late completion
}

TEST_F(ProgressDialogTest, CompletionPostedAfterCancelIsNotActedOn) {
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options([](const UpdateJob&, UpdateWorkerHost& host) {
                              while (GetUpdateState() != UpdateState::Aborted) QThread::msleep(1);
                              host.PostUpdateDone();
                          }));
    dialog.show();
    dialog.Button(UpdaterControl::kCancel)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(dialog.result(), IDCANCEL);
}

TEST_F(ProgressDialogTest, CancelOnceTheWorkerSwitchedReportsTheUpdateAsDone) {
    std::atomic<bool> switching{false};
    UpdaterOptions options = Options([&](const UpdateJob&, UpdateWorkerHost& host) {
        ASSERT_TRUE(ChangeUpdateState(UpdateState::Running, UpdateState::Switching));
        switching = true;
        QThread::msleep(100);  // the cancel arrives while the switch runs
        ChangeUpdateState(UpdateState::Switching, UpdateState::Succeeded);
        host.PostUpdateDone();
    });
    options.progressOpened = [&](QWidget* opened) {
        while (!switching) QThread::msleep(1);
        static_cast<CAutoUpdateDlg*>(opened)->Cancel();
    };
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, std::move(options));
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog.WorkerRunning());
    EXPECT_EQ(GetUpdateState(), UpdateState::Succeeded);
    ASSERT_EQ(shown.size(), 1u) << "the late completion is not reported twice";
    EXPECT_EQ(shown[0].text, UpdaterText(UpdaterString::kLaunchQuestion));
    EXPECT_EQ(relaunched, std::vector<QString>{QStringLiteral("/opt/n/current/norvale-discovery")});
}

TEST_F(ProgressDialogTest, CloseRequestOfTheUpdaterCancels) {
    const QString name =
        QStringLiteral("Norvale test updater %1").arg(QCoreApplication::applicationPid());
    common::SingleInstance instance(name);
    ASSERT_TRUE(instance.TryBecomeFirst());
    CAutoUpdateDlg dialog(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                          kVersion, Options(WaitForAbort));
    QObject::connect(&instance, &common::SingleInstance::closeRequested, &dialog,
                     &CAutoUpdateDlg::Cancel);
    dialog.show();
    std::atomic<bool> reached{false};
    std::atomic<bool> finished{false};
    std::thread asker([&] {
        reached = common::AskToClose(name, 5000);
        finished = true;
    });
    while (!finished) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    asker.join();
    EXPECT_TRUE(reached);
    EXPECT_FALSE(dialog.WorkerRunning());
    EXPECT_EQ(dialog.result(), IDCANCEL);
}

// Runs AskProxyLogin on `thread` (or here) and drives the dialog with act.
std::optional<ProxyCredentials> LoginWith(const std::function<void(CProxyLoginDlg*)>& act,
                                          bool fromWorker) {
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<CProxyLoginDlg*>(QApplication::activeModalWidget())) {
            driver.stop();
            act(dialog);
        }
    });
    driver.start(5);
    if (!fromWorker) return AskProxyLogin();
    std::optional<ProxyCredentials> result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = AskProxyLogin();
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return result;
}

TEST(ProxyLogin, TypedLoginComesBackAndCancelGivesNone) {
    const auto typeAndPress = [](CProxyLoginDlg* dialog) {
        QTest::keyClicks(dialog->UserField(), QStringLiteral("alice"));
        QTest::keyClicks(dialog->PasswordField(), QStringLiteral("s3cret"));
        EXPECT_EQ(dialog->PasswordField()->echoMode(), QLineEdit::Password);
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    };
    for (bool fromWorker : {false, true}) {
        const std::optional<ProxyCredentials> login = LoginWith(typeAndPress, fromWorker);
        ASSERT_TRUE(login) << fromWorker;
        EXPECT_EQ(login->user, QStringLiteral("alice"));
        EXPECT_EQ(login->password, QStringLiteral("s3cret"));
    }
    EXPECT_FALSE(LoginWith(
        [](CProxyLoginDlg* dialog) { QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton); },
        false));
    EXPECT_FALSE(
        LoginWith([](CProxyLoginDlg* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, true));
    const std::optional<ProxyCredentials> entered = LoginWith(
        [](CProxyLoginDlg* dialog) {
            QTest::keyClicks(dialog->UserField(), QStringLiteral("bob"));
            QTest::keyClick(dialog->UserField(), Qt::Key_Return);
        },
        false);
    ASSERT_TRUE(entered);
    EXPECT_EQ(entered->user, QStringLiteral("bob"));
}

TEST(UpdaterStartUp, NoWindowAtAllWhenTheServerCannotBeReached) {
    // An installation the check would update.
    QTemporaryDir root;
    QDir(root.path()).mkdir(QStringLiteral("1.2.2026.341"));
    QFile::link(QStringLiteral("1.2.2026.341"), root.filePath(QStringLiteral("current")));
    qputenv("NORVALE_UPDATE_SERVER", "https://127.0.0.1:1");
    int messages = 0;
    int dialogs = 0;
    UpdaterOptions options;
    options.showMessage = [&](const QString&, const QString&, QWidget*, int) {
        ++messages;
        return IDYES;
    };
    options.progressOpened = [&](QWidget*) { ++dialogs; };
    CAutoUpdateApp updater(std::move(options));
    EXPECT_EQ(updater.InitInstance(QStringLiteral("VER:1.20.2026.341 DIR:") + root.path()), 0);
    EXPECT_EQ(updater.LastOutcome(), CAutoUpdateApp::Outcome::NoUpdate);
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(dialogs, 0);
    for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
    qunsetenv("NORVALE_UPDATE_SERVER");
}

}  // namespace
}  // namespace norvale::updater
