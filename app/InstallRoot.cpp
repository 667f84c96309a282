#include "app/InstallRoot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace norvale::app {

std::optional<QString> InstallRootOf(const QString& programFolder) {
    const QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty()) return std::nullopt;
    const QString root = QFileInfo(folder).path();
    const QFileInfo current(QDir(root).filePath(QStringLiteral("current")));
    if (!current.isSymLink() || current.canonicalFilePath() != folder) return std::nullopt;
    return root;
}

bool CanUpdateInstallation(const QString& root) {
    const QByteArray path = QFile::encodeName(root);
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           (info.st_mode & 0222) != 0 && ::access(path.constData(), W_OK) == 0;
}

}  // namespace norvale::app
