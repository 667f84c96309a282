#include "common/PrivateTempFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <cstdlib>

namespace norvale::common {
namespace {

QString SharedTempBase() {
    const QString tmp = qEnvironmentVariable("TMPDIR");
    if (tmp.startsWith(QLatin1Char('/'))) return tmp;
    return QStringLiteral("/tmp");
}

// Creates `path` with mode 0700 unless something of that name exists, then
// checks whatever is there.
bool EnsurePrivateFolder(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    if (::mkdir(local.constData(), 0700) != 0 && errno != EEXIST) return false;
    return IsPrivateFolder(path);
}

std::optional<QString> FreshFolderIn(const QString& base) {
    QByteArray pattern = QFile::encodeName(base + QLatin1String("/norvale-discovery-XXXXXX"));
    if (!::mkdtemp(pattern.data())) return std::nullopt;
    const QString made = QFile::decodeName(pattern);
    if (!IsPrivateFolder(made)) return std::nullopt;
    return made;
}

}  // namespace

bool IsPrivateFolder(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    ::close(fd);
    return statted && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::optional<QString> PrivateTempFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')) && IsPrivateFolder(runtime)) {
        const QString folder = runtime + QLatin1String("/norvale-discovery");
        if (EnsurePrivateFolder(folder)) return folder;
    }
    const QString base = SharedTempBase();
    const QString folder =
        base + QLatin1String("/norvale-discovery-") + QString::number(::geteuid());
    if (EnsurePrivateFolder(folder)) return folder;
    return FreshFolderIn(base);
}

}  // namespace norvale::common
