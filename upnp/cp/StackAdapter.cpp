#include "upnp/cp/StackAdapter.h"

#include <cstdlib>

#include "upnp/stack/Url.h"

namespace norvale::cp {

UrlParts SplitUrl(const char* url) {
    UrlParts parts;
    char* host = nullptr;
    char* path = nullptr;
    stack::ParseUrl(url, &host, &parts.port, &path);
    if (host != nullptr) parts.host = host;
    if (path != nullptr) parts.path = path;
    std::free(host);
    std::free(path);
    return parts;
}

}  // namespace norvale::cp
