#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "UpdaterTestSupport.h"
#include "updater/UpdaterOptions.h"

namespace norvale::updater::testing {
class TlsServer;
}

namespace norvale::updater::test {

// Release 1.2.2026.342, signed by the tests' key: `fileCount` files of
// `fileBytes` pattern bytes and the main program, served as Norvale.zip
// (with its .minisig) by a private nginx on 127.0.0.1 at `bytesPerSecond`;
// and an installation of release 1.2.2026.341 for it to update. Sets
// CURL_CA_BUNDLE while it lives. Run inside the loopback-only namespace.
class ServedRelease {
  public:
    ServedRelease(int fileCount, std::size_t fileBytes, int bytesPerSecond);
    ~ServedRelease();
    ServedRelease(const ServedRelease&) = delete;
    ServedRelease& operator=(const ServedRelease&) = delete;

    bool Serving() const;
    QString Link() const;
    QString InstallFolder() const;
    std::uint64_t ArchiveSize() const { return archiveSize_; }
    // Options of an updater that trusts the tests' key, closes no program
    // and answers No when asked whether to start the updated program.
    UpdaterOptions Options() const;

  private:
    ScratchFolder scratch_;
    std::unique_ptr<testing::TlsServer> server_;
    std::unique_ptr<ScopedEnv> caBundle_;
    std::uint64_t archiveSize_ = 0;
};

}  // namespace norvale::updater::test
