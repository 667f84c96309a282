// The record file: UTF-8 text, one FUSE folder path a line, "\n" after each;
// at most MountRecord::kMaxEntries lines and kMaxBytes bytes are read, lines
// that are no absolute path are skipped.
#include "drives/MountRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>

#include "common/FileWriting.h"

namespace drives {

namespace {

constexpr qint64 kMaxBytes = 256 * 1024;

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

// Replaced in one step (norvale::common::ReplaceFile), so a reader never sees half
// of it and nothing planted under a name is written through.
bool MountRecord::Save(const QStringList& folders) const {
    QByteArray text;
    for (const QString& folder : folders) text += folder.toUtf8() + '\n';
    return norvale::common::ReplaceFile(QFile::encodeName(file_).constData(), text.constData(),
                                        static_cast<std::size_t>(text.size()), 0600);
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
