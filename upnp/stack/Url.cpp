// URL layout read here:
//   url       = [ scheme "://" ] host-part [ path ]
//   host-part = host [ ":" ... ":" port ]        (up to the first "/")
//   path      = "/" *any
// Only the last "://" counts as the scheme separator.
#include "upnp/stack/Url.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "upnp/stack/TextParse.h"

namespace norvale::stack {
namespace {

std::string_view View(const char* url, int length) {
    if (url == nullptr || length <= 0) return {};
    return {url, static_cast<std::size_t>(length)};
}

int Length(const char* url) {
    const std::size_t length = url == nullptr ? 0 : std::strlen(url);
    return length > 0x7fffffff ? 0x7fffffff : static_cast<int>(length);
}

}  // namespace

void ParseUrl(const char* url, int length, char** host, int* port, char** path) {
    std::string_view rest = View(url, length);
    if (const auto scheme = rest.rfind("://"); scheme != std::string_view::npos) {
        rest.remove_prefix(scheme + 3);
    }
    const auto slash = rest.find('/');
    const std::string_view hostPart = rest.substr(0, slash);
    *path = CopyText(slash == std::string_view::npos ? std::string_view{} : rest.substr(slash));
    const auto firstColon = hostPart.find(':');
    if (firstColon == std::string_view::npos) {
        *port = 80;
    } else {
        const std::string_view portText = hostPart.substr(hostPart.rfind(':') + 1);
        *port = ParseDecimal(portText.data(), static_cast<int>(portText.size()));
    }
    *host = CopyText(hostPart.substr(0, firstColon));
}

void ParseUrl(const char* url, char** host, int* port, char** path) {
    ParseUrl(url, Length(url), host, port, path);
}

std::uint32_t UrlHostAddress(const char* url, int length) {
    const std::string_view text = View(url, length);
    const auto slash = text.find('/');
    if (slash == std::string_view::npos || slash + 1 >= text.size() || text[slash + 1] != '/') {
        return 0;
    }
    std::string_view host = text.substr(slash + 2);
    host = host.substr(0, host.find_first_of(":/"));
    if (host.size() > 15) return INADDR_NONE;
    char dotted[16];
    std::memcpy(dotted, host.data(), host.size());
    dotted[host.size()] = '\0';
    return inet_addr(dotted);
}

std::uint32_t UrlHostAddress(const char* url) {
    return UrlHostAddress(url, Length(url));
}

}  // namespace norvale::stack
