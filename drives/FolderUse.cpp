#include "drives/FolderUse.h"

#include <dirent.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cctype>
#include <memory>

namespace drives {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool IsNumber(const char* name) {
    if (!*name) return false;
    for (; *name; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    }
    return true;
}

// True when the /proc link at path names folder or something below it.
bool PointsInto(const QByteArray& path, const QByteArray& folder) {
    char target[4096];
    const ssize_t n = readlink(path.constData(), target, sizeof target);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) return false;
    const QByteArray named(target, n);
    return named == folder || named.startsWith(folder + '/');
}

bool ProcessUses(const QByteArray& process, const QByteArray& folder) {
    if (PointsInto(process + "/cwd", folder)) return true;
    const QByteArray fds = process + "/fd";
    DirPtr dir(opendir(fds.constData()));
    if (!dir) return false;  // not ours to look at
    int files = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (!IsNumber(entry->d_name)) continue;
        if (++files > kMaxFiles) break;
        if (PointsInto(fds + '/' + entry->d_name, folder)) return true;
    }
    return false;
}

}  // namespace

bool FolderInUse(const QString& folder) {
    const QByteArray wanted = QFile::encodeName(folder);
    if (wanted.isEmpty()) return false;
    DirPtr proc(opendir("/proc"));
    if (!proc) return false;
    int processes = 0;
    while (const dirent* entry = readdir(proc.get())) {
        if (!IsNumber(entry->d_name)) continue;
        if (++processes > kMaxProcesses) break;
        if (ProcessUses(QByteArray("/proc/") + entry->d_name, wanted)) return true;
    }
    return false;
}

}  // namespace drives
