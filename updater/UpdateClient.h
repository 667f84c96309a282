#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace norvale::updater {

// A login for a proxy that answered 407.
struct ProxyCredentials {
    QString user;
    QString password;
};

// Asked on the thread that fetches the list page when a proxy wants a login;
// nullopt means the user cancelled. A login that the proxy accepted is kept
// for the rest of the process and also used by downloads.
using ProxyLoginHook = std::function<std::optional<ProxyCredentials>()>;

// Replaces the hook (an empty hook: a 407 gives no page). Thread-safe.
void SetProxyLoginHook(ProxyLoginHook hook);

// Drops the login kept from an earlier 407. Thread-safe.
void ForgetProxyLogin();

// How long the server may take. The list page must arrive whole within
// `listPage`; a download (archive or signature) fails once no byte came for
// `stall`. The defaults are the updater's; tests shorten them.
struct TransferLimits {
    std::chrono::milliseconds listPage{30000};
    std::chrono::milliseconds stall{30000};
};
// Replaces the limits for the rest of the process. Thread-safe.
void SetTransferLimits(TransferLimits limits);
TransferLimits CurrentTransferLimits();

// The list-page address for a version token such as "VER:1.00.0123.045":
// server base + "/firmware/list.asp?type=NORVALE_DISCOVERY&fw=" + token,
// the token inserted as it is.
QString ListPageUrl(const QString& versionToken);

// The body of `url` whatever its HTTP status, cut after 29,999 bytes; nullopt
// on a network failure, a refused certificate, a cancelled proxy login, a
// page that does not arrive within the time limit, an address that is not
// https or one with blanks or control characters. Blocks the calling thread.
std::optional<QByteArray> FetchListPage(const QString& url);

// Asks the server whether `versionToken` has an update. True with `*link`
// (not null) set to the archive's address when the page offers one; only an
// https link counts. False at once when the server base is refused.
bool FindUpgradeLink(const QString& versionToken, QString* link);

// Stores the body of `url` (https only) in the file `path` (created with
// mode 0600 once the answer starts; a symlink there is never followed). The
// state is checked before every piece of at most 16 KiB and while waiting:
// Aborted ends the download. True only when the whole body was written; on a
// cancel, a stall, a network or a write failure the partial file stays.
// Progress() counts the bytes.
bool DownloadToFile(const QString& url, const QString& path);

// Update archives are far smaller; a body that grows past this is refused.
inline constexpr std::uint64_t kMaxArchiveBytes = std::uint64_t{1} << 30;

// Told of every piece of the body once the file took it, in order, on the
// downloading thread: when the download succeeds, the pieces together are
// exactly the file's bytes.
using WrittenPiece = std::function<void(const char* data, std::size_t length)>;

// DownloadToFile with its own size limit: a body longer than `maxBytes`
// fails once the limit is passed (the bytes up to it stay in the file).
// `written`, when set, sees the file's bytes as they are written.
bool DownloadToFile(const QString& url, const QString& path, std::uint64_t maxBytes,
                    const WrittenPiece& written = {});

}  // namespace norvale::updater
