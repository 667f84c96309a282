#include "app/UpdaterLauncher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include "app/InstallRoot.h"
#include "updater/PrivateTempFolder.h"

namespace norvale::app {
namespace {

constexpr char kUpdaterFile[] = "norvale-autoupdate";

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        left -= written;
    }
    return true;
}

// Writes bytes to folder/name with mode 0700 through a fresh temporary file
// renamed into place; nothing is left behind on failure.
bool WriteExecutable(const QString& folder, const QString& name, const QByteArray& bytes) {
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(name + QStringLiteral(".XXXXXX")));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, S_IRWXU) == 0 && WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    const QByteArray target = QFile::encodeName(QDir(folder).filePath(name));
    if (!written || !closed || ::rename(pattern.constData(), target.constData()) != 0) {
        ::unlink(pattern.constData());
        return false;
    }
    return true;
}

}  // namespace

QString UpdaterCommandLineText(const ProductVersion& version, const QString& installFolder) {
    return QString::asprintf("VER:%d.%d0.%04d.%03d DIR:", version.major, version.minor,
                             version.patch, version.build) +
           installFolder;
}

int LaunchUpdater(const UpdaterLaunchOptions& options) {
    const std::optional<QString> root =
        InstallRootOf(options.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                      : options.programFolder);
    if (!root || !CanUpdateInstallation(*root)) return 0;
    QFile resource(options.source);
    if (!resource.open(QIODevice::ReadOnly)) return 0;
    const QByteArray bytes = resource.readAll();
    if (bytes.isEmpty()) return 0;

    QString folder = options.folder;
    if (folder.isEmpty()) {
        const std::optional<QString> privateFolder = updater::PrivateTempFolder();
        if (!privateFolder) return 0;
        folder = *privateFolder;
    }
    // Another user must not be able to swap the file before it runs.
    if (!updater::IsPrivateFolder(folder)) return 0;
    if (!WriteExecutable(folder, QString::fromLatin1(kUpdaterFile), bytes)) return 0;

    const QString program = QDir(folder).filePath(QString::fromLatin1(kUpdaterFile));
    const QStringList arguments{UpdaterCommandLineText(options.version, *root)};
    if (options.start) {
        options.start(program, arguments);
    } else if (!QProcess::startDetached(program, arguments)) {
        return 0;  // the updater could not be started: nothing to report
    }
    return 1;
}

}  // namespace norvale::app
