#pragma once

#include <curl/curl.h>

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace norvale::updater {

// The time limits of one request.
struct CurlLimits {
    // The whole transfer must end within this; zero: no such limit.
    std::chrono::milliseconds overall{0};
    // A transfer that receives no byte for this long fails.
    std::chrono::milliseconds stall{30000};
};

// One GET request on its own libcurl handle, set up the same way for every
// request of the updater: user agent "Agent<milliseconds since boot>",
// "Accept: */*", no caching, https only (redirects too: a redirect to any
// other scheme fails), certificates verified (CURL_CA_BUNDLE, when set,
// names the CA file), proxies from http_proxy/https_proxy/no_proxy as libcurl
// reads them, and the time limits below.
class CurlRequest {
  public:
    // Receives the body in pieces of at most 16 KiB; false stops the transfer.
    using Sink = std::function<bool(const char* data, std::size_t length)>;
    // Asked before each piece and while waiting; true stops the transfer.
    using StopCheck = std::function<bool()>;

    struct Result {
        CURLcode code = CURLE_FAILED_INIT;
        long status = 0;       // HTTP status of the answer, 0 when none
        long proxyStatus = 0;  // status of the proxy's CONNECT answer, 0 when none
        bool sinkStopped = false;
        bool timedOut = false;         // a limit ended it
        bool redirectRefused = false;  // a redirect led away from https
    };

    explicit CurlRequest(const QString& url, CurlLimits limits = {});
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    bool IsValid() const { return handle_ != nullptr; }
    void SetProxyLogin(const QString& user, const QString& password);
    // Runs the request to its end on the calling thread.
    Result Perform(const Sink& sink, const StopCheck& stop);
    // The body's announced length once the headers are in (from the sink);
    // 0 when not announced.
    std::uint64_t ExpectedLength() const;

  private:
    static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool Stalled() const;

    CURL* handle_ = nullptr;
    curl_slist* headers_ = nullptr;
    QByteArray userAgent_;
    QByteArray url_;
    QByteArray proxyUser_;
    QByteArray proxyPassword_;
    QByteArray caFile_;
    CurlLimits limits_;
    std::chrono::steady_clock::time_point lastByte_;
    const Sink* sink_ = nullptr;
    const StopCheck* stop_ = nullptr;
    bool sinkStopped_ = false;
    bool stalled_ = false;
};

}  // namespace norvale::updater
