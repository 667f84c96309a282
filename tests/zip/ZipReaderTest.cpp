// Archive layouts written byte by byte: descriptors, names, modes, times,
// comments, CRC errors, and the central header parser.

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "tests/zip/ZipTestSupport.h"
#include "zip/ExtractArchive.h"
#include "zip/FileHeader.h"
#include "zip/ZipArchive.h"
#include "zip/ZipException.h"

namespace norvale::zip::test {
namespace {

const std::string kText = [] {
    std::string text;
    for (int i = 0; i < 700; ++i) text += "line of text\n";
    return text;
}();

TEST(ZipReader, DescriptorsWithAndWithoutSignatureAreAccepted) {
    TempDir dir;
    for (const char* kind : {"descriptor-signed", "descriptor-unsigned"}) {
        SCOPED_TRACE(kind);
        fs::path out = dir / kind;
        std::vector<ZipEntryFailure> failures;
        EXPECT_TRUE(ExtractArchive(MakeArchive(dir, kind), out, &failures));
        EXPECT_TRUE(failures.empty());
        EXPECT_TRUE(ReadFile(out / "a.txt") == kText);
    }
    std::string bytes;
    for (int i = 0; i < 9; ++i)
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    EXPECT_TRUE(ReadFile(dir / "descriptor-unsigned/b.bin") == bytes);
}

// bad.txt is still being written and checked when long.txt fails to read:
// both failures are reported, in entry order.
TEST(ZipReader, WrongCrcFailsWithCause11AfterTheDataIsWritten) {
    TempDir dir;
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "bad-crc"), dir / "out", &failures));
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].name, "bad.txt");
    EXPECT_EQ(failures[0].cause, 11);
    EXPECT_EQ(failures[1].name, "long.txt");
    EXPECT_EQ(failures[1].cause, 14);
    EXPECT_TRUE(ReadFile(dir / "out/bad.txt") == kText);
    EXPECT_EQ(ReadFile(dir / "out/good.txt"), "fine\n");
}

TEST(ZipReader, NamesSplitAtBothSlashesAndDecodeCp437OrUtf8) {
    TempDir dir;
    ASSERT_TRUE(ExtractArchive(MakeArchive(dir, "names"), dir / "out"));
    std::map<std::string, std::string> tree;
    for (auto& [name, value] : Snapshot(dir / "out")) tree[name] = value.substr(0, 1);
    std::map<std::string, std::string> expected = {{"d1", "d"},
                                                   {"d1/d2", "d"},
                                                   {"d1/d2/back.txt", "f"},
                                                   {"f1", "d"},
                                                   {"f1/f2", "d"},
                                                   {"f1/f2/fwd.txt", "f"},
                                                   {"caf\xc3\xa9.txt", "f"},
                                                   {"d\xc3\xa9j\xc3\xa0.txt", "f"},
                                                   {"late", "d"},
                                                   {"late/inner.txt", "f"},
                                                   {"empty-folder", "d"}};
    EXPECT_EQ(tree, expected);
    EXPECT_EQ(ReadFile(dir / "out/d1/d2/back.txt"), "back");
}

TEST(ZipReader, ModesKeepExecDropSetuidAndRefuseSymlinks) {
    TempDir dir;
    std::vector<ZipEntryFailure> failures;
    EXPECT_FALSE(ExtractArchive(MakeArchive(dir, "modes"), dir / "out", &failures));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, "link");
    EXPECT_EQ(failures[0].cause, 12);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "out/link")));
    EXPECT_EQ(fs::status(dir / "out/run.sh").permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(dir / "out/ro.txt").permissions() & fs::perms(0222), fs::perms::none);
}

TEST(ZipReader, DosDateAndTimeBecomeTheModificationTime) {
    TempDir dir;
    ASSERT_TRUE(ExtractArchive(MakeArchive(dir, "comment"), dir / "out"));
    std::tm t{};
    t.tm_year = 101, t.tm_mon = 1, t.tm_mday = 3, t.tm_hour = 4, t.tm_min = 5, t.tm_sec = 6;
    t.tm_isdst = -1;
    EXPECT_EQ(FileTimes(dir / "out")["c.txt"], std::mktime(&t));
}

TEST(ZipReader, CommentOpensAndMissingEndRecordDoesNot) {
    TempDir dir;
    fs::path archive = MakeArchive(dir, "comment");
    CZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    EXPECT_EQ(zip.CentralDir().Comment(), std::string(100, 'C'));
    EXPECT_EQ(zip.GetCount(), 1u);
    EXPECT_THROW(zip.GetFileInfo(1), std::invalid_argument);
    zip.Close();

    std::string bytes = ReadFile(archive);
    WriteFile(dir / "cut.zip", bytes.substr(0, bytes.size() - 122));
    EXPECT_FALSE(zip.Open(dir / "cut.zip"));
    EXPECT_FALSE(ExtractArchive(dir / "cut.zip", dir / "cut"));
    EXPECT_FALSE(fs::exists(dir / "cut"));
}

TEST(ZipReader, EmptyArchiveSucceedsWithNothingExtracted) {
    TempDir dir;
    WriteFile(dir / "empty.zip", std::string("PK\5\6", 4) + std::string(18, '\0'));
    EXPECT_TRUE(ExtractArchive(dir / "empty.zip", dir / "out"));
    EXPECT_TRUE(Snapshot(dir / "out").empty());
}

TEST(ZipReader, CentralHeaderParsesOnlyWhenWholeAtEverySplit) {
    TempDir dir;
    std::string archive = ReadFile(MakeArchive(dir, "comment"));
    std::size_t at = archive.find("PK\1\2");
    ASSERT_NE(at, std::string::npos);
    const auto* data = reinterpret_cast<const std::uint8_t*>(archive.data() + at);
    const std::size_t whole = CFileHeader::kFixedSize + 5;  // "c.txt"
    for (std::size_t length = 0; length < whole; ++length) {
        CFileHeader header;
        std::size_t consumed = 0;
        EXPECT_FALSE(header.Parse(data, length, &consumed)) << length;
    }
    CFileHeader header;
    std::size_t consumed = 0;
    ASSERT_TRUE(header.Parse(data, whole, &consumed));
    EXPECT_EQ(consumed, whole);
    EXPECT_EQ(header.Name(), "c.txt");
    EXPECT_EQ(header.uncompressedSize, kText.size());
}

}  // namespace
}  // namespace norvale::zip::test
