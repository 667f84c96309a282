#include "updater/CopyFolderFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "zip/UniqueFd.h"

namespace norvale::updater {
namespace {

using zip::CUniqueFd;

// An update archive holds a program's files, not a file system.
constexpr std::size_t kMaxEntries = 10000;
constexpr std::size_t kCopyChunk = 1 << 20;

struct FileCopy {
    std::string name;
    std::string tempName;
    mode_t mode = 0;
    bool tempMade = false;
};

CUniqueFd OpenFolder(const QString& path) {
    return CUniqueFd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The names in the folder, sorted; false when there are too many.
bool ListNames(int folderFd, std::vector<std::string>* names) {
    const int listFd = ::dup(folderFd);
    if (listFd < 0) return false;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (names->size() == kMaxEntries) {
            ok = false;
            break;
        }
        names->emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    return ok;
}

// Checks one entry and works out the mode of its copy.
bool PlanCopy(int sourceFd, int targetFd, FileCopy* copy) {
    struct stat source {};
    if (::fstatat(sourceFd, copy->name.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(source.st_mode))
        return false;
    copy->mode = (source.st_mode & 0777) | S_IRUSR | S_IWUSR;
    struct stat installed {};
    if (::fstatat(targetFd, copy->name.c_str(), &installed, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    // A read-only installed file is not replaced (not even by root).
    if (!S_ISREG(installed.st_mode) || (installed.st_mode & 0222) == 0 ||
        ::faccessat(targetFd, copy->name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    copy->mode |= installed.st_mode & 0111;
    return true;
}

bool CopyBytes(int from, int to) {
    std::vector<char> buffer;
    for (;;) {
        const ssize_t moved = ::copy_file_range(from, nullptr, to, nullptr, kCopyChunk, 0);
        if (moved == 0) return true;
        if (moved > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        break;  // no in-kernel copy here: plain reads and writes
    }
    buffer.resize(kCopyChunk);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
}

// Copies one file to its temporary name, with its mode, flushed to disk.
bool CopyToTemp(int sourceFd, int targetFd, FileCopy* copy) {
    CUniqueFd from(::openat(sourceFd, copy->name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.IsValid()) return false;
    const int made = ::openat(targetFd, copy->tempName.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (made < 0) return false;
    copy->tempMade = true;
    const bool ok =
        CopyBytes(from.Get(), made) && ::fchmod(made, copy->mode) == 0 && ::fsync(made) == 0;
    return ::close(made) == 0 && ok;
}

void RemoveTemps(int targetFd, std::vector<FileCopy>& copies) {
    for (FileCopy& copy : copies) {
        if (copy.tempMade) ::unlinkat(targetFd, copy.tempName.c_str(), 0);
        copy.tempMade = false;
    }
}

bool CopyAllToTemps(int sourceFd, int targetFd, std::vector<FileCopy>& copies) {
    for (FileCopy& copy : copies)
        if (!PlanCopy(sourceFd, targetFd, &copy)) return false;
    for (FileCopy& copy : copies)
        if (!CopyToTemp(sourceFd, targetFd, &copy)) return false;
    return true;
}

bool RenameAll(int targetFd, std::vector<FileCopy>& copies) {
    for (FileCopy& copy : copies) {
        if (::renameat(targetFd, copy.tempName.c_str(), targetFd, copy.name.c_str()) != 0)
            return false;
        copy.tempMade = false;
    }
    ::fsync(targetFd);
    return true;
}

}  // namespace

bool CopyFolderFiles(const QString& sourceFolder, const QString& targetFolder) {
    const CUniqueFd source = OpenFolder(sourceFolder);
    if (!source.IsValid()) return true;
    std::vector<std::string> names;
    if (!ListNames(source.Get(), &names)) return false;
    const CUniqueFd target = OpenFolder(targetFolder);
    if (!target.IsValid()) return false;
    std::vector<FileCopy> copies;
    const std::string prefix = ".norvale-update-" + std::to_string(::getpid()) + "-";
    for (std::size_t i = 0; i < names.size(); ++i)
        copies.push_back({names[i], prefix + std::to_string(i) + ".tmp"});
    // Once the first rename is done, a later failure (which the checks above
    // make all but impossible) cannot be undone; the rest is cleaned up.
    const bool ok =
        CopyAllToTemps(source.Get(), target.Get(), copies) && RenameAll(target.Get(), copies);
    RemoveTemps(target.Get(), copies);
    return ok;
}

}  // namespace norvale::updater
