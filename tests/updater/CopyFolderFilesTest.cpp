#include <gtest/gtest.h>
#include <unistd.h>

#include "UpdaterTestSupport.h"
#include "updater/CopyFolderFiles.h"

namespace norvale::updater {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ModeOf;
using test::ReadFile;
using test::Snapshot;
using test::WriteFile;

class CopyFolderFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFolder(source());
        MakeFolder(target());
        WriteFile(source() + "/norvale-discovery", "new program", 0755);
        WriteFile(source() + "/RES_German.rcc", "new strings", 0644);
        WriteFile(source() + "/private.key", "new key", 0600);
        WriteFile(target() + "/norvale-discovery", "old program", 0755);
        WriteFile(target() + "/RES_German.rcc", "old strings", 0644);
        WriteFile(target() + "/user-notes.txt", "kept", 0640);
    }
    std::string source() const { return scratch_ / "unpacked"; }
    std::string target() const { return scratch_ / "install"; }
    bool Copy() { return CopyFolderFiles(scratch_.QPath("unpacked"), scratch_.QPath("install")); }

    test::ScratchFolder scratch_;
};

TEST_F(CopyFolderFilesTest, EveryFileIsReplacedWithItsModeAndOthersStay) {
    ASSERT_TRUE(Copy());
    const test::FolderSnapshot after = Snapshot(target());
    const test::FolderSnapshot expected = {
        {"norvale-discovery", {0755, "new program"}},
        {"RES_German.rcc", {0644, "new strings"}},
        {"private.key", {0600, "new key"}},
        {"user-notes.txt", {0640, "kept"}},
    };
    EXPECT_EQ(after, expected) << "no temporary file may be left either";
}

TEST_F(CopyFolderFilesTest, ReplacedProgramStaysExecutableAndCopiesStayWritable) {
    // An archive made without Unix modes unpacks files as plain data.
    WriteFile(source() + "/norvale-discovery", "new program", 0644);
    WriteFile(source() + "/readme.txt", "read only in the archive", 0444);
    ASSERT_TRUE(Copy());
    EXPECT_EQ(ModeOf(target() + "/norvale-discovery"), 0755u);
    // Owner-writable, or the next update would find it read-only and refuse.
    EXPECT_EQ(ModeOf(target() + "/readme.txt"), 0644u);
}

TEST_F(CopyFolderFilesTest, ReadOnlyInstalledFileLeavesTheInstallationUntouched) {
    // Sorted last, so the other files were already copied when it fails.
    WriteFile(source() + "/zz-locked.dat", "new", 0644);
    WriteFile(target() + "/zz-locked.dat", "old", 0444);
    const test::FolderSnapshot before = Snapshot(target());
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Snapshot(target()), before);
}

TEST_F(CopyFolderFilesTest, FolderOrSymlinkInTheSourceFailsWithoutChanges) {
    const test::FolderSnapshot before = Snapshot(target());
    MakeFolder(source() + "/plugins");
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Snapshot(target()), before);
    ::rmdir((source() + "/plugins").c_str());

    WriteFile(scratch_ / "secret", "outside", 0600);
    ASSERT_EQ(::symlink((scratch_ / "secret").c_str(), (source() + "/link").c_str()), 0);
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Snapshot(target()), before);
}

TEST_F(CopyFolderFilesTest, InstalledFolderOfTheSameNameFails) {
    MakeFolder(target() + "/private.key");
    const test::FolderSnapshot before = Snapshot(target());
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Snapshot(target()), before);
}

TEST_F(CopyFolderFilesTest, MissingFoldersAtEitherEnd) {
    // An unpacking folder that cannot be listed holds nothing to copy.
    EXPECT_TRUE(CopyFolderFiles(scratch_.QPath("nowhere"), scratch_.QPath("install")));
    EXPECT_EQ(ReadFile(target() + "/norvale-discovery"), "old program");
    EXPECT_FALSE(CopyFolderFiles(scratch_.QPath("unpacked"), scratch_.QPath("gone")));
    EXPECT_FALSE(CopyFolderFiles(scratch_.QPath("unpacked"), QString()));
    EXPECT_FALSE(Exists(scratch_ / "gone"));
}

TEST_F(CopyFolderFilesTest, EmptySourceCopiesNothing) {
    MakeFolder(scratch_ / "empty");
    const test::FolderSnapshot before = Snapshot(target());
    EXPECT_TRUE(CopyFolderFiles(scratch_.QPath("empty"), scratch_.QPath("install")));
    EXPECT_EQ(Snapshot(target()), before);
}

}  // namespace
}  // namespace norvale::updater
