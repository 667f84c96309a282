#include "drives/DriveFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "drives/ShareNames.h"

namespace drives {

namespace {

// A GVfs FUSE folder sits directly in a folder named "gvfs".
bool ReadOwnTarget(const QString& target, QString* server, QString* share) {
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) return false;
    const QString parent = target.left(slash);
    if (!parent.endsWith(QLatin1String("/gvfs"))) return false;
    return ParseGvfsShareFolder(target.mid(slash + 1), server, share);
}

}  // namespace

DriveFolder::DriveFolder() {
    const QString fromEnv = qEnvironmentVariable("NORVALE_DRIVES_DIR");
    path_ = fromEnv.isEmpty() ? QDir::homePath() + QStringLiteral("/Network Drives") : fromEnv;
}

DriveFolder::DriveFolder(QString path) : path_(std::move(path)) {}

char16_t DriveFolder::LetterOf(const QString& driveName) {
    if (driveName.size() != 2 || driveName.at(1) != QLatin1Char(':')) return 0;
    const char16_t letter = driveName.at(0).toUpper().unicode();
    return letter >= u'A' && letter <= u'Z' ? letter : 0;
}

QString DriveFolder::EntryPath(char16_t letter) const {
    return path_ + QLatin1Char('/') + QChar(letter) + QLatin1Char(':');
}

DriveEntry DriveFolder::Read(char16_t letter) const {
    DriveEntry entry;
    const QByteArray path = QFile::encodeName(EntryPath(letter));
    struct stat info {};
    if (lstat(path.constData(), &info) != 0) return entry;
    entry.kind = DriveEntry::kOther;
    if (!S_ISLNK(info.st_mode)) return entry;
    char buffer[4096];
    const ssize_t n = readlink(path.constData(), buffer, sizeof buffer - 1);
    if (n <= 0) return entry;
    const QString target = QFile::decodeName(QByteArray(buffer, n));
    if (!ReadOwnTarget(target, &entry.server, &entry.share)) return entry;
    entry.kind = DriveEntry::kOurLink;
    entry.target = target;
    struct stat targetInfo {};
    entry.mounted = stat(path.constData(), &targetInfo) == 0 && S_ISDIR(targetInfo.st_mode);
    return entry;
}

bool DriveFolder::MakeLink(char16_t letter, const QString& target) const {
    const DriveEntry existing = Read(letter);
    if (existing.kind == DriveEntry::kOther) {
        errno = EEXIST;
        return false;
    }
    if (!QDir().mkpath(path_)) return false;
    if (existing.kind == DriveEntry::kNone) chmod(QFile::encodeName(path_).constData(), 0700);
    // A new link under a temporary name, then renamed over the old one, so
    // that the letter never disappears in between.
    const QByteArray entry = QFile::encodeName(EntryPath(letter));
    const QByteArray temporary = entry + ".new";
    unlink(temporary.constData());
    if (symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0) return false;
    if (rename(temporary.constData(), entry.constData()) != 0) {
        const int saved = errno;
        unlink(temporary.constData());
        errno = saved;
        return false;
    }
    return true;
}

bool DriveFolder::RemoveLink(char16_t letter) const {
    if (Read(letter).kind != DriveEntry::kOurLink) return false;
    return unlink(QFile::encodeName(EntryPath(letter)).constData()) == 0;
}

int DriveFolder::CountLinksTo(const QString& target) const {
    int count = 0;
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        const DriveEntry entry = Read(letter);
        if (entry.kind == DriveEntry::kOurLink && entry.target == target) ++count;
    }
    return count;
}

}  // namespace drives
