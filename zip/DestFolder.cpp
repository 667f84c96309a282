#include "zip/DestFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

[[noreturn]] void ThrowSystem(const char* what, const std::string& name, int error) {
    CZipException::Throw(CZipException::kSystem,
                         std::string(what) + " \"" + name + "\": " + std::strerror(error));
}

bool IsSymlinkAt(int dirFd, const std::string& name) {
    struct stat st {};
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Opens (creating when missing) the folder `name` inside `dirFd`.
CUniqueFd OpenChildFolder(int dirFd, const std::string& name) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (int attempt = 0;; ++attempt) {
        int fd = ::openat(dirFd, name.c_str(), flags);
        if (fd >= 0) return CUniqueFd(fd);
        int error = errno;
        if (error == ENOENT && attempt == 0) {
            if (::mkdirat(dirFd, name.c_str(), 0777) == 0 || errno == EEXIST) continue;
            ThrowSystem("cannot create folder", name, errno);
        }
        if (IsSymlinkAt(dirFd, name))
            CZipException::Throw(CZipException::kUnsafeEntry, "\"" + name + "\" is a symlink");
        ThrowSystem("cannot open folder", name, error);
    }
}

}  // namespace

bool CDestFolder::Open(const std::filesystem::path& folder) {
    root_.Reset();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    root_.Reset(fd);
    return true;
}

bool CDestFolder::SplitName(const std::string& name, std::vector<std::string>* parts) {
    parts->clear();
    if (name.empty()) return true;
    if (name.find('\0') != std::string::npos) return false;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts->push_back(std::move(part));
        start = end + 1;
    }
    return true;
}

CUniqueFd CDestFolder::WalkFolders(const std::vector<std::string>& parts, std::size_t count) {
    CUniqueFd current(::dup(root_.Get()));
    if (!current.IsValid()) ThrowSystem("cannot open folder", ".", errno);
    for (std::size_t i = 0; i < count; ++i) current = OpenChildFolder(current.Get(), parts[i]);
    return current;
}

void CDestFolder::MakeFolder(const std::vector<std::string>& parts, int permissions) {
    CUniqueFd folder = WalkFolders(parts, parts.size());
    if (permissions >= 0 && !parts.empty())
        ::fchmod(folder.Get(), static_cast<mode_t>(permissions | 0700));
}

CUniqueFd CDestFolder::CreateFile(const std::vector<std::string>& parts) {
    if (parts.empty()) CZipException::Throw(CZipException::kUnsafeEntry, "empty file name");
    CUniqueFd parent = WalkFolders(parts, parts.size() - 1);
    const std::string& name = parts.back();
    // A new inode every time: an existing hard link or symlink is replaced,
    // never written through.
    if (::unlinkat(parent.Get(), name.c_str(), 0) != 0 && errno != ENOENT)
        ThrowSystem("cannot replace", name, errno);
    int fd = ::openat(parent.Get(), name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) ThrowSystem("cannot create file", name, errno);
    return CUniqueFd(fd);
}

}  // namespace norvale::zip
