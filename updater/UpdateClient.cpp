#include "updater/UpdateClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

#include "common/FileWriting.h"
#include "updater/CurlRequest.h"
#include "updater/ListPage.h"
#include "updater/UpdateProgress.h"
#include "updater/UpdateServer.h"
#include "updater/UpdateState.h"

namespace norvale::updater {
namespace {

// A user who keeps typing wrong logins is asked at most this many times.
constexpr int kMaxProxyLogins = 10;

std::mutex g_mutex;
ProxyLoginHook g_hook;
std::optional<ProxyCredentials> g_acceptedLogin;
TransferLimits g_limits;

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

// An https address of printable ASCII without blanks: anything else is
// refused before it reaches libcurl.
bool IsRequestableUrl(const QString& url) {
    if (!url.startsWith(QLatin1String("https://"))) return false;
    return std::all_of(url.begin(), url.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
}

// The address a redirect led to is the server's text: it is not printed.
void ReportRefusedRedirect(const CurlRequest::Result& result) {
    if (!result.redirectRefused) return;
    QTextStream(stderr) << "norvale-autoupdate: refused a redirect that leaves https; "
                           "updates are fetched over https only"
                        << Qt::endl;
}

// The archive file, created when the first byte arrives so that an address
// that cannot be opened leaves no file behind. The pieces (16 KiB at most)
// are gathered and written a quarter of a megabyte at a time.
class ArchiveFile {
  public:
    explicit ArchiveFile(const QString& path) : path_(QFile::encodeName(path)) {}
    ~ArchiveFile() { Close(); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool Open() {
        if (fd_ < 0) {
            fd_ = ::open(path_.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                         0600);
            pending_.reserve(kBatch);
        }
        return fd_ >= 0;
    }
    bool Write(const char* data, std::size_t length) {
        if (!Open()) return false;
        if (pending_.size() + length > kBatch && !Flush()) return false;
        if (length >= kBatch) return common::WriteAll(fd_, data, length);
        pending_.insert(pending_.end(), data, data + length);
        return true;
    }
    // Writes what was gathered and closes the file. False when the file was
    // never opened or a write fails, also a late one that only close reports.
    bool Close() {
        if (fd_ < 0) return false;
        const bool flushed = Flush();
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0 && flushed;
    }

  private:
    static constexpr std::size_t kBatch = 256 * 1024;

    bool Flush() {
        const bool written = common::WriteAll(fd_, pending_.data(), pending_.size());
        pending_.clear();
        return written;
    }

    QByteArray path_;
    int fd_ = -1;
    std::vector<char> pending_;
};

}  // namespace

void SetProxyLoginHook(ProxyLoginHook hook) {
    std::lock_guard lock(g_mutex);
    g_hook = std::move(hook);
}

void SetTransferLimits(TransferLimits limits) {
    std::lock_guard lock(g_mutex);
    g_limits = limits;
}

TransferLimits CurrentTransferLimits() {
    std::lock_guard lock(g_mutex);
    return g_limits;
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
    const TransferLimits limits = CurrentTransferLimits();
    for (int asked = 0; asked <= kMaxProxyLogins; ++asked) {
        CurlRequest request(url, {limits.listPage, limits.listPage});
        if (!request.IsValid()) return std::nullopt;
        if (login) request.SetProxyLogin(login->user, login->password);
        ListPage page;
        const auto sink = [&page](const char* data, std::size_t length) {
            std::size_t kept = 0;
            page.Feed(data, length, &kept);
            return kept == length;
        };
        const CurlRequest::Result result = request.Perform(sink, [] { return false; });
        ReportRefusedRedirect(result);
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
    if (UpdateServerBase().isEmpty()) return false;
    const std::optional<QByteArray> page = FetchListPage(ListPageUrl(versionToken));
    if (!page) return false;
    const std::optional<QString> found = ListPage::FindLink(*page);
    // Archives come over https only, like the page.
    if (!found || !found->startsWith(QLatin1String("https://"))) return false;
    if (link) *link = *found;
    return true;
}

bool DownloadToFile(const QString& url, const QString& path) {
    return DownloadToFile(url, path, kMaxArchiveBytes);
}

bool DownloadToFile(const QString& url, const QString& path, std::uint64_t maxBytes,
                    const WrittenPiece& written) {
    if (!IsRequestableUrl(url) || path.isEmpty()) return false;
    if (GetUpdateState() == UpdateState::Aborted) return false;
    CurlRequest request(url, {std::chrono::milliseconds(0), CurrentTransferLimits().stall});
    if (!request.IsValid()) return false;
    if (const std::optional<ProxyCredentials> login = AcceptedLogin())
        request.SetProxyLogin(login->user, login->password);
    ArchiveFile file(path);
    std::uint64_t received = 0;
    UpdateProgress& progress = Progress();
    const auto sink = [&](const char* data, std::size_t length) {
        if (received == 0) progress.bytesExpected = request.ExpectedLength();
        // Checked: the sum never wraps round below the limit.
        if (length > maxBytes - std::min(received, maxBytes) || !file.Write(data, length))
            return false;
        if (written) written(data, length);
        received += length;
        progress.bytesReceived = received;
        return true;
    };
    const auto cancelled = [] { return GetUpdateState() == UpdateState::Aborted; };
    const CurlRequest::Result result = request.Perform(sink, cancelled);
    ReportRefusedRedirect(result);
    if (result.code != CURLE_OK) {
        file.Close();
        return false;
    }
    return file.Open() && file.Close();
}

}  // namespace norvale::updater
