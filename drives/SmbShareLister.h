#pragma once

#include <QString>
#include <vector>

#include "drives/Credentials.h"
#include "drives/ShareTypes.h"

namespace drives {

// Lists the shares of one SMB server with libsmbclient; no connection or
// login is kept from one call to the next. With credentials
// the silent fallback to anonymous access is off, so a wrong password is
// reported as such; without, the listing is anonymous. Every network wait
// is bounded by the timeout. Safe from any thread: each thread lists through
// a client context of its own.
class SmbShareLister {
  public:
    // At most this many shares are read from one server.
    static constexpr int kMaxShares = 4096;

    explicit SmbShareLister(int timeoutMs = 4000) : timeoutMs_(timeoutMs) {}

    // The server must have passed IsValidHostName. 0 and the shares (disk
    // shares as kShareDisk, printers as kSharePrintQueue, IPC shares as
    // kShareIpc, names that are no valid share names left out), or an error
    // code with *message the client library's text for it.
    int List(const QString& server, const Credentials* credentials, std::vector<ShareEntry>* shares,
             QString* message) const;

    // The error code for an errno of the client library.
    static int CodeForErrno(int error);

  private:
    int timeoutMs_;
};

}  // namespace drives
