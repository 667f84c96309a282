// The record file: UTF-8 text, one FUSE folder path a line, "\n" after each;
// at most MountRecord::kMaxEntries lines and kMaxBytes bytes are read, lines
// that are no absolute path are skipped.
#include "drives/MountRecord.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

namespace drives {

namespace {

constexpr qint64 kMaxBytes = 256 * 1024;

// Writes all of text to a file opened for it; closes fd. Not synced: a
// record lost in a crash only makes mounts look foreign, which are then
// never unmounted, the safe side.
bool WriteAndClose(int fd, const QByteArray& text) {
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return false;
    }
    return out.write(text) == text.size() && out.flush();
}

}  // namespace

QStringList MountRecord::Load() const {
    QStringList folders;
    const int fd = open(QFile::encodeName(file_).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return folders;
    QFile in;
    if (in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        for (const QByteArray& line : in.read(kMaxBytes).split('\n')) {
            if (line.startsWith('/') && folders.size() < kMaxEntries)
                folders.append(QString::fromUtf8(line));
        }
    } else {
        close(fd);
    }
    return folders;
}

// A fresh file (O_EXCL under a random name) renamed over the record, so a
// reader never sees half of it and nothing planted under a name is written
// through.
bool MountRecord::Save(const QStringList& folders) const {
    QByteArray text;
    for (const QString& folder : folders) text += folder.toUtf8() + '\n';
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray temporary =
            QFile::encodeName(file_) + '.' +
            QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        const int fd = open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        if (WriteAndClose(fd, text) &&
            rename(temporary.constData(), QFile::encodeName(file_).constData()) == 0)
            return true;
        unlink(temporary.constData());
        return false;
    }
    return false;
}

bool MountRecord::Contains(const QString& folder) const {
    return Load().contains(folder);
}

bool MountRecord::Update(const QStringList& added, const QSet<QString>* mounted) {
    QStringList folders = Load();
    if (mounted) {
        folders.removeIf([&](const QString& folder) {
            return !mounted->contains(folder) && !added.contains(folder);
        });
    }
    for (const QString& folder : added) {
        if (folders.contains(folder)) continue;
        if (folders.size() >= kMaxEntries) folders.removeFirst();
        folders.append(folder);
    }
    return Save(folders);
}

bool MountRecord::Remove(const QString& folder) {
    QStringList folders = Load();
    if (folders.removeAll(folder) == 0) return true;
    return Save(folders);
}

}  // namespace drives
