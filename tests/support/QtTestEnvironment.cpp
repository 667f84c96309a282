// One QApplication for every test of a test program, offscreen, with a
// private runtime folder of its own (lock files and local sockets never meet
// another program's).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "tests/support/PrivateRuntimeDir.h"

namespace {

class QtTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        runtimeDir_ = std::make_unique<norvale::test::PrivateRuntimeDir>();
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        app_.reset();
        runtimeDir_.reset();
    }

  private:
    int argc_ = 1;
    char name_[16] = "norvale_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<norvale::test::PrivateRuntimeDir> runtimeDir_;
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
