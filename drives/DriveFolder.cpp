#include "drives/DriveFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

#include "drives/ShareNames.h"

namespace drives {

namespace {

constexpr int kTemporaryAttempts = 16;

// A GVfs FUSE folder sits directly in a folder named "gvfs".
bool ReadOwnTarget(const QString& target, QString* server, QString* share) {
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) return false;
    const QString parent = target.left(slash);
    if (!parent.endsWith(QLatin1String("/gvfs"))) return false;
    return ParseGvfsShareFolder(target.mid(slash + 1), server, share);
}

// The entry at path, without following it.
DriveEntry ReadEntry(const QByteArray& path) {
    DriveEntry entry;
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
    return entry;
}

// A fresh name beside the letters that nothing holds yet ("<folder>/.Z:.1f3a9c").
QByteArray TemporaryName(const QString& folder, char16_t letter) {
    const QString random = QString::number(QRandomGenerator::system()->generate64(), 36);
    return QFile::encodeName(folder + QStringLiteral("/.") + QChar(letter) + QStringLiteral(":.") +
                             random);
}

// A new link to target under a fresh temporary name; empty with errno set
// when none can be made. symlink() never replaces what a name holds.
QByteArray MakeTemporaryLink(const QString& folder, char16_t letter, const QByteArray& target) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const QByteArray name = TemporaryName(folder, letter);
        if (symlink(target.constData(), name.constData()) == 0) return name;
        if (errno != EEXIST) return {};
    }
    return {};
}

// Renames from to `to` only when `to` holds nothing: 0 or the errno
// (EEXIST when it holds something). Where the file system cannot rename
// that way, a hard link (which never replaces) and an unlink do it.
int MoveNoReplace(const QByteArray& from, const QByteArray& to) {
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (link(from.constData(), to.constData()) != 0) return errno;
    unlink(from.constData());
    return 0;
}

// Puts the link at temporary in place of the own link at entry in one step.
// What the letter held comes back at temporary and is removed when it is an
// own link; anything else that took the letter meanwhile is put back.
int ReplaceOwnLink(const QByteArray& temporary, const QByteArray& entry) {
    if (renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, entry.constData(), RENAME_EXCHANGE) !=
        0) {
        // Gone meanwhile: the letter is free. Without exchange support the
        // old link is moved aside, checked and removed first.
        if (errno == ENOENT) return MoveNoReplace(temporary, entry);
        if (errno != EINVAL) return errno;
        const QByteArray old = temporary + ".old";
        const int aside = MoveNoReplace(entry, old);
        if (aside != 0) return aside;
        if (ReadEntry(old).kind != DriveEntry::kOurLink) {
            MoveNoReplace(old, entry);
            return EEXIST;
        }
        unlink(old.constData());
        return MoveNoReplace(temporary, entry);
    }
    if (ReadEntry(temporary).kind == DriveEntry::kOurLink) {
        unlink(temporary.constData());
        return 0;
    }
    renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, entry.constData(), RENAME_EXCHANGE);
    return EEXIST;
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

QString DriveFolder::MountRecordPath() const {
    return path_ + QStringLiteral("/.norvale-mounts");
}

DriveEntry DriveFolder::Read(char16_t letter) const {
    return ReadEntry(QFile::encodeName(EntryPath(letter)));
}

bool DriveFolder::EnsureExists() const {
    const QByteArray folder = QFile::encodeName(path_);
    if (mkdir(folder.constData(), 0700) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT) return false;
    // Parents are made as usual; only the drive folder itself is private.
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) return false;
    return mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

bool DriveFolder::MakeLink(char16_t letter, const QString& target) const {
    const DriveEntry existing = Read(letter);
    if (existing.kind == DriveEntry::kOther) {
        errno = EEXIST;
        return false;
    }
    if (!EnsureExists()) return false;
    const QByteArray temporary = MakeTemporaryLink(path_, letter, QFile::encodeName(target));
    if (temporary.isEmpty()) return false;
    const QByteArray entry = QFile::encodeName(EntryPath(letter));
    const int error = existing.kind == DriveEntry::kNone ? MoveNoReplace(temporary, entry)
                                                         : ReplaceOwnLink(temporary, entry);
    if (error == 0) return true;
    unlink(temporary.constData());
    errno = error;
    return false;
}

bool DriveFolder::RemoveLink(char16_t letter) const {
    if (Read(letter).kind != DriveEntry::kOurLink) return false;
    // Moved aside first and checked there, so that an entry put in its place
    // meanwhile is never the one removed.
    const QByteArray entry = QFile::encodeName(EntryPath(letter));
    const QByteArray aside = TemporaryName(path_, letter);
    if (MoveNoReplace(entry, aside) != 0) return false;
    if (ReadEntry(aside).kind == DriveEntry::kOurLink) return unlink(aside.constData()) == 0;
    MoveNoReplace(aside, entry);
    return false;
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
