#pragma once

#include <curl/curl.h>

#include <QString>
#include <cstddef>
#include <functional>

namespace norvale::updater {

// One GET request on its own libcurl handle, set up the same way for every
// request of the updater: user agent "Agent<milliseconds since boot>",
// "Accept: */*", no caching, http and https only (a redirect from https
// must stay on https), certificates verified (CURL_CA_BUNDLE, when set,
// names the CA file), proxies from http_proxy/https_proxy/no_proxy as libcurl
// reads them, and a transfer that stalls for a minute fails.
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
    };

    explicit CurlRequest(const QString& url);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    bool IsValid() const { return handle_ != nullptr; }
    void SetProxyLogin(const QString& user, const QString& password);
    // Runs the request to its end on the calling thread.
    Result Perform(const Sink& sink, const StopCheck& stop);

  private:
    static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURL* handle_ = nullptr;
    curl_slist* headers_ = nullptr;
    QByteArray userAgent_;
    QByteArray url_;
    QByteArray proxyUser_;
    QByteArray proxyPassword_;
    QByteArray caFile_;
    const Sink* sink_ = nullptr;
    const StopCheck* stop_ = nullptr;
    bool sinkStopped_ = false;
};

}  // namespace norvale::updater
