#include "app/UpdaterLauncher.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include "common/FileWriting.h"
#include "common/InstallRoot.h"
#include "common/PrivateTempFolder.h"
#include "common/UpdaterCommandLine.h"

namespace norvale::app {
namespace {

constexpr char kUpdaterFile[] = "norvale-autoupdate";

}  // namespace

int LaunchUpdater(const UpdaterLaunchOptions& options) {
    const std::optional<QString> root = common::InstallRootOf(
        options.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                        : options.programFolder);
    if (!root || !common::CanUpdateInstallation(*root)) return 0;
    QFile resource(options.source);
    if (!resource.open(QIODevice::ReadOnly)) return 0;
    const QByteArray bytes = resource.readAll();
    if (bytes.isEmpty()) return 0;

    QString folder = options.folder;
    if (folder.isEmpty()) {
        const std::optional<QString> privateFolder = common::PrivateTempFolder();
        if (!privateFolder) return 0;
        folder = *privateFolder;
    }
    // Another user must not be able to swap the file before it runs.
    if (!common::IsPrivateFolder(folder)) return 0;
    const QString program = QDir(folder).filePath(QString::fromLatin1(kUpdaterFile));
    if (!common::ReplaceFile(QFile::encodeName(program).constData(), bytes.constData(),
                             static_cast<std::size_t>(bytes.size()), S_IRWXU))
        return 0;

    const QStringList arguments{common::UpdaterCommandLineText(options.version, *root)};
    if (options.start) {
        options.start(program, arguments);
    } else if (!QProcess::startDetached(program, arguments)) {
        return 0;  // the updater could not be started: nothing to report
    }
    return 1;
}

}  // namespace norvale::app
