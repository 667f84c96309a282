#include "common/InstallRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace norvale::common {

std::optional<QString> InstallRootOf(const QString& programFolder) {
    const QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty()) return std::nullopt;
    const QString root = QFileInfo(folder).path();
    const QFileInfo current(QDir(root).filePath(QString::fromLatin1(kCurrentReleaseLink)));
    if (!current.isSymLink() || current.canonicalFilePath() != folder) return std::nullopt;
    return root;
}

bool CanUpdateInstallation(const QString& root) {
    const int fd = ::open(QFile::encodeName(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool writable = CanUpdateInstallation(fd);
    ::close(fd);
    return writable;
}

bool CanUpdateInstallation(int rootFd) {
    struct stat info {};
    return ::fstat(rootFd, &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 0222) != 0 &&
           ::faccessat(rootFd, ".", W_OK, AT_EACCESS) == 0;
}

}  // namespace norvale::common
