#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/nas-sim/HeaderFields.h"

namespace nassim {

// One HTTP request as received.
struct HttpRequest {
    std::string method, target, version;  // version: "1.0" or "1.1"
    HeaderFields headers;
    std::string body;

    // The value of the first header with this name (ASCII case ignored), or null.
    const std::string* header(std::string_view name) const;
    // True when the connection may stay open after the answer (1.1 without "close",
    // 1.0 with "keep-alive").
    bool wantsKeepAlive() const;
};

// Incremental reader of HTTP/1.x requests, fed raw bytes. After Complete, request() holds
// the request and reset() prepares for the next one on the same connection. Once Failed it
// stays failed; error() says why.
class HttpRequestReader {
  public:
    enum class State { NeedMore, Complete, Failed };
    static constexpr size_t kMaxHeadBytes = 16 * 1024;
    static constexpr size_t kMaxBodyBytes = 1024 * 1024;

    // Consumes bytes up to the end of one request; *consumed tells how many were used
    // (the rest belongs to the next request).
    State feed(const char* data, size_t length, size_t* consumed);
    const HttpRequest& request() const { return request_; }
    // True once the head is in (request() then has method, target and headers).
    bool headComplete() const { return inBody_ || state_ == State::Complete; }
    void reset();
    const std::string& error() const { return error_; }

  private:
    State fail(const char* why);
    bool parseHead();

    State state_ = State::NeedMore;
    bool inBody_ = false;
    size_t bodyLength_ = 0;
    std::string head_;
    HttpRequest request_;
    std::string error_;
};

}  // namespace nassim
