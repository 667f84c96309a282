#pragma once

#include <QSet>
#include <QString>

#include "drives/MountList.h"

namespace drives {

// A mount list the test writes: the FUSE folders it names are mounted.
class FakeMountList : public MountList {
  public:
    bool MountedFolders(QSet<QString>* folders) override {
        *folders = mounted;
        return true;
    }
    QSet<QString> mounted;
};

}  // namespace drives
