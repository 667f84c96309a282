#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

namespace norvale::stack::testing {

// Number of descriptors this process has open.
inline int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

// Fails a test that leaves a descriptor open behind it.
class NothingLeftOpen : public ::testing::Test {
  protected:
    void SetUp() override { before_ = OpenDescriptors(); }
    void TearDown() override { EXPECT_EQ(OpenDescriptors(), before_) << "descriptors left open"; }

  private:
    int before_ = 0;
};

}  // namespace norvale::stack::testing
