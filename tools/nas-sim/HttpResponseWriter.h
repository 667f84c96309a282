#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/nas-sim/HttpShape.h"

namespace nassim {

// One answer before framing: status, extra headers and body as the resource produced them.
struct HttpAnswer {
    int status = 200;
    std::string contentType = "text/xml; charset=\"utf-8\"";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// The bytes of an answer framed as `shape` says (status override, malformed or empty body,
// Content-Length / chunked / until-close). `close` tells whether the connection ends after
// it; it decides the Connection header.
std::string frameResponse(const HttpAnswer& answer, const HttpShape& shape, bool close);

// The usual reason phrase of a status code ("Status" for unknown ones).
const char* reasonPhrase(int status);

}  // namespace nassim
