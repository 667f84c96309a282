#include "updater/UpdaterApp.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "common/LanguageChoice.h"
#include "common/SingleInstance.h"
#include "common/UpdaterCommandLine.h"
#include "resources/UpdaterStringIds.h"
#include "skin/CLuMessageBox.h"
#include "skin/SkinFonts.h"
#include "updater/CAutoUpdateDlg.h"
#include "updater/CProxyLoginDlg.h"
#include "updater/UpdateClient.h"
#include "updater/UpdaterLanguage.h"
#include "updater/UpdaterSkin.h"
#include "updater/VersionedInstall.h"

namespace norvale::updater {
namespace {

// The invisible owner of the first question: a tool window (no taskbar
// entry) that is never shown, laid over the screen so that a box centred on
// it is centred on the screen.
std::unique_ptr<QWidget> MakeHiddenOwner() {
    auto owner = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    owner->setAttribute(Qt::WA_DontShowOnScreen);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        owner->setGeometry(screen->availableGeometry());
    }
    return owner;
}

}  // namespace

bool UsableInstallFolder(const QString& folder) {
    const std::optional<VersionedInstall> install =
        VersionedInstall::Open(QFile::encodeName(folder).toStdString());
    return install && install->IsWritable();
}

CAutoUpdateApp::CAutoUpdateApp(UpdaterOptions options) : options_(std::move(options)) {}

int CAutoUpdateApp::InitInstance(const QString& commandLine) {
    SetLanguageBase(common::ChooseTranslation().updaterTextBlock);
    EnsureSkinFonts();
    ApplyUpdaterMessageBoxSkin();
    const common::UpdaterCommandLine line = common::ParseUpdaterCommandLine(commandLine);

    // One updater at a time: a second one ends at once. The first takes a
    // main program's close request while it runs.
    common::SingleInstance instance(QString::fromLatin1(common::kUpdaterInstance));
    if (!instance.TryBecomeFirst()) {
        outcome_ = Outcome::AlreadyRunning;
        return 0;
    }
    // An installation this user cannot change (a package, or one made by
    // another user) is never offered an update: no question, no closing.
    if (!line.installFolder || !UsableInstallFolder(*line.installFolder)) {
        outcome_ = Outcome::NoInstallFolder;
        return 0;
    }

    const std::unique_ptr<QWidget> owner = MakeHiddenOwner();
    SetProxyLoginHook(options_.proxyLogin ? options_.proxyLogin : ProxyLoginHook(AskProxyLogin));
    QString link;
    const bool found = FindUpgradeLink(line.versionToken, &link);
    SetProxyLoginHook(nullptr);
    if (!found) {
        outcome_ = Outcome::NoUpdate;
        return 0;
    }
    if (AskFirstQuestion(owner.get()) == IDNO) {
        outcome_ = Outcome::Declined;
        return 0;
    }
    outcome_ = Outcome::DialogRan;
    CAutoUpdateDlg dialog(link, *line.installFolder, line.versionToken, options_);
    QObject::connect(&instance, &common::SingleInstance::closeRequested, &dialog,
                     &CAutoUpdateDlg::Cancel);
    dialog.exec();
    return 0;
}

int CAutoUpdateApp::AskFirstQuestion(QWidget* owner) {
    const QString text = UpdaterText(UpdaterString::kNewerVersion);
    const QString caption = UpdaterText(UpdaterString::kTitle);
    if (options_.showMessage) return options_.showMessage(text, caption, owner, BTN_YES | BTN_NO);
    return ShowSkinMessageBox(text, caption, owner, BTN_YES | BTN_NO);
}

}  // namespace norvale::updater
