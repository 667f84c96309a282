// The versioned installation: a release is copied beside the running one and
// made current by one rename, so that no failure, cancel or kill leaves a
// mix of two releases.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "UpdaterTestSupport.h"
#include "updater/VersionedInstall.h"

namespace norvale::updater {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ModeOf;
using test::ReadFile;
using test::WriteFile;

const ReleaseVersion kNew{{1, 0, 0, 2}};

std::string Octal(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

// Every entry below `folder` (symlinks as their target text), for
// before-and-after comparisons of a whole installation.
std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            tree[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            tree[name] = "<folder>";
        else
            tree[name] = Octal(ModeOf(entry.path())) + " " + ReadFile(entry.path());
    }
    return tree;
}

class VersionedInstallTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }

    // ROOT with releases 1.0.0.0 (previous) and 1.0.0.1 (current), the
    // launcher in bin/, and release 1.0.0.2 unpacked, with one file more.
    void Reset() {
        std::filesystem::remove_all(scratch_ / "lib");
        MakeFolder(root());
        MakeRelease("1.0.0.0", {"norvale-discovery", "RES_German.rcc"});
        MakeRelease("1.0.0.1", {"norvale-discovery", "RES_German.rcc", "norvale-autoupdate"});
        ::symlink("1.0.0.0", (root() + "/previous").c_str());
        ::symlink("1.0.0.1", (root() + "/current").c_str());
        if (!Exists(launcher())) {
            MakeFolder(scratch_ / "bin");
            // The launcher as installed for the main program.
            std::string script =
                ReadFile(std::string(NORVALE_SOURCE_DIR) + "/packaging/launcher.sh.in");
            for (std::size_t at; (at = script.find("@PROGRAM@")) != std::string::npos;)
                script.replace(at, 9, "norvale-discovery");
            WriteFile(launcher(), script, 0755);
        }
        std::filesystem::remove_all(unpacked());
        MakeFolder(unpacked());
        WriteProgram(unpacked(), "1.0.0.2", 0644);  // an archive without modes
        WriteFile(unpacked() + "/RES_German.rcc", "strings 1.0.0.2", 0644);
        WriteFile(unpacked() + "/RES_French.rcc", "strings 1.0.0.2", 0600);
        WriteFile(unpacked() + "/norvale-autoupdate", "updater 1.0.0.2", 0750);
    }
    void MakeRelease(const std::string& name, const std::vector<std::string>& files) {
        MakeFolder(root() + "/" + name);
        for (const std::string& file : files) {
            if (file == "norvale-discovery")
                WriteProgram(root() + "/" + name, name, 0755);
            else
                WriteFile(root() + "/" + name + "/" + file, file + " " + name, 0644);
        }
    }
    // A main program that says which release it is.
    static void WriteProgram(const std::string& folder, const std::string& release, mode_t mode) {
        WriteFile(folder + "/norvale-discovery", "#!/bin/sh\necho " + release + "\n", mode);
    }
    std::string root() const { return scratch_ / "lib/norvale-discovery"; }
    std::string launcher() const { return scratch_ / "bin/norvale-discovery"; }
    std::string unpacked() const { return scratch_ / "unpacked"; }

    // What the launcher starts: the release's answer, or "" when it cannot.
    std::string Started() const {
        const std::string out = scratch_ / "started";
        if (test::Shell(test::Quote(launcher()) + " > " + test::Quote(out) + " 2>/dev/null") != 0)
            return "";
        const std::string said = ReadFile(out);
        return said.substr(0, said.find('\n'));
    }
    VersionedInstall::Result Install(const InstallControl& control = {}) {
        std::optional<VersionedInstall> install = VersionedInstall::Open(root());
        EXPECT_TRUE(install.has_value());
        return install ? install->Install(unpacked(), kNew, control)
                       : VersionedInstall::Result::Failed;
    }
    std::set<std::string> RootEntries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root()))
            names.insert(entry.path().filename().string());
        return names;
    }

    test::ScratchFolder scratch_;
};

TEST_F(VersionedInstallTest, NewReleaseBecomesCurrentAndTheOneBeforeIsKept) {
    const auto running = Tree(root() + "/1.0.0.1");
    ASSERT_EQ(Started(), "1.0.0.1");
    ASSERT_EQ(Install(), VersionedInstall::Result::Installed);
    EXPECT_EQ(Started(), "1.0.0.2");
    EXPECT_EQ(RootEntries(), (std::set<std::string>{"1.0.0.1", "1.0.0.2", "current", "previous"}));
    EXPECT_EQ(std::filesystem::read_symlink(root() + "/previous"), "1.0.0.1");
    EXPECT_EQ(Tree(root() + "/1.0.0.1"), running);
    const std::map<std::string, std::string> expected = {
        // Executable because the program it replaces was; always owner-writable.
        {"norvale-discovery", "0755 #!/bin/sh\necho 1.0.0.2\n"},
        {"RES_German.rcc", "0644 strings 1.0.0.2"},
        {"RES_French.rcc", "0600 strings 1.0.0.2"},
        {"norvale-autoupdate", "0750 updater 1.0.0.2"},
    };
    EXPECT_EQ(Tree(root() + "/current"), expected);
    // The same release again changes nothing.
    const auto after = Tree(root());
    EXPECT_EQ(Install(), VersionedInstall::Result::AlreadyCurrent);
    EXPECT_EQ(Tree(root()), after);
}

TEST_F(VersionedInstallTest, KillAtEveryStepLeavesOneWholeReleaseThatStarts) {
    const auto oldFiles = Tree(root() + "/1.0.0.1");
    ASSERT_EQ(Install(), VersionedInstall::Result::Installed);
    const auto newFiles = Tree(root() + "/1.0.0.2");
    int points = 0;
    for (int killAt = 1;; ++killAt) {
        Reset();
        const pid_t child = ::fork();
        if (child == 0) {
            int step = 0;
            InstallControl control;
            control.hook = [&](InstallStep) {
                if (++step == killAt) ::raise(SIGKILL);
                return true;
            };
            std::optional<VersionedInstall> install = VersionedInstall::Open(root());
            install->Install(unpacked(), kNew, control);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (!WIFSIGNALED(status)) break;  // the install ended before this step
        points = killAt;
        const std::string started = Started();
        ASSERT_TRUE(started == "1.0.0.1" || started == "1.0.0.2") << "killed at " << killAt;
        EXPECT_EQ(Tree(root() + "/current"), started == "1.0.0.1" ? oldFiles : newFiles)
            << "killed at " << killAt;
        // The next run finishes the job and clears what the killed one left.
        ASSERT_NE(Install(), VersionedInstall::Result::Failed) << "killed at " << killAt;
        EXPECT_EQ(Started(), "1.0.0.2");
        EXPECT_EQ(RootEntries(),
                  (std::set<std::string>{"1.0.0.1", "1.0.0.2", "current", "previous"}))
            << "killed at " << killAt;
        EXPECT_EQ(Tree(root() + "/current"), newFiles);
    }
    std::printf("install killed at each of %d steps\n", points);
    EXPECT_GE(points, 20);
}

TEST_F(VersionedInstallTest, CopyFailingAtTheSecondOfThreeFilesChangesNothing) {
    std::filesystem::remove(unpacked() + "/RES_French.rcc");
    const auto before = Tree(root());
    int opened = 0;
    InstallControl control;
    control.hook = [&](InstallStep step) {
        return step != InstallStep::FileOpened || ++opened != 2;
    };
    EXPECT_EQ(Install(control), VersionedInstall::Result::Failed);
    EXPECT_EQ(opened, 2);
    // Every installed file as it was, and no staging folder or copy left.
    EXPECT_EQ(Tree(root()), before);
    EXPECT_EQ(Started(), "1.0.0.1");
}

TEST_F(VersionedInstallTest, ReleasesThatCannotRunAreRefused) {
    const auto before = Tree(root());
    // A folder, a symlink, or no main program: the switch never happens.
    MakeFolder(unpacked() + "/plugins");
    EXPECT_EQ(Install(), VersionedInstall::Result::Failed);
    std::filesystem::remove(unpacked() + "/plugins");
    ::symlink("/etc/passwd", (unpacked() + "/link").c_str());
    EXPECT_EQ(Install(), VersionedInstall::Result::Failed);
    std::filesystem::remove(unpacked() + "/link");
    std::filesystem::remove(unpacked() + "/norvale-discovery");
    EXPECT_EQ(Install(), VersionedInstall::Result::Failed);
    EXPECT_EQ(Tree(root()), before);
}

TEST_F(VersionedInstallTest, OnlyAnInstallationItsUserMayChangeIsOpened) {
    ASSERT_TRUE(VersionedInstall::Open(root()));
    EXPECT_TRUE(VersionedInstall::Open(root())->IsWritable());
    ::chmod(root().c_str(), 0555);
    EXPECT_FALSE(VersionedInstall::Open(root())->IsWritable()) << "read-only even for root";
    ::chmod(root().c_str(), 0755);
    // A flat folder, a relative path, a link leading out: no installation.
    EXPECT_FALSE(VersionedInstall::Open(root() + "/1.0.0.1"));
    EXPECT_FALSE(VersionedInstall::Open("lib/norvale-discovery"));
    std::filesystem::remove(root() + "/current");
    ::symlink("../../elsewhere", (root() + "/current").c_str());
    EXPECT_FALSE(VersionedInstall::Open(root()));
}

}  // namespace
}  // namespace norvale::updater
