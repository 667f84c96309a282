#include "updater/VersionedInstall.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "updater/CopyFolderFiles.h"

namespace norvale::updater {
namespace {

using zip::CUniqueFd;

constexpr std::string_view kStagingPrefix = ".incoming-";
constexpr std::string_view kLinkPrefix = ".link-";
constexpr std::size_t kMaxLinkLength = 255;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A folder name that stays inside the root: no slash, not "." or "..".
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool IsReleaseName(const std::string& name) {
    const std::optional<ReleaseVersion> version = ReleaseVersion::Parse(name);
    return version && version->Text() == name;
}

std::string RandomSuffix() {
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto now = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(::time(nullptr));
        std::memcpy(bytes, &now, sizeof now);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

std::vector<std::string> EntriesOf(int folderFd) {
    std::vector<std::string> names;
    const int listFd = ::dup(folderFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) ::close(listFd);
        return names;
    }
    ::rewinddir(dir);  // the copy shares its position with the folder's descriptor
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

bool IsFolderAt(int folderFd, const std::string& name) {
    struct stat info {};
    return ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

std::optional<std::string> ReadLinkAt(int folderFd, const char* name) {
    char target[kMaxLinkLength + 1];
    const ssize_t length = ::readlinkat(folderFd, name, target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) > kMaxLinkLength) return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

std::optional<VersionedInstall> VersionedInstall::Open(const std::string& root) {
    if (root.empty() || root.front() != '/') return std::nullopt;
    CUniqueFd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsValid()) return std::nullopt;
    const std::optional<std::string> current = ReadLinkAt(fd.Get(), kCurrentLink);
    if (!current || !IsPlainName(*current) || !IsFolderAt(fd.Get(), *current)) return std::nullopt;
    return VersionedInstall(root, std::move(fd), *current);
}

bool VersionedInstall::IsWritable() const {
    return common::CanUpdateInstallation(fd_.Get());
}

bool VersionedInstall::RemoveEntry(const std::string& name) const {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(root_) / name, error);
    return !error;
}

void VersionedInstall::RemoveLeftovers() const {
    for (const std::string& name : EntriesOf(fd_.Get())) {
        if (StartsWith(name, kStagingPrefix) || StartsWith(name, kLinkPrefix)) RemoveEntry(name);
    }
}

VersionedInstall::Result VersionedInstall::CopyToStaging(const std::string& unpackedFolder,
                                                         const std::string& staging,
                                                         const InstallControl& control) const {
    const CUniqueFd stagingFd(
        ::openat(fd_.Get(), staging.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const CUniqueFd runningFd(
        ::openat(fd_.Get(), current_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!stagingFd.IsValid()) return Result::Failed;
    switch (CopyFolderFiles(unpackedFolder, stagingFd.Get(), runningFd.Get(), control)) {
        case CopyResult::Cancelled:
            return Result::Cancelled;
        case CopyResult::Failed:
            return Result::Failed;
        case CopyResult::Copied:
            break;
    }
    // A release that cannot start is no release.
    struct stat program {};
    if (::fstatat(stagingFd.Get(), kMainProgram, &program, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(program.st_mode) || (program.st_mode & S_IXUSR) == 0)
        return Result::Failed;
    if (::fsync(stagingFd.Get()) != 0 || !control.Step(InstallStep::StagingSynced))
        return Result::Failed;
    return Result::Installed;
}

bool VersionedInstall::MoveIntoPlace(const std::string& staging, const std::string& release,
                                     const InstallControl& control) const {
    // A folder of this name is not current (checked before): an earlier
    // run's unfinished copy or a release rolled back from.
    struct stat existing {};
    if (::fstatat(fd_.Get(), release.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!RemoveEntry(release) || !control.Step(InstallStep::ReleaseReplaced)) return false;
    }
    if (::renameat(fd_.Get(), staging.c_str(), fd_.Get(), release.c_str()) != 0 ||
        !control.Step(InstallStep::StagingRenamed))
        return false;
    return ::fsync(fd_.Get()) == 0 && control.Step(InstallStep::FolderSynced);
}

bool VersionedInstall::SwitchLink(const char* link, const std::string& target, InstallStep made,
                                  InstallStep switched, const InstallControl& control,
                                  bool* proceed) const {
    *proceed = false;
    const std::string temporary = std::string(kLinkPrefix) + RandomSuffix();
    if (::symlinkat(target.c_str(), fd_.Get(), temporary.c_str()) != 0) return false;
    if (!control.Step(made) || ::renameat(fd_.Get(), temporary.c_str(), fd_.Get(), link) != 0) {
        ::unlinkat(fd_.Get(), temporary.c_str(), 0);
        return false;
    }
    *proceed = control.Step(switched);
    return true;
}

void VersionedInstall::RemoveOldReleases(const std::string& keep,
                                         const InstallControl& control) const {
    for (const std::string& name : EntriesOf(fd_.Get())) {
        if (name == keep || name == current_ || !IsReleaseName(name) ||
            !IsFolderAt(fd_.Get(), name))
            continue;
        if (!RemoveEntry(name) || !control.Step(InstallStep::OldReleaseRemoved)) return;
    }
    RemoveLeftovers();
}

VersionedInstall::Result VersionedInstall::Install(const std::string& unpackedFolder,
                                                   const ReleaseVersion& version,
                                                   const InstallControl& control) {
    const std::string release = version.Text();
    RemoveLeftovers();
    if (release == current_) {
        // Perhaps a run that was stopped after its switch: tidy up for it.
        RemoveOldReleases(ReadLinkAt(fd_.Get(), kPreviousLink).value_or(std::string()), control);
        return Result::AlreadyCurrent;
    }
    const std::string staging = std::string(kStagingPrefix) + release + "-" + RandomSuffix();
    if (::mkdirat(fd_.Get(), staging.c_str(), 0755) != 0) return Result::Failed;
    Result result = control.Step(InstallStep::StagingMade)
                        ? CopyToStaging(unpackedFolder, staging, control)
                        : Result::Failed;
    if (result == Result::Installed && !control.ClaimSwitch()) result = Result::Cancelled;
    if (result != Result::Installed) {
        RemoveEntry(staging);
        return result;
    }
    return Commit(staging, release, control);
}

VersionedInstall::Result VersionedInstall::Commit(const std::string& staging,
                                                  const std::string& release,
                                                  const InstallControl& control) {
    bool proceed = false;
    if (!MoveIntoPlace(staging, release, control)) {
        const bool renamed = !IsFolderAt(fd_.Get(), staging);
        RemoveEntry(renamed ? release : staging);
        return Result::Failed;
    }
    if (!SwitchLink(kPreviousLink, current_, InstallStep::PreviousLinkMade,
                    InstallStep::PreviousLinkSwitched, control, &proceed) ||
        !proceed ||
        !SwitchLink(kCurrentLink, release, InstallStep::CurrentLinkMade,
                    InstallStep::CurrentLinkSwitched, control, &proceed)) {
        // "current" still names the release that ran: the new one goes again.
        RemoveEntry(release);
        return Result::Failed;
    }
    // Switched: from here on only tidying remains.
    const std::string previous = std::exchange(current_, release);
    if (proceed && ::fsync(fd_.Get()) == 0 && control.Step(InstallStep::SwitchSynced))
        RemoveOldReleases(previous, control);
    return Result::Installed;
}

}  // namespace norvale::updater
