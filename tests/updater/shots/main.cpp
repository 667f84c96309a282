// updater-shots OUTDIR [LOCALE]
//
// Saves the updater's progress dialog, rendered offscreen, at two moments of
// a real update (a signed 5 MB release from a private nginx on loopback that
// sends 1 MB a second, installed into a scratch installation):
//   update-progress.png             halfway through the download
//   update-progress-installing.png  while the files are copied
// LOCALE (de_DE, ja_JP, ...) picks the texts' language. Run it inside the
// loopback-only network namespace.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "common/LanguageChoice.h"
#include "skin/CLuProgressBar.h"
#include "skin/CLuStatic.h"
#include "tests/support/PrivateRuntimeDir.h"
#include "tests/updater/ServedRelease.h"
#include "updater/CAutoUpdateDlg.h"
#include "updater/UpdateProgress.h"
#include "updater/UpdaterLanguage.h"

namespace {

using norvale::updater::CAutoUpdateDlg;
using norvale::updater::Progress;
using Phase = norvale::updater::UpdateProgress::Phase;

// Saves the dialog once `ready` holds, then stops watching.
class Moment {
  public:
    Moment(QString path, std::function<bool(const CAutoUpdateDlg&)> ready)
        : path_(std::move(path)), ready_(std::move(ready)) {}
    void Check(CAutoUpdateDlg& dialog) {
        if (saved_ || !ready_(dialog)) return;
        saved_ = dialog.grab().save(path_);
        std::printf("%s %s\n", saved_ ? "wrote" : "could not write", qPrintable(path_));
    }
    bool Saved() const { return saved_; }

  private:
    QString path_;
    std::function<bool(const CAutoUpdateDlg&)> ready_;
    bool saved_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: updater-shots OUTDIR [LOCALE]\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    norvale::test::PrivateRuntimeDir runtime;
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    if (argc > 2) {
        norvale::updater::SetLanguageBase(
            norvale::common::ChooseTranslation(QLocale(QString::fromLocal8Bit(argv[2])))
                .updaterTextBlock);
    }

    norvale::updater::test::ServedRelease release(5, 1'000'000, 1'000'000);
    if (!release.Serving()) {
        std::fputs("updater-shots: the private web server did not start\n", stderr);
        return 1;
    }
    Moment halfway(out.filePath("update-progress.png"), [](const CAutoUpdateDlg& dialog) {
        return Progress().phase == Phase::Downloading && dialog.ProgressBar()->value() >= 500;
    });
    Moment installing(
        out.filePath("update-progress-installing.png"), [](const CAutoUpdateDlg& dialog) {
            return dialog.ProgressText()->Text() ==
                       norvale::updater::UpdaterText(UpdaterString::kInstalling) &&
                   dialog.ProgressBar()->isVisible() && dialog.ProgressBar()->value() > 0;
        });
    norvale::updater::UpdaterOptions options = release.Options();
    // Copying takes a moment per file, as on a slow disk.
    options.installHook = [](norvale::updater::InstallStep step) {
        if (step == norvale::updater::InstallStep::FileDone) QThread::msleep(250);
        return true;
    };
    QTimer watch;
    options.progressOpened = [&](QWidget* opened) {
        auto* dialog = static_cast<CAutoUpdateDlg*>(opened);
        QObject::connect(&watch, &QTimer::timeout, [&, dialog] {
            halfway.Check(*dialog);
            installing.Check(*dialog);
        });
        watch.start(20);
    };
    CAutoUpdateDlg dialog(release.Link(), release.InstallFolder(),
                          QStringLiteral("VER:1.20.2026.341"), std::move(options));
    dialog.exec();
    return halfway.Saved() && installing.Saved() ? 0 : 1;
}
