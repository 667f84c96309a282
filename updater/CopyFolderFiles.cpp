#include "updater/CopyFolderFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "common/FileWriting.h"
#include "zip/UniqueFd.h"

namespace norvale::updater {
namespace {

using zip::CUniqueFd;

// An update archive holds a program's files, not a file system.
constexpr std::size_t kMaxEntries = 10000;
constexpr std::size_t kCopyChunk = 1 << 20;

// The names in the folder, sorted; false when it cannot be read or holds
// too many.
bool ListNames(int folderFd, std::vector<std::string>* names) {
    const int listFd = ::dup(folderFd);
    if (listFd < 0) return false;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    ::rewinddir(dir);  // the copy shares its position with the folder's descriptor
    bool ok = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (names->size() == kMaxEntries) {
            ok = false;
            break;
        }
        names->emplace_back(entry->d_name);
    }
    ok = ok && errno == 0;
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    return ok;
}

// The mode of a copy; none when the source entry is not a regular file.
bool ModeOfCopy(int sourceFd, int referenceFd, const std::string& name, mode_t* mode) {
    struct stat source {};
    if (::fstatat(sourceFd, name.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(source.st_mode))
        return false;
    *mode = (source.st_mode & 0777) | S_IRUSR | S_IWUSR;
    struct stat running {};
    if (referenceFd >= 0 &&
        ::fstatat(referenceFd, name.c_str(), &running, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(running.st_mode))
        *mode |= running.st_mode & 0111;
    return true;
}

bool CopyBytes(int from, int to) {
    for (;;) {
        const ssize_t moved = ::copy_file_range(from, nullptr, to, nullptr, kCopyChunk, 0);
        if (moved == 0) return true;
        if (moved > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        break;  // no in-kernel copy here: plain reads and writes
    }
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (!common::WriteAll(to, buffer.data(), static_cast<std::size_t>(got))) return false;
    }
}

// One file, step by step, each step told to the control.
bool CopyOne(int sourceFd, int targetFd, const std::string& name, mode_t mode,
             const InstallControl& control) {
    const CUniqueFd from(::openat(sourceFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.IsValid()) return false;
    const int to = ::openat(targetFd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (to < 0) return false;
    const bool written = control.Step(InstallStep::FileOpened) && CopyBytes(from.Get(), to) &&
                         control.Step(InstallStep::FileCopied) && ::fchmod(to, mode) == 0 &&
                         ::fsync(to) == 0 && control.Step(InstallStep::FileSynced);
    // A late write error shows in close's result only.
    const bool closed = ::close(to) == 0;
    return written && closed && control.Step(InstallStep::FileDone);
}

}  // namespace

CopyResult CopyFolderFiles(const std::string& sourceFolder, int targetFd, int referenceFd,
                           const InstallControl& control) {
    const CUniqueFd source(
        ::open(sourceFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<std::string> names;
    if (!source.IsValid() || !ListNames(source.Get(), &names)) return CopyResult::Failed;
    std::vector<mode_t> modes(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!ModeOfCopy(source.Get(), referenceFd, names[i], &modes[i])) return CopyResult::Failed;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (control.Cancelled()) return CopyResult::Cancelled;
        if (!CopyOne(source.Get(), targetFd, names[i], modes[i], control))
            return CopyResult::Failed;
    }
    return CopyResult::Copied;
}

}  // namespace norvale::updater
