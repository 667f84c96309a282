#include "updater/UpdateClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>

#include "updater/CurlRequest.h"
#include "updater/ListPage.h"
#include "updater/UpdateServer.h"
#include "updater/UpdateState.h"

namespace norvale::updater {
namespace {

// A user who keeps typing wrong logins is asked at most this many times.
constexpr int kMaxProxyLogins = 10;

std::mutex g_mutex;
ProxyLoginHook g_hook;
std::optional<ProxyCredentials> g_acceptedLogin;

ProxyLoginHook CurrentHook() {
    std::lock_guard lock(g_mutex);
    return g_hook;
}

std::optional<ProxyCredentials> AcceptedLogin() {
    std::lock_guard lock(g_mutex);
    return g_acceptedLogin;
}

void RememberLogin(const ProxyCredentials& login) {
    std::lock_guard lock(g_mutex);
    g_acceptedLogin = login;
}

// Printable ASCII without blanks: anything else in an address is refused
// before it reaches libcurl.
bool IsRequestableUrl(const QString& url) {
    if (url.isEmpty()) return false;
    return std::all_of(url.begin(), url.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
}

bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// The archive file, created when the first byte arrives so that an address
// that cannot be opened leaves no file behind.
class ArchiveFile {
  public:
    explicit ArchiveFile(const QString& path) : path_(QFile::encodeName(path)) {}
    ~ArchiveFile() { Close(); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool Open() {
        if (fd_ < 0)
            fd_ = ::open(path_.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                         0600);
        return fd_ >= 0;
    }
    bool Write(const char* data, std::size_t length) {
        return Open() && WriteAll(fd_, data, length);
    }
    // False when the file was never opened or the system reports a late
    // write error.
    bool Close() {
        if (fd_ < 0) return false;
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0;
    }

  private:
    QByteArray path_;
    int fd_ = -1;
};

}  // namespace

void SetProxyLoginHook(ProxyLoginHook hook) {
    std::lock_guard lock(g_mutex);
    g_hook = std::move(hook);
}

void ForgetProxyLogin() {
    std::lock_guard lock(g_mutex);
    g_acceptedLogin.reset();
}

QString ListPageUrl(const QString& versionToken) {
    return UpdateServerBase() + QLatin1String("/firmware/list.asp?type=NORVALE_DISCOVERY&fw=") +
           versionToken;
}

std::optional<QByteArray> FetchListPage(const QString& url) {
    if (!IsRequestableUrl(url)) return std::nullopt;
    std::optional<ProxyCredentials> login = AcceptedLogin();
    for (int asked = 0; asked <= kMaxProxyLogins; ++asked) {
        CurlRequest request(url);
        if (!request.IsValid()) return std::nullopt;
        if (login) request.SetProxyLogin(login->user, login->password);
        ListPage page;
        const auto sink = [&page](const char* data, std::size_t length) {
            std::size_t kept = 0;
            page.Feed(data, length, &kept);
            return kept == length;
        };
        const CurlRequest::Result result = request.Perform(sink, [] { return false; });
        if (result.status == 407 || result.proxyStatus == 407) {
            const ProxyLoginHook hook = CurrentHook();
            login = hook ? hook() : std::nullopt;
            if (!login) return std::nullopt;
            continue;
        }
        const bool cutAtLimit = result.code == CURLE_WRITE_ERROR && page.IsFull();
        if (result.code != CURLE_OK && !cutAtLimit) return std::nullopt;
        if (login) RememberLogin(*login);
        return page.Text();
    }
    return std::nullopt;
}

bool FindUpgradeLink(const QString& versionToken, QString* link) {
    const QString url = ListPageUrl(versionToken);
    const std::optional<QByteArray> page = FetchListPage(url);
    if (!page) return false;
    const std::optional<QString> found = ListPage::FindLink(*page);
    if (!found) return false;
    // An archive of program files fetched in clear text could be swapped on
    // the way; a page read over https only points at https archives.
    if (url.startsWith(QLatin1String("https://")) && !found->startsWith(QLatin1String("https://")))
        return false;
    if (link) *link = *found;
    return true;
}

bool DownloadToFile(const QString& url, const QString& path) {
    return DownloadToFile(url, path, kMaxArchiveBytes);
}

bool DownloadToFile(const QString& url, const QString& path, std::uint64_t maxBytes) {
    if (!IsRequestableUrl(url) || path.isEmpty()) return false;
    if (GetUpdateState() == UpdateState::Aborted) return false;
    CurlRequest request(url);
    if (!request.IsValid()) return false;
    if (const std::optional<ProxyCredentials> login = AcceptedLogin())
        request.SetProxyLogin(login->user, login->password);
    ArchiveFile file(path);
    std::uint64_t received = 0;
    const auto sink = [&](const char* data, std::size_t length) {
        received += length;
        return received <= maxBytes && file.Write(data, length);
    };
    const auto cancelled = [] { return GetUpdateState() == UpdateState::Aborted; };
    const CurlRequest::Result result = request.Perform(sink, cancelled);
    if (result.code != CURLE_OK) {
        file.Close();
        return false;
    }
    return file.Open() && file.Close();
}

}  // namespace norvale::updater
