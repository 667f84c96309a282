#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace norvale::test {

// A private runtime folder (mode 0700) named by XDG_RUNTIME_DIR while this
// lives, so that the lock files and local sockets of a test, a benchmark or
// a screenshot run never meet another program's. Make it before the
// QApplication and let it outlive that.
class PrivateRuntimeDir {
  public:
    PrivateRuntimeDir() {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
    }

  private:
    QTemporaryDir dir_;
};

}  // namespace norvale::test
