// Archives made by real tools extract to the same tree as unzip makes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/zip/ZipTestSupport.h"
#include "zip/ExtractArchive.h"

namespace norvale::zip::test {
namespace {

class ToolArchives : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::path src = dir_ / "src";
        std::string text, binary;
        for (int i = 0; i < 4000; ++i) {
            text.append("row ").append(std::to_string(i * 7919 % 1000)).append(" of text\n");
        }
        unsigned state = 12345;
        for (int i = 0; i < 700000; ++i) {  // several output chunks
            state = state * 1103515245u + 12345u;
            binary += static_cast<char>(i % 3 == 0 ? 0 : (state >> 16));
        }
        WriteFile(src / "readme.txt", text);
        WriteFile(src / "bin/program.dat", binary);
        WriteFile(src / "bin/empty", "");
        WriteFile(src / "deep/a/b/c/note.txt", "deep\n");
        WriteFile(src / "na\xc3\xafve.txt", "utf8 name\n");
        WriteFile(src / "run.sh", "#!/bin/sh\necho updated\n");
        fs::permissions(src / "run.sh", fs::perms(0755));
        fs::create_directories(src / "empty-folder");
    }

    // Extracts `archive` with ExtractArchive and with unzip and compares.
    void ExpectSameAsUnzip(const fs::path& archive) {
        SCOPED_TRACE(archive.filename().string());
        fs::path ours = dir_ / ("ours-" + archive.stem().string());
        fs::path theirs = dir_ / ("unzip-" + archive.stem().string());
        std::vector<ZipEntryFailure> failures;
        EXPECT_TRUE(ExtractArchive(archive, ours, &failures));
        for (auto& f : failures)
            ADD_FAILURE() << f.name << ": cause " << f.cause << " " << f.detail;
        RunShell(dir_.Path(), "unzip -o -q " + Quote(archive) + " -d " + Quote(theirs));
        auto expected = Snapshot(theirs);
        EXPECT_GT(expected.size(), 8u);
        EXPECT_EQ(Snapshot(ours), expected);
        auto ourTimes = FileTimes(ours);
        for (auto& [name, time] : FileTimes(theirs)) EXPECT_NEAR(ourTimes[name], time, 2) << name;
    }

    fs::path Tool(const std::string& name, const std::string& command) {
        EXPECT_TRUE(RunShell(dir_ / "src", command)) << command;
        return dir_ / name;
    }

    TempDir dir_;
};

TEST_F(ToolArchives, InfoZipDeflatedStoredAndDescriptorArchivesMatchUnzip) {
    ExpectSameAsUnzip(Tool("deflated.zip", "zip -q -r ../deflated.zip ."));
    ExpectSameAsUnzip(Tool("stored.zip", "zip -q -r -0 ../stored.zip ."));
    ExpectSameAsUnzip(Tool("forced.zip", "zip -q -r -fd ../forced.zip ."));
    ExpectSameAsUnzip(Tool("streamed.zip", "zip -q -r -fz- - . > ../streamed.zip"));
    ExpectSameAsUnzip(Tool("streamed64.zip", "zip -q -r - . > ../streamed64.zip"));
    // A member read from stdin ("-") gets ZIP64 sizes and a pipe's mode.
    ExpectSameAsUnzip(Tool("stdin.zip",
                           "zip -q -r ../stdin.zip . && "
                           "cat readme.txt | zip -q ../stdin.zip -"));
}

TEST_F(ToolArchives, SevenZipBsdtarAndPythonArchivesMatchUnzip) {
    ExpectSameAsUnzip(Tool("seven.zip", "7z a -tzip -bd ../seven.zip ."));
    ExpectSameAsUnzip(Tool("bsdtar.zip", "bsdtar --format zip -cf ../bsdtar.zip ."));
    ExpectSameAsUnzip(Tool("bsdtar-stored.zip",
                           "bsdtar --format zip --options zip:compression=store -cf - . > "
                           "../bsdtar-stored.zip"));
    ExpectSameAsUnzip(Tool("python.zip",
                           "python3 -c 'import shutil; shutil.make_archive(\"../python\", "
                           "\"zip\", \".\")'"));
}

TEST_F(ToolArchives, ExecutableKeepsItsExecBits) {
    fs::path archive = Tool("exec.zip", "zip -q ../exec.zip run.sh");
    ASSERT_TRUE(ExtractArchive(archive, dir_ / "out"));
    EXPECT_EQ(fs::status(dir_ / "out/run.sh").permissions() & fs::perms::all, fs::perms(0755));
}

TEST_F(ToolArchives, StubInFrontIsSkippedThroughBytesBefore) {
    Tool("plain.zip", "zip -q -r ../plain.zip .");
    WriteFile(dir_ / "sfx.zip", std::string(7001, 'M') + ReadFile(dir_ / "plain.zip"));
    std::vector<ZipEntryFailure> failures;
    EXPECT_TRUE(ExtractArchive(dir_ / "sfx.zip", dir_ / "sfx", &failures));
    EXPECT_TRUE(failures.empty());
    RunShell(dir_.Path(), "unzip -o -q plain.zip -d plain");
    EXPECT_EQ(Snapshot(dir_ / "sfx"), Snapshot(dir_ / "plain"));
}

}  // namespace
}  // namespace norvale::zip::test
