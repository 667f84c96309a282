#include "updater/CurlRequest.h"

#include <time.h>

#include <QtGlobal>
#include <cstring>
#include <mutex>

namespace norvale::updater {
namespace {

constexpr long kChunkBytes = 16 * 1024;
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kMaxRedirects = 5;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Milliseconds since the system started, as a signed number.
long MillisecondTick() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + static_cast<long>(now.tv_nsec / 1000000);
}

}  // namespace

CurlRequest::CurlRequest(const QString& url, CurlLimits limits) : limits_(limits) {
    InitCurlOnce();
    handle_ = curl_easy_init();
    if (!handle_) return;
    url_ = url.toUtf8();
    userAgent_ = "Agent" + QByteArray::number(static_cast<qlonglong>(MillisecondTick()));
    for (const char* header : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"})
        headers_ = curl_slist_append(headers_, header);
    curl_easy_setopt(handle_, CURLOPT_URL, url_.constData());
    curl_easy_setopt(handle_, CURLOPT_USERAGENT, userAgent_.constData());
    curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_BUFFERSIZE, kChunkBytes);
    curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    if (limits_.overall.count() > 0)
        curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, static_cast<long>(limits_.overall.count()));
    curl_easy_setopt(handle_, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    caFile_ = qgetenv("CURL_CA_BUNDLE");
    if (!caFile_.isEmpty()) curl_easy_setopt(handle_, CURLOPT_CAINFO, caFile_.constData());
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CurlRequest::OnData);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CurlRequest::OnProgress);
    curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
}

CurlRequest::~CurlRequest() {
    if (handle_) curl_easy_cleanup(handle_);
    curl_slist_free_all(headers_);
}

void CurlRequest::SetProxyLogin(const QString& user, const QString& password) {
    proxyUser_ = user.toUtf8();
    proxyPassword_ = password.toUtf8();
    curl_easy_setopt(handle_, CURLOPT_PROXYUSERNAME, proxyUser_.constData());
    curl_easy_setopt(handle_, CURLOPT_PROXYPASSWORD, proxyPassword_.constData());
}

CurlRequest::Result CurlRequest::Perform(const Sink& sink, const StopCheck& stop) {
    Result result;
    if (!handle_) return result;
    sink_ = &sink;
    stop_ = &stop;
    sinkStopped_ = false;
    stalled_ = false;
    lastByte_ = std::chrono::steady_clock::now();
    result.code = curl_easy_perform(handle_);
    sink_ = nullptr;
    stop_ = nullptr;
    result.sinkStopped = sinkStopped_;
    result.timedOut = stalled_ || result.code == CURLE_OPERATION_TIMEDOUT;
    // The address it was sent on to is not https: the address asked for was.
    char* reached = nullptr;
    result.redirectRefused =
        result.code == CURLE_UNSUPPORTED_PROTOCOL &&
        curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &reached) == CURLE_OK && reached &&
        std::strncmp(reached, "https://", 8) != 0;
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &result.status);
    curl_easy_getinfo(handle_, CURLINFO_HTTP_CONNECTCODE, &result.proxyStatus);
    return result;
}

std::uint64_t CurlRequest::ExpectedLength() const {
    curl_off_t length = -1;
    if (!handle_ ||
        curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0)
        return 0;
    return static_cast<std::uint64_t>(length);
}

bool CurlRequest::Stalled() const {
    return std::chrono::steady_clock::now() - lastByte_ > limits_.stall;
}

std::size_t CurlRequest::OnData(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::size_t length = size * count;
    request->lastByte_ = std::chrono::steady_clock::now();
    if ((*request->stop_)() || !(*request->sink_)(data, length)) {
        request->sinkStopped_ = true;
        return length == 0 ? 1 : 0;  // any count other than `length` ends the transfer
    }
    return length;
}

int CurlRequest::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* request = static_cast<CurlRequest*>(self);
    if (request->Stalled()) {
        request->stalled_ = true;
        return 1;
    }
    return (*request->stop_)() ? 1 : 0;
}

}  // namespace norvale::updater
