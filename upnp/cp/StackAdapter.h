#pragma once

#include <string>

namespace norvale::cp {

// A URL split into host, port (80 when absent) and path (from the first "/"
// after the host; empty when none), as the stack's ParseUrl splits it.
struct UrlParts {
    std::string host;
    int port = 80;
    std::string path;
};

// Splits `url` (null gives empty parts) with the stack's URL rule.
UrlParts SplitUrl(const char* url);

}  // namespace norvale::cp
