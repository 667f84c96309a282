// Hostile and broken archives: nothing lands outside the destination, sizes
// are enforced, and non-archives fail cleanly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zip/ZipTestSupport.h"
#include "zip/ExtractArchive.h"

namespace norvale::zip::test {
namespace {

std::vector<int> Causes(const std::vector<ZipEntryFailure>& failures) {
    std::vector<int> causes;
    for (auto& f : failures) causes.push_back(f.cause);
    return causes;
}

TEST(ZipSafety, ZipSlipNamesAreRefusedAndTheRestIsExtracted) {
    TempDir dir;
    fs::create_directories(dir / "outside");
    std::vector<ZipEntryFailure> failures;
    fs::path archive = MakeArchive(dir, "slip", (dir / "outside").string());
    EXPECT_FALSE(ExtractArchive(archive, dir / "dest/out", &failures));
    EXPECT_EQ(Causes(failures), (std::vector<int>{12, 12, 12, 12}));
    EXPECT_EQ(ReadFile(dir / "dest/out/ok.txt"), "kept");
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
    EXPECT_EQ(Snapshot(dir / "dest").size(), 2u);  // out, out/ok.txt
}

TEST(ZipSafety, LeadingSeparatorsAreDroppedAndTheEntryStaysInside) {
    TempDir dir;
    fs::create_directories(dir / "outside");
    const fs::path outside = dir / "outside";
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(
        ExtractArchive(MakeArchive(dir, "rooted", outside.string()), dir / "out", &failures));
    EXPECT_EQ(Causes(failures), (std::vector<int>{12, 12}));  // "/../up" and its backslash twin
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(ReadFile(dir / "out" / outside.relative_path() / "abs"), "abs");
    EXPECT_EQ(ReadFile(dir / "out/server/unc.txt"), "unc");
    EXPECT_EQ(ReadFile(dir / "out/twice/t.txt"), "twice");
    EXPECT_TRUE(fs::is_directory(dir / "out/top"));
    EXPECT_FALSE(fs::exists(dir / "up"));
    EXPECT_FALSE(fs::exists(dir / "up2"));
}

TEST(ZipSafety, SymlinksInTheDestinationAreNeverFollowed) {
    TempDir dir;
    fs::create_directories(dir / "outside");
    WriteFile(dir / "outside/target", "original");
    fs::create_directories(dir / "out");
    fs::create_directory_symlink(dir / "outside", dir / "out/late");
    fs::create_symlink(dir / "outside/target", dir / "out/c.txt");
    // "names" holds late/inner.txt and the folder late/; "comment" holds c.txt.
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "names"), dir / "out", &failures));
    EXPECT_EQ(Causes(failures), (std::vector<int>{12, 12}));
    EXPECT_TRUE(ExtractArchive(MakeArchive(dir, "comment"), dir / "out"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out/c.txt")));
    EXPECT_EQ(ReadFile(dir / "outside/target"), "original");
    EXPECT_EQ(Snapshot(dir / "outside").size(), 1u);
}

TEST(ZipSafety, DataLongerOrShorterThanDeclaredFails) {
    TempDir dir;
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "too-long"), dir / "long", &failures));
    EXPECT_EQ(Causes(failures), std::vector<int>{14});
    EXPECT_EQ(fs::file_size(dir / "long/long.txt"), 100u);
    failures.clear();
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "too-short"), dir / "short", &failures));
    EXPECT_EQ(Causes(failures), std::vector<int>{14});
}

TEST(ZipSafety, DeclaredSizeBeyondFreeSpaceWritesNothing) {
    TempDir dir;
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "huge"), dir / "out", &failures));
    EXPECT_EQ(Causes(failures), std::vector<int>{13});
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(ZipSafety, DeclaredSizesThatWrapRoundWriteNothing) {
    TempDir dir;
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "wrapping"), dir / "out", &failures));
    EXPECT_EQ(Causes(failures), std::vector<int>{13});
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(ZipSafety, ErrorPagesAndOtherNonArchivesReturnFalse) {
    TempDir dir;
    WriteFile(dir / "page.zip", "<html><body><h1>404 Not Found</h1></body></html>\n");
    WriteFile(dir / "empty.zip", "");
    WriteFile(dir / "sig-only.zip", std::string("PK\5\6", 4));
    for (const char* name : {"page.zip", "empty.zip", "sig-only.zip", "missing.zip", "."}) {
        std::vector<ZipEntryFailure> failures;
        EXPECT_FALSE(ExtractArchive(dir / name, dir / "out", &failures)) << name;
        EXPECT_EQ(Causes(failures), std::vector<int>{10}) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(ZipSafety, EveryTruncationFailsWithoutCrashing) {
    TempDir dir;
    std::string archive = ReadFile(MakeArchive(dir, "descriptor-signed"));
    for (std::size_t length = 0; length < archive.size(); ++length) {
        WriteFile(dir / "cut.zip", archive.substr(0, length));
        EXPECT_FALSE(ExtractArchive(dir / "cut.zip", dir / "out")) << length;
    }
    // The same archive cut in the middle but with its directory kept.
    std::string holed = archive;
    holed.replace(60, 200, 200, '\0');
    WriteFile(dir / "holed.zip", holed);
    EXPECT_FALSE(ExtractArchive(dir / "holed.zip", dir / "holed"));
}

}  // namespace
}  // namespace norvale::zip::test
