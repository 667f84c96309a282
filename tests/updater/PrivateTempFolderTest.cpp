#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "UpdaterTestSupport.h"
#include "common/PrivateTempFolder.h"

namespace norvale::updater {
namespace {

using common::IsPrivateFolder;
using common::PrivateTempFolder;
using test::MakeFolder;
using test::ModeOf;

class PrivateTempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFolder(runtime(), 0700);
        MakeFolder(shared(), 01777);
    }
    std::string runtime() const { return scratch_ / "run"; }
    std::string shared() const { return scratch_ / "tmp"; }
    std::string sharedName() const {
        return shared() + "/norvale-discovery-" + std::to_string(::geteuid());
    }

    test::ScratchFolder scratch_;
    test::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", (scratch_ / "run").c_str()};
    test::ScopedEnv tmpEnv_{"TMPDIR", (scratch_ / "tmp").c_str()};
};

TEST_F(PrivateTempFolderTest, MadeInTheRuntimeFolderWithOwnerOnlyAccess) {
    const std::optional<QString> folder = PrivateTempFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->toStdString(), runtime() + "/norvale-discovery");
    EXPECT_EQ(ModeOf(folder->toStdString()), 0700u);
    EXPECT_EQ(PrivateTempFolder(), folder) << "the same folder on the next run";
}

TEST_F(PrivateTempFolderTest, PlantedSymlinkIsNeverFollowed) {
    MakeFolder(scratch_ / "elsewhere", 0700);
    ASSERT_EQ(
        ::symlink((scratch_ / "elsewhere").c_str(), (runtime() + "/norvale-discovery").c_str()), 0);
    ASSERT_EQ(::symlink((scratch_ / "elsewhere").c_str(), sharedName().c_str()), 0);
    const std::optional<QString> folder = PrivateTempFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->startsWith(QString::fromStdString(shared() + "/norvale-discovery-")));
    EXPECT_NE(folder->toStdString(), sharedName());
    EXPECT_TRUE(IsPrivateFolder(*folder));
    EXPECT_FALSE(IsPrivateFolder(QString::fromStdString(sharedName())));
}

TEST_F(PrivateTempFolderTest, OpenRuntimeFolderOrOpenFolderAtTheNameIsPassedOver) {
    ::chmod(runtime().c_str(), 0755);
    MakeFolder(sharedName(), 0777);  // anyone could have planted files in it
    const std::optional<QString> folder = PrivateTempFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_FALSE(folder->startsWith(QString::fromStdString(runtime())));
    EXPECT_NE(folder->toStdString(), sharedName());
    EXPECT_EQ(ModeOf(folder->toStdString()), 0700u);
    EXPECT_EQ(ModeOf(sharedName()), 0777u) << "someone else's folder is not touched";
}

TEST_F(PrivateTempFolderTest, FolderOwnedBySomeoneElseIsRefused) {
    MakeFolder(sharedName(), 0700);
    if (::chown(sharedName().c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root";
    ::chmod(runtime().c_str(), 0755);
    EXPECT_FALSE(IsPrivateFolder(QString::fromStdString(sharedName())));
    const std::optional<QString> folder = PrivateTempFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_NE(folder->toStdString(), sharedName());
}

TEST_F(PrivateTempFolderTest, NoFolderWhenNothingCanBeMade) {
    ::chmod(runtime().c_str(), 0755);
    test::ScopedEnv noTmp("TMPDIR", (scratch_ / "missing").c_str());
    EXPECT_EQ(PrivateTempFolder(), std::nullopt);
}

}  // namespace
}  // namespace norvale::updater
