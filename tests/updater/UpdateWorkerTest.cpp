#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestServers.h"
#include "updater/UpdateState.h"
#include "updater/UpdateWorker.h"

namespace norvale::updater {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ReadFile;
using test::Snapshot;
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

class UpdateWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFolder(runtime(), 0700);
        MakeFolder(install());
        WriteFile(install() + "/norvale-discovery", "old program", 0755);
        WriteFile(install() + "/RES_German.rcc", "old strings", 0644);
        WriteFile(install() + "/settings.ini", "kept", 0600);
        MakeFolder(scratch_ / "new");
        WriteFile(scratch_ / "new/norvale-discovery", "new program", 0755);
        WriteFile(scratch_ / "new/RES_German.rcc", "new strings", 0644);
        WriteFile(scratch_ / "new/norvale-autoupdate", "new updater", 0750);
        SetUpdateState(UpdateState::Running);
    }
    std::string runtime() const { return scratch_ / "run"; }
    std::string install() const { return scratch_ / "install dir"; }
    std::string temp() const { return runtime() + "/norvale-discovery"; }

    // Zips the top-level files of `folder` (with their modes) as files/<name>.
    std::string ServeArchive(const std::string& folder, const std::string& name) {
        const std::string zip = scratch_ / name;
        EXPECT_EQ(test::Shell("cd " + test::Quote(folder) + " && zip -q -r -X " + test::Quote(zip) +
                              " ."),
                  0);
        Site().Serve("files/" + name, ReadFile(zip));
        return Site().HttpsUrl("/files/" + name);
    }
    std::vector<std::string> Run(const std::string& link) {
        RunUpdateWorker({QString::fromStdString(link), QString::fromStdString(install())}, host_);
        return host_.Events();
    }
    static const test::TestSite& Site() { return test::Site(); }

    test::ScratchFolder scratch_;
    test::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", (scratch_ / "run").c_str()};
    FakeHost host_;
};

TEST_F(UpdateWorkerTest, SuccessfulUpdateReplacesEveryFileWithItsMode) {
    const std::string link = ServeArchive(scratch_ / "new", "ok.zip");
    // Left over from an older update: must not be installed with the new files.
    MakeFolder(temp(), 0700);
    MakeFolder(temp() + "/Norvale Discover");
    WriteFile(temp() + "/Norvale Discover/norvale-discovery", "older program", 0755);
    WriteFile(temp() + "/Norvale Discover/stale.bin", "stale", 0644);
    EXPECT_EQ(Run(link), std::vector<std::string>{kDoneSucceeded});
    const test::FolderSnapshot expected = {
        {"norvale-discovery", {0755, "new program"}},
        {"RES_German.rcc", {0644, "new strings"}},
        {"norvale-autoupdate", {0750, "new updater"}},
        {"settings.ini", {0600, "kept"}},
    };
    EXPECT_EQ(Snapshot(install()), expected);
    EXPECT_EQ(test::ModeOf(temp()), 0700u);
}

TEST_F(UpdateWorkerTest, ErrorPageInsteadOfAnArchiveFails) {
    const test::FolderSnapshot before = Snapshot(install());
    EXPECT_EQ(Run(Site().HttpsUrl("/files/no-such.zip")), std::vector<std::string>{kDoneFailed});
    EXPECT_EQ(Snapshot(install()), before);
}

TEST_F(UpdateWorkerTest, ReadOnlyInstalledFileReportsCopyFailureAndChangesNothing) {
    ::chmod((install() + "/RES_German.rcc").c_str(), 0444);
    const test::FolderSnapshot before = Snapshot(install());
    const std::string link = ServeArchive(scratch_ / "new", "ro.zip");
    EXPECT_EQ(Run(link), (std::vector<std::string>{"112", kDoneAborted}));
    EXPECT_EQ(Snapshot(install()), before);
}

TEST_F(UpdateWorkerTest, ArchiveWithAFolderEntryReportsCopyFailure) {
    MakeFolder(scratch_ / "new/plugins");
    WriteFile(scratch_ / "new/plugins/extra.so", "plugin", 0644);
    const test::FolderSnapshot before = Snapshot(install());
    const std::string link = ServeArchive(scratch_ / "new", "folder.zip");
    EXPECT_EQ(Run(link), (std::vector<std::string>{"112", kDoneAborted}));
    EXPECT_EQ(Snapshot(install()), before);
}

TEST_F(UpdateWorkerTest, InstallFolderMustBeAnExistingAbsoluteFolder) {
    const std::string link = ServeArchive(scratch_ / "new", "ok.zip");
    for (const char* folder : {"", "install dir", "/no/such/folder"}) {
        FakeHost host;
        SetUpdateState(UpdateState::Running);
        RunUpdateWorker({QString::fromStdString(link), folder}, host);
        EXPECT_EQ(host.Events(), (std::vector<std::string>{"112", kDoneAborted})) << folder;
    }
    EXPECT_FALSE(Exists(temp() + "/Norvale.zip")) << "nothing is downloaded";
}

TEST_F(UpdateWorkerTest, NextRunDeletesTheEarlierArchiveFirst) {
    MakeFolder(temp(), 0700);
    WriteFile(temp() + "/Norvale.zip", "partial download", 0600);
    EXPECT_EQ(Run("http://127.0.0.1:1/Norvale.zip"), std::vector<std::string>{kDoneFailed});
    EXPECT_FALSE(Exists(temp() + "/Norvale.zip"));
}

TEST_F(UpdateWorkerTest, CancelledUpdateStaysAbortedAndInstallsNothing) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    test::ScriptedHttpServer server({{head + std::string(20000, 'p'), true}, {"rest"}});
    const test::FolderSnapshot before = Snapshot(install());
    std::thread worker([&] { Run(server.Url("/Norvale.zip")); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Exists(temp() + "/Norvale.zip") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    SetUpdateState(UpdateState::Aborted);
    worker.join();
    server.Release();
    EXPECT_EQ(GetUpdateState(), UpdateState::Aborted);
    EXPECT_EQ(host_.Events(), std::vector<std::string>{kDoneAborted});
    EXPECT_EQ(Snapshot(install()), before);
    EXPECT_TRUE(Exists(temp() + "/Norvale.zip")) << "the partial archive stays";
}

}  // namespace
}  // namespace norvale::updater
