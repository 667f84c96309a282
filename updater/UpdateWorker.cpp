#include "updater/UpdateWorker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <filesystem>
#include <optional>
#include <system_error>

#include "updater/CopyFolderFiles.h"
#include "updater/PrivateTempFolder.h"
#include "updater/UpdateClient.h"
#include "updater/UpdateState.h"
#include "zip/ExtractArchive.h"

namespace norvale::updater {
namespace {

std::filesystem::path LocalPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Removes whatever `path` holds (a symlink itself, never its target) and
// makes an empty private folder there.
bool MakeEmptyFolder(const QString& path) {
    std::error_code error;
    std::filesystem::remove_all(LocalPath(path), error);
    if (error) return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0;
}

void Finish(UpdateWorkerHost& host, UpdateState outcome) {
    ChangeUpdateState(UpdateState::Running, outcome);
    host.PostUpdateDone();
}

bool Cancelled() {
    return GetUpdateState() == UpdateState::Aborted;
}

// The files go into this folder, never into one relative to wherever the
// updater happened to start.
bool IsInstallFolder(const QString& path) {
    struct stat st {};
    return path.startsWith(QLatin1Char('/')) &&
           ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ReportCopyFailure(UpdateWorkerHost& host) {
    host.ShowCopyFailure();
    SetUpdateState(UpdateState::Aborted);
    host.PostUpdateDone();
}

}  // namespace

void RunUpdateWorker(const UpdateJob& job, UpdateWorkerHost& host) {
    if (!IsInstallFolder(job.installFolder)) return ReportCopyFailure(host);
    const std::optional<QString> temp = PrivateTempFolder();
    if (!temp) return Finish(host, UpdateState::Failed);
    const QString archive = *temp + QLatin1Char('/') + QLatin1String(kArchiveFileName);
    ::unlink(QFile::encodeName(archive).constData());
    if (!DownloadToFile(job.link, archive)) return Finish(host, UpdateState::Failed);
    if (Cancelled()) return;
    const QString unpacked = *temp + QLatin1Char('/') + QLatin1String(kExtractFolderName);
    if (!MakeEmptyFolder(unpacked) || !zip::ExtractArchive(LocalPath(archive), LocalPath(unpacked)))
        return Finish(host, UpdateState::Failed);
    if (Cancelled()) return;
    if (!CopyFolderFiles(unpacked, job.installFolder)) return ReportCopyFailure(host);
    Finish(host, UpdateState::Succeeded);
}

}  // namespace norvale::updater
