// The one line the main program hands the updater, as written and as read.
#include <gtest/gtest.h>

#include "common/UpdaterCommandLine.h"

namespace norvale::common {
namespace {

TEST(UpdaterCommandLine, WrittenVersionAndFolderReadBackAlike) {
    EXPECT_EQ(UpdaterCommandLineText({1, 61, 932, 1}, QStringLiteral("/opt/n d")),
              QStringLiteral("VER:1.610.0932.001 DIR:/opt/n d"));
    EXPECT_EQ(UpdaterCommandLineText({2, 5, 7, 12}, QStringLiteral("/x")),
              QStringLiteral("VER:2.50.0007.012 DIR:/x"));
    const UpdaterCommandLine read = ParseUpdaterCommandLine(UpdaterCommandLineText(
        {1, 2, 2026, 341}, QStringLiteral("/home/a b/lib/norvale-discovery")));
    EXPECT_EQ(read.versionToken, QStringLiteral("VER:1.20.2026.341"));
    EXPECT_EQ(read.installFolder.value_or(QString()),
              QStringLiteral("/home/a b/lib/norvale-discovery"));
}

TEST(UpdaterCommandLine, FolderRunsToTheEndOfTheLineBlanksIncluded) {
    const UpdaterCommandLine line =
        ParseUpdaterCommandLine(QStringLiteral("VER:1.00.0123.045 DIR:/opt/Program Files/X Y "));
    EXPECT_EQ(line.versionToken, QStringLiteral("VER:1.00.0123.045"));
    ASSERT_TRUE(line.installFolder);
    EXPECT_EQ(*line.installFolder, QStringLiteral("/opt/Program Files/X Y "));

    // A shell that split the line gives the same line back once joined.
    const UpdaterCommandLine split = ParseUpdaterCommandLine(
        JoinArguments({"VER:1.00.0123.045", "DIR:/opt/Program", "Files/X", "Y"}));
    EXPECT_EQ(split.versionToken, QStringLiteral("VER:1.00.0123.045"));
    EXPECT_EQ(split.installFolder.value_or(QString()), QStringLiteral("/opt/Program Files/X Y"));
}

TEST(UpdaterCommandLine, MissingOrMisplacedPartsLeaveNoFolder) {
    const UpdaterCommandLine noVersion = ParseUpdaterCommandLine(QStringLiteral("DIR:/opt/x"));
    EXPECT_TRUE(noVersion.versionToken.isEmpty());
    EXPECT_FALSE(noVersion.installFolder);

    const UpdaterCommandLine noFolder =
        ParseUpdaterCommandLine(QStringLiteral("VER:2.50.0007.012"));
    EXPECT_EQ(noFolder.versionToken, QStringLiteral("VER:2.50.0007.012"));
    EXPECT_FALSE(noFolder.installFolder);

    const UpdaterCommandLine reversed =
        ParseUpdaterCommandLine(QStringLiteral("DIR:/opt/x VER:2.50.0007.012"));
    EXPECT_EQ(reversed.versionToken, QStringLiteral("VER:2.50.0007.012"));
    EXPECT_FALSE(reversed.installFolder);

    const UpdaterCommandLine leading = ParseUpdaterCommandLine(QStringLiteral("-x VER:1.2 DIR:/a"));
    EXPECT_EQ(leading.versionToken, QStringLiteral("VER:1.2"));
    EXPECT_EQ(leading.installFolder.value_or(QString()), QStringLiteral("/a"));

    const UpdaterCommandLine empty = ParseUpdaterCommandLine(QStringLiteral("VER:DIR:/a"));
    EXPECT_EQ(empty.versionToken, QStringLiteral("VER:"));
    EXPECT_EQ(empty.installFolder.value_or(QString()), QStringLiteral("/a"));
}

}  // namespace
}  // namespace norvale::common
