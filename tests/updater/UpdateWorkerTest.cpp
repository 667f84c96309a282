// The worker against nginx over TLS: signed releases installed into a
// versioned installation, and what a refusal, a failure or a cancel leaves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestServers.h"
#include "updater/UpdateClient.h"
#include "updater/UpdateProgress.h"
#include "updater/UpdateState.h"
#include "updater/UpdateWorker.h"

namespace norvale::updater {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ReadFile;
using test::WriteFile;

// Records what the worker reported, in order, with the state at that moment.
class FakeHost : public UpdateWorkerHost {
  public:
    void ShowCopyFailure() override { Record("112"); }
    void PostUpdateDone() override { Record("done:" + std::to_string(int(GetUpdateState()))); }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    void Record(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
};

const std::string kDoneSucceeded = "done:1";
const std::string kDoneAborted = "done:2";
const std::string kDoneFailed = "done:3";
const std::string kDoneRefused = "done:4";
const std::string kNewRelease = "version=1.2.2026.342";

// Every entry below `folder`, symlinks as their targets.
std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        tree[name] =
            entry.is_symlink() ? "-> " + std::filesystem::read_symlink(entry.path()).string()
            : entry.is_directory()
                ? "<folder>"
                : std::to_string(test::ModeOf(entry.path())) + " " + ReadFile(entry.path());
    }
    return tree;
}

class UpdateWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFolder(runtime(), 0700);
        MakeFolder(install() + "/1.2.2026.341");
        WriteFile(install() + "/1.2.2026.341/norvale-discovery", "old program", 0755);
        WriteFile(install() + "/1.2.2026.341/RES_German.rcc", "old strings", 0644);
        ::symlink("1.2.2026.341", (install() + "/current").c_str());
        MakeFolder(scratch_ / "new");
        WriteFile(scratch_ / "new/norvale-discovery", "new program", 0755);
        WriteFile(scratch_ / "new/RES_German.rcc", "new strings", 0644);
        WriteFile(scratch_ / "new/norvale-autoupdate", "new updater", 0750);
        SetUpdateState(UpdateState::Running);
    }
    std::string runtime() const { return scratch_ / "run"; }
    std::string install() const { return scratch_ / "install dir"; }
    std::string temp() const { return runtime() + "/norvale-discovery"; }

    // Serves the files of scratch/new as files/<name>, signed over `comment`.
    std::string ServeRelease(const std::string& name, const std::string& comment = kNewRelease,
                             bool legacy = false) {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(scratch_ / "new"))
            files.push_back(entry.path().string());
        test::MakeSignedArchive(scratch_ / name, files, comment, "test", legacy);
        Site().Serve("files/" + name, ReadFile(scratch_ / name));
        Site().Serve("files/" + name + ".minisig", ReadFile(scratch_ / (name + ".minisig")));
        return Site().HttpsUrl("/files/" + name);
    }
    std::vector<std::string> Run(const std::string& link,
                                 std::function<bool(InstallStep)> hook = {}) {
        UpdateJob job{QString::fromStdString(link),
                      QString::fromStdString(install()),
                      "VER:1.20.2026.341",
                      {test::TestPublicKey()},
                      nullptr,
                      std::move(hook)};
        RunUpdateWorker(job, host_);
        return host_.Events();
    }
    // Nothing of a run stays in the private folder.
    void ExpectNoDownloadsLeft() const {
        for (const char* name : {kArchiveFileName, kSignatureFileName, kExtractFolderName})
            EXPECT_FALSE(Exists(temp() + "/" + name)) << name;
    }
    static const test::TestSite& Site() { return test::Site(); }

    test::ScratchFolder scratch_;
    test::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", (scratch_ / "run").c_str()};
    FakeHost host_;
};

TEST_F(UpdateWorkerTest, SignedReleaseIsInstalledBesideTheRunningOne) {
    const std::string link = ServeRelease("ok.zip");
    // Left over from an older run: must not be installed, and goes.
    MakeFolder(temp(), 0700);
    MakeFolder(temp() + "/Norvale Discover");
    WriteFile(temp() + "/Norvale Discover/stale.bin", "stale", 0644);
    const auto running = Tree(install() + "/1.2.2026.341");
    EXPECT_EQ(Run(link), std::vector<std::string>{kDoneSucceeded});
    EXPECT_EQ(std::filesystem::read_symlink(install() + "/current"), "1.2.2026.342");
    EXPECT_EQ(std::filesystem::read_symlink(install() + "/previous"), "1.2.2026.341");
    EXPECT_EQ(Tree(install() + "/1.2.2026.341"), running);
    const std::map<std::string, std::string> expected = {
        {"norvale-discovery", std::to_string(0755) + " new program"},
        {"RES_German.rcc", std::to_string(0644) + " new strings"},
        {"norvale-autoupdate", std::to_string(0750) + " new updater"},
    };
    EXPECT_EQ(Tree(install() + "/current"), expected);
    ExpectNoDownloadsLeft();
    // What a progress display reads: the whole archive, every file.
    const UpdateProgress& progress = Progress();
    EXPECT_EQ(progress.phase, UpdateProgress::Phase::Done);
    EXPECT_EQ(progress.bytesReceived, std::filesystem::file_size(scratch_ / "ok.zip"));
    EXPECT_EQ(progress.bytesExpected, progress.bytesReceived.load());
    EXPECT_EQ(progress.filesInstalled, 3u);
    EXPECT_EQ(progress.filesToInstall, 3u);
}

// The prehashed form is checked against a hash taken while the archive
// arrives, the legacy form against the file: in both forms one byte changed
// on the way is refused before unpacking, and a legacy release installs.
TEST_F(UpdateWorkerTest, BothSignatureFormsRefuseAChangedByteAndLegacyInstalls) {
    const auto before = Tree(install());
    for (bool legacy : {false, true}) {
        const std::string name = legacy ? "legacy.zip" : "prehashed.zip";
        ServeRelease(name, kNewRelease, legacy);
        std::string changed = ReadFile(scratch_ / name);
        changed[changed.size() / 3] ^= 0x01;
        Site().Serve("files/changed-" + name, changed);
        Site().Serve("files/changed-" + name + ".minisig",
                     ReadFile(scratch_ / (name + ".minisig")));
        FakeHost host;
        SetUpdateState(UpdateState::Running);
        RunUpdateWorker({QString::fromStdString(Site().HttpsUrl("/files/changed-" + name)),
                         QString::fromStdString(install()),
                         "VER:1.20.2026.341",
                         {test::TestPublicKey()},
                         nullptr,
                         nullptr},
                        host);
        EXPECT_EQ(host.Events(), std::vector<std::string>{kDoneRefused}) << name;
        EXPECT_EQ(Tree(install()), before) << name;
        ExpectNoDownloadsLeft();
    }
    SetUpdateState(UpdateState::Running);
    EXPECT_EQ(Run(Site().HttpsUrl("/files/legacy.zip")), std::vector<std::string>{kDoneSucceeded});
    EXPECT_EQ(ReadFile(install() + "/current/norvale-discovery"), "new program");
}

TEST_F(UpdateWorkerTest, SignedArchiveThatIsNoZipFailsAsAnUnpackingError) {
    WriteFile(scratch_ / "page.zip", "<html>404 Not Found</html>");
    test::SignFile(scratch_ / "page.zip", kNewRelease);
    Site().Serve("files/page.zip", ReadFile(scratch_ / "page.zip"));
    Site().Serve("files/page.zip.minisig", ReadFile(scratch_ / "page.zip.minisig"));
    const auto before = Tree(install());
    EXPECT_EQ(Run(Site().HttpsUrl("/files/page.zip")), std::vector<std::string>{kDoneFailed});
    EXPECT_EQ(Tree(install()), before);
    ExpectNoDownloadsLeft();
}

TEST_F(UpdateWorkerTest, ArchiveWithAFolderEntryReportsCopyFailure) {
    MakeFolder(scratch_ / "new/plugins");
    WriteFile(scratch_ / "new/plugins/extra.so", "plugin", 0644);
    ASSERT_EQ(test::Shell("cd " + test::Quote(scratch_ / "new") + " && zip -q -r -X " +
                          test::Quote(scratch_ / "folder.zip") + " ."),
              0);
    test::SignFile(scratch_ / "folder.zip", kNewRelease);
    Site().Serve("files/folder.zip", ReadFile(scratch_ / "folder.zip"));
    Site().Serve("files/folder.zip.minisig", ReadFile(scratch_ / "folder.zip.minisig"));
    const auto before = Tree(install());
    EXPECT_EQ(Run(Site().HttpsUrl("/files/folder.zip")),
              (std::vector<std::string>{"112", kDoneAborted}));
    EXPECT_EQ(Tree(install()), before);
}

TEST_F(UpdateWorkerTest, OnlyAnInstallationItsUserMayChangeIsUpdated) {
    const std::string link = ServeRelease("ok.zip");
    ::chmod(install().c_str(), 0555);
    const std::vector<std::string> folders = {install(), "", "install dir",
                                              install() + "/1.2.2026.341"};
    for (const std::string& folder : folders) {
        FakeHost host;
        SetUpdateState(UpdateState::Running);
        RunUpdateWorker({QString::fromStdString(link),
                         QString::fromStdString(folder),
                         "VER:1.20.2026.341",
                         {test::TestPublicKey()},
                         nullptr,
                         nullptr},
                        host);
        EXPECT_EQ(host.Events(), (std::vector<std::string>{"112", kDoneAborted})) << folder;
    }
    ::chmod(install().c_str(), 0755);
    EXPECT_FALSE(Exists(temp() + "/Norvale.zip")) << "nothing is downloaded";
}

TEST_F(UpdateWorkerTest, FailedDownloadLeavesNoFilesOfTheRun) {
    MakeFolder(temp(), 0700);
    WriteFile(temp() + "/Norvale.zip", "partial download", 0600);
    WriteFile(temp() + "/Norvale.zip.minisig", "old signature", 0600);
    EXPECT_EQ(Run("https://127.0.0.1:1/Norvale.zip"), std::vector<std::string>{kDoneFailed});
    ExpectNoDownloadsLeft();
}

TEST_F(UpdateWorkerTest, StalledDownloadFailsAsANetworkError) {
    SetTransferLimits({std::chrono::milliseconds(30000), std::chrono::milliseconds(1500)});
    test::ScriptedHttpServer server(
        {{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(2000, 'z'), true}});
    ServeRelease("ok.zip");
    server.Serve("/Norvale.zip.minisig", ReadFile(scratch_ / "ok.zip.minisig"));
    EXPECT_EQ(Run(server.Url("/Norvale.zip")), std::vector<std::string>{kDoneFailed});
    server.Release();
    SetTransferLimits({});
    ExpectNoDownloadsLeft();
}

TEST_F(UpdateWorkerTest, CancelDuringTheDownloadStaysAbortedAndLeavesNothing) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    test::ScriptedHttpServer server({{head + std::string(20000, 'p'), true}, {"rest"}});
    ServeRelease("ok.zip");
    server.Serve("/Norvale.zip.minisig", ReadFile(scratch_ / "ok.zip.minisig"));
    const auto before = Tree(install());
    std::thread worker([&] { Run(server.Url("/Norvale.zip")); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Exists(temp() + "/Norvale.zip") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(RequestCancel());
    worker.join();
    server.Release();
    EXPECT_EQ(GetUpdateState(), UpdateState::Aborted);
    EXPECT_EQ(host_.Events(), std::vector<std::string>{kDoneAborted});
    EXPECT_EQ(Tree(install()), before);
    ExpectNoDownloadsLeft();
}

TEST_F(UpdateWorkerTest, CancelWhileCopyingLeavesTheRunningReleaseAndNoPost) {
    const std::string link = ServeRelease("ok.zip");
    const auto before = Tree(install());
    EXPECT_TRUE(Run(link, [](InstallStep step) {
                    if (step == InstallStep::FileDone) RequestCancel();
                    return true;
                }).empty());
    EXPECT_EQ(GetUpdateState(), UpdateState::Aborted);
    EXPECT_EQ(Tree(install()), before);
    ExpectNoDownloadsLeft();
}

TEST_F(UpdateWorkerTest, CancelAfterTheSwitchStillEndsAsDone) {
    const std::string link = ServeRelease("ok.zip");
    bool cancelAccepted = true;
    EXPECT_EQ(Run(link,
                  [&](InstallStep step) {
                      if (step == InstallStep::CurrentLinkSwitched)
                          cancelAccepted = RequestCancel();
                      return true;
                  }),
              std::vector<std::string>{kDoneSucceeded});
    EXPECT_FALSE(cancelAccepted);
    EXPECT_EQ(std::filesystem::read_symlink(install() + "/current"), "1.2.2026.342");
}

}  // namespace
}  // namespace norvale::updater
