#include "app/CLuDiscoverApp.h"

#include <QDir>
#include <QEventLoop>
#include <QTextStream>

#include "app/CLuDiscoverDlg.h"
#include "app/DemoNetwork.h"
#include "app/DemoShares.h"
#include "app/DiscoveryHostLink.h"
#include "app/UpdaterLauncher.h"
#include "common/LanguageChoice.h"
#include "common/SingleInstance.h"
#include "drives/CredentialsDialog.h"
#include "drives/DriveWatcher.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ResponsiveSharePlatform.h"
#include "skin/SkinFonts.h"
#include "upnp/stack/LocalAddresses.h"

namespace norvale::app {

bool CLuDiscoverApp::LoadLanguage(const QString& folder, const QLocale& locale) {
    const char* file = common::ChooseTranslation(locale).moduleFile;
    if (!file) return false;
    // A missing or broken file leaves the program in English, silently.
    return language_.Load(QDir(folder).filePath(QString::fromLatin1(file)));
}

int CLuDiscoverApp::InitInstance(const CommandLine& line) {
    LoadLanguage(LanguageModule::Directory());

    common::SingleInstance instance(QString::fromLatin1(common::kMainProgramInstance));
    if (!instance.TryBecomeFirst()) return 0;  // the first copy came to the front

    EnsureSkinFonts();
    common::AskToClose(QString::fromLatin1(common::kUpdaterInstance));

    std::unique_ptr<DemoNetwork> demo;
    std::unique_ptr<DemoShares> demoShares;
    if (line.demo) {
        demo = std::make_unique<DemoNetwork>();
        if (!demo->Start()) {
            QTextStream(stderr) << "norvale-discovery: " << demo->Error() << Qt::endl;
            return 1;
        }
        // Without the shares the demo still runs; the share buttons then
        // report the devices unreachable.
        demoShares = std::make_unique<DemoShares>();
        if (!demoShares->Start()) {
            QTextStream(stderr) << "norvale-discovery: the demo devices have no shares: "
                                << demoShares->Error() << Qt::endl;
        }
    } else if (!line.interfaces.empty()) {
        stack::SetInterfaceAllowList(line.interfaces);
    }

    // The system's file sharing; its calls that talk to a server run off
    // the interface thread, credential questions come back to it.
    drives::CredentialsDialogPrompt dialogPrompt;
    drives::UiThreadCourier courier;
    drives::UiThreadPrompt prompt(dialogPrompt, courier);
    drives::LinuxSharePlatform linuxShares(drives::DriveFolder(), prompt.Prompt());
    drives::DriveWatcher driveWatcher(linuxShares.Folder());

    DiscoverDlgOptions options;
    options.linkFactory = DiscoveryHostLink::Factory();
    options.language = &language_;
    options.sharePlatform =
        std::make_shared<drives::ResponsiveSharePlatform>(linuxShares, &courier);
    options.driveFolder = [folder = linuxShares.Folder()](const QString& driveName) {
        const char16_t letter = drives::DriveFolder::LetterOf(driveName);
        return letter ? folder.EntryPath(letter) : QString();
    };
    {
        CLuDiscoverDlg window(std::move(options));
        QObject::connect(&driveWatcher, &drives::DriveWatcher::driveEvent, &window,
                         &CLuDiscoverDlg::OnDriveEvent);
        QObject::connect(&instance, &common::SingleInstance::raiseRequested, &window,
                         [&window] { common::SingleInstance::RaiseWindow(&window); });
        // The updater closes the window as its user would (the close button).
        QObject::connect(&instance, &common::SingleInstance::closeRequested, &window,
                         &CLuDiscoverDlg::CloseWindow);
        // Five seconds after start-up the updater looks for a newer version
        // (in a build with self-update).
        if constexpr (NORVALE_SELF_UPDATE) {
            QObject::connect(&window, &CLuDiscoverDlg::startupTimerFired, &window,
                             [] { LaunchUpdater(); });
        }
        // Not exec(): an application-modal window would block the help window.
        QEventLoop loop;
        QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
        window.show();
        loop.exec();
    }
    language_.Unload();
    return 0;
}

}  // namespace norvale::app
