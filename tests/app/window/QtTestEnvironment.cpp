// One QApplication for every test of this binary, on the offscreen platform,
// with private runtime and temporary folders so that lock files and local
// sockets never meet a running copy of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace {

class QtTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QFile::setPermissions(folder_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", folder_.path().toLocal8Bit());
        qputenv("TMPDIR", folder_.path().toLocal8Bit());
        qputenv("LANG", "en_US.UTF-8");
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[32] = "test_app_window";
    char* argv_[2] = {name_, nullptr};
    QTemporaryDir folder_;
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
