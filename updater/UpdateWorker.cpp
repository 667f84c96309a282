#include "updater/UpdateWorker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "common/PrivateTempFolder.h"
#include "updater/ArchiveTrust.h"
#include "updater/BackgroundHasher.h"
#include "updater/MinisignSignatureParser.h"
#include "updater/UpdateClient.h"
#include "updater/UpdateProgress.h"
#include "updater/UpdateState.h"
#include "updater/VersionedInstall.h"
#include "zip/ExtractArchive.h"

namespace norvale::updater {
namespace {

using Phase = UpdateProgress::Phase;

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The downloads and the unpacking folder of one run: whatever an earlier
// run left is removed first, and everything again when the run ends.
class RunFiles {
  public:
    explicit RunFiles(const QString& folder)
        : archive(folder + QLatin1Char('/') + QLatin1String(kArchiveFileName)),
          signature(folder + QLatin1Char('/') + QLatin1String(kSignatureFileName)),
          unpacked(folder + QLatin1Char('/') + QLatin1String(kExtractFolderName)) {
        RemoveAll();
    }
    ~RunFiles() { RemoveAll(); }
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    // Makes the unpacking folder, empty and private.
    bool MakeUnpackFolder() const { return ::mkdir(Local(unpacked).c_str(), 0700) == 0; }

    const QString archive;
    const QString signature;
    const QString unpacked;

  private:
    void RemoveAll() const {
        std::error_code ignored;
        for (const QString* path : {&archive, &signature, &unpacked})
            std::filesystem::remove_all(Local(*path),
                                        ignored);  // a symlink itself, never its target
    }
};

void Finish(UpdateWorkerHost& host, UpdateState outcome) {
    ChangeUpdateState(UpdateState::Running, outcome);
    Progress().phase = Phase::Done;
    host.PostUpdateDone();
}

bool Cancelled() {
    return GetUpdateState() == UpdateState::Aborted;
}

void ReportCopyFailure(UpdateWorkerHost& host) {
    host.ShowCopyFailure();
    SetUpdateState(UpdateState::Aborted);
    Progress().phase = Phase::Done;
    host.PostUpdateDone();
}

std::optional<MinisignSignature> ReadSignature(const QString& path) {
    std::ifstream file(Local(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return MinisignSignatureParser::Parse(bytes.str());
}

std::uint32_t CountEntries(const QString& folder) {
    std::error_code error;
    std::uint32_t count = 0;
    for (std::filesystem::directory_iterator it(Local(folder), error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

InstallControl ControlFor(const UpdateJob& job) {
    InstallControl control;
    control.hook = [&job](InstallStep step) {
        if (step == InstallStep::FileDone) ++Progress().filesInstalled;
        return !job.installHook || job.installHook(step);
    };
    control.cancelled = Cancelled;
    control.claimSwitch = [] {
        return ChangeUpdateState(UpdateState::Running, UpdateState::Switching);
    };
    return control;
}

// Installs the unpacked release and reports how it went.
void Install(const UpdateJob& job, VersionedInstall& install, const RunFiles& files,
             const ReleaseVersion& release, UpdateWorkerHost& host) {
    Progress().filesToInstall = CountEntries(files.unpacked);
    Progress().phase = Phase::Installing;
    switch (install.Install(Local(files.unpacked), release, ControlFor(job))) {
        case VersionedInstall::Result::Installed:
            ChangeUpdateState(UpdateState::Switching, UpdateState::Succeeded);
            Progress().phase = Phase::Done;
            return host.PostUpdateDone();
        case VersionedInstall::Result::AlreadyCurrent:
            return Finish(host, UpdateState::Succeeded);
        case VersionedInstall::Result::Cancelled:
            return;
        case VersionedInstall::Result::Failed:
            return ReportCopyFailure(host);
    }
}

}  // namespace

void RunUpdateWorker(const UpdateJob& job, UpdateWorkerHost& host) {
    Progress().Reset();
    Progress().phase = Phase::Checking;
    std::optional<VersionedInstall> install = VersionedInstall::Open(Local(job.installFolder));
    if (!install || !install->IsWritable()) return ReportCopyFailure(host);
    const std::optional<QString> temp = common::PrivateTempFolder();
    if (!temp) return Finish(host, UpdateState::Failed);
    const RunFiles files(*temp);
    const std::int64_t now =
        job.clock ? job.clock() : static_cast<std::int64_t>(std::time(nullptr));
    ArchiveTrust trust(job.trustedKeys,
                       ReleaseVersion::FromVersionToken(job.versionToken.toStdString()), now);

    // The signature first: a refused one saves the whole download.
    if (!DownloadToFile(job.link + QLatin1String(".minisig"), files.signature, kMaxSignatureBytes))
        return Finish(host, UpdateState::Failed);
    const std::optional<MinisignSignature> signature = ReadSignature(files.signature);
    if (!signature || trust.CheckSignature(*signature) != ArchiveTrust::Verdict::Trusted)
        return Finish(host, UpdateState::Refused);

    Progress().bytesReceived = 0;
    Progress().bytesExpected = 0;
    Progress().phase = Phase::Downloading;
    // A prehashed signature signs the archive's hash: it is taken beside
    // the download as the bytes are written, not in a second pass over the
    // file.
    std::optional<BackgroundHasher> hasher;
    WrittenPiece hash;
    if (signature->algorithm == MinisignSignature::Algorithm::Prehashed) {
        hasher.emplace();
        hash = [&hasher](const char* data, std::size_t length) { hasher->Add(data, length); };
    }
    if (!DownloadToFile(job.link, files.archive, kMaxArchiveBytes, hash))
        return Finish(host, UpdateState::Failed);
    if (Cancelled()) return;
    Progress().phase = Phase::Verifying;
    const ArchiveTrust::Verdict verdict =
        hasher ? trust.CheckArchiveHash(*signature, hasher->Final())
               : trust.CheckArchive(*signature, Local(files.archive));
    if (verdict == ArchiveTrust::Verdict::Unreadable) return Finish(host, UpdateState::Failed);
    if (verdict != ArchiveTrust::Verdict::Trusted) return Finish(host, UpdateState::Refused);
    if (Cancelled()) return;

    Progress().phase = Phase::Unpacking;
    if (!files.MakeUnpackFolder() ||
        !zip::ExtractArchive(Local(files.archive), Local(files.unpacked)))
        return Finish(host, UpdateState::Failed);
    if (Cancelled()) return;
    Install(job, *install, files, trust.Release().version, host);
}

}  // namespace norvale::updater
