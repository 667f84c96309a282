#pragma once

#include <QByteArray>
#include <QString>
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

// The list-page address for a version token such as "VER:1.00.0123.045":
// server base + "/firmware/list.asp?type=NORVALE_DISCOVERY&fw=" + token,
// the token inserted as it is.
QString ListPageUrl(const QString& versionToken);

// The body of `url` whatever its HTTP status, cut after 29,999 bytes; nullopt
// on a network failure, a refused certificate, a cancelled proxy login or an
// address with blanks or control characters. Blocks the calling thread.
std::optional<QByteArray> FetchListPage(const QString& url);

// Asks the server whether `versionToken` has an update. True with `*link`
// (not null) set to the archive's address when the page offers one. When the
// page came over https, only an https link counts.
bool FindUpgradeLink(const QString& versionToken, QString* link);

// Stores the body of `url` in the file `path` (created with mode 0600 once
// the answer starts; a symlink there is never followed). The state is checked
// before every piece of at most 16 KiB and while waiting: Aborted ends the
// download. True only when the whole body was written; on a cancel, a
// network or a write failure the partial file stays.
bool DownloadToFile(const QString& url, const QString& path);

// Update archives are far smaller; a body that grows past this is refused.
inline constexpr std::uint64_t kMaxArchiveBytes = std::uint64_t{1} << 30;

// DownloadToFile with its own size limit: a body longer than `maxBytes`
// fails once the limit is passed (the bytes up to it stay in the file).
bool DownloadToFile(const QString& url, const QString& path, std::uint64_t maxBytes);

}  // namespace norvale::updater
