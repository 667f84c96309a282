// The updater without a mouse: its first question answered from the
// keyboard, Tab through the progress dialog and the proxy login, and the
// names assistive technology reads for their buttons.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include "skin/CLuButton.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuStatic.h"
#include "tests/support/KeyboardDriver.h"
#include "tests/updater/UpdaterTestServer.h"
#include "updater/CAutoUpdateDlg.h"
#include "updater/CProxyLoginDlg.h"
#include "updater/UpdateState.h"
#include "updater/UpdateWorker.h"
#include "updater/UpdaterApp.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {
namespace {

using test::Press;

// "A newer version ... Do you want to continue?" opens on Yes: Enter says
// Yes; Tab then Space says No; Escape does nothing.
TEST(UpdaterKeyboard, TheNewerVersionQuestionIsAnsweredYesAndNoFromTheKeyboard) {
    testing::TlsServer server;
    ASSERT_TRUE(server.Listening());
    server.PutListPage(QStringLiteral("Norvale.zip"));
    qputenv("NORVALE_UPDATE_SERVER", server.Base().toUtf8());
    qputenv("CURL_CA_BUNDLE", QFile::encodeName(server.CertificatePath()));
    // An installation the check would update.
    QTemporaryDir root;
    QDir(root.path()).mkdir(QStringLiteral("1.2.2026.341"));
    QFile::link(QStringLiteral("1.2.2026.341"), root.filePath(QStringLiteral("current")));
    const struct {
        std::vector<Qt::Key> keys;
        CAutoUpdateApp::Outcome outcome;
    } answers[] = {{{Qt::Key_Tab, Qt::Key_Space}, CAutoUpdateApp::Outcome::Declined},
                   {{Qt::Key_Return}, CAutoUpdateApp::Outcome::DialogRan}};
    for (const auto& answer : answers) {
        UpdaterOptions options;
        options.closeMainProgram = [] {};
        options.worker = [](const UpdateJob&, UpdateWorkerHost& host) {
            SetUpdateState(UpdateState::Aborted);  // ends without a word
            host.PostUpdateDone();
        };
        bool asked = false;
        test::WhenModal<CLuMessageBox>([&](CLuMessageBox* box) {
            asked = true;
            EXPECT_EQ(box->TextStatic()->Text(), UpdaterText(kNewerVersionText));
            EXPECT_EQ(QApplication::focusWidget(), box->Button(CLuMessageBox::kYes));
            Press(Qt::Key_Escape);
            EXPECT_TRUE(box->isVisible());
            for (Qt::Key key : answer.keys) Press(key);
        });
        CAutoUpdateApp updater(std::move(options));
        updater.InitInstance(QStringLiteral("VER:1.20.2026.341 DIR:") + root.path());
        EXPECT_TRUE(asked);
        EXPECT_EQ(updater.LastOutcome(), answer.outcome);
    }
    qunsetenv("NORVALE_UPDATE_SERVER");
    qunsetenv("CURL_CA_BUNDLE");
}

void WaitForAbort(const UpdateJob&, UpdateWorkerHost&) {
    while (GetUpdateState() != UpdateState::Aborted) QThread::msleep(1);
}

// The progress dialog opens on itself, so Enter does nothing until Tab
// reaches a button; Space then presses the focused one.
TEST(UpdaterKeyboard, TabVisitsTheProgressDialogAndTheProxyLoginInOrder) {
    UpdaterOptions options;
    options.worker = WaitForAbort;
    options.closeMainProgram = [] {};
    CAutoUpdateDlg progress(QStringLiteral("https://h/Norvale.zip"), QStringLiteral("/opt/n"),
                            QStringLiteral("VER:1.20.2026.341"), std::move(options));
    ASSERT_TRUE(test::ShowActive(&progress));
    EXPECT_EQ(QApplication::focusWidget(), &progress);
    Press(Qt::Key_Return);
    EXPECT_TRUE(progress.WorkerRunning());
    CLuButton* cancel = progress.Button(CAutoUpdateDlg::kCancelId);
    CLuButton* minimise = progress.Button(CAutoUpdateDlg::kMinimiseId);
    CLuButton* close = progress.Button(CAutoUpdateDlg::kCloseId);
    EXPECT_EQ(test::FocusWalk(Qt::Key_Tab, 4),
              (std::vector<QWidget*>{cancel, minimise, close, cancel}));
    EXPECT_EQ(test::FocusWalk(Qt::Key_Backtab, 1), std::vector<QWidget*>{close});
    for (auto [button, name] : {std::pair{cancel, "Cancel"}, std::pair{minimise, "Minimize"},
                                std::pair{close, "Close"}}) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name),
                  QString::fromLatin1(name));
    }
    Press(Qt::Key_Space);  // the close button
    EXPECT_FALSE(progress.WorkerRunning());
    EXPECT_EQ(progress.result(), IDCANCEL);

    CProxyLoginDlg login;
    ASSERT_TRUE(test::ShowActive(&login));
    EXPECT_EQ(QApplication::focusWidget(), login.UserField());
    EXPECT_EQ(test::FocusWalk(Qt::Key_Tab, 4),
              (std::vector<QWidget*>{login.PasswordField(), login.OkButton(), login.CancelButton(),
                                     login.UserField()}));
    EXPECT_EQ(test::FocusWalk(Qt::Key_Backtab, 1), std::vector<QWidget*>{login.CancelButton()});
    Press(Qt::Key_Return);  // Cancel, not the dialog's OK
    EXPECT_EQ(login.result(), QDialog::Rejected);
    EXPECT_FALSE(login.isVisible());
}

}  // namespace
}  // namespace norvale::updater
