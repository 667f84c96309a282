// URL layout read here (one reading for every user, so the host a sender
// check approves is the host that is fetched):
//   url       = [ scheme "://" ] host-part [ rest ]
//   scheme    = 1*( ALPHA / DIGIT / "+" / "-" / "." )   (the first "://" only)
//   host-part = host [ ":" ... ":" port ]    (up to the first "/", "?" or "#")
//   rest      = ( "/" / "?" / "#" ) *any     (the path; "/" is put before "?" or "#")
// A "://" later in the text (a query naming another URL) is part of the path.
#include "upnp/stack/Url.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
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

bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// The pieces of a URL; views into the text.
struct UrlPieces {
    bool hasScheme = false;
    std::string_view host;
    int port = 80;
    std::string_view rest;  // from the first "/", "?" or "#" after the host part
};

UrlPieces Split(std::string_view text) {
    UrlPieces pieces;
    const auto separator = text.find("://");
    if (separator != std::string_view::npos && separator > 0) {
        bool scheme = true;
        for (std::size_t i = 0; i < separator && scheme; ++i) scheme = IsSchemeChar(text[i]);
        if (scheme) {
            pieces.hasScheme = true;
            text.remove_prefix(separator + 3);
        }
    }
    const auto end = text.find_first_of("/?#");
    const std::string_view hostPart = text.substr(0, end);
    if (end != std::string_view::npos) pieces.rest = text.substr(end);
    const auto firstColon = hostPart.find(':');
    if (firstColon != std::string_view::npos) {
        const std::string_view portText = hostPart.substr(hostPart.rfind(':') + 1);
        pieces.port = ParseDecimal(portText.data(), static_cast<int>(portText.size()));
    }
    pieces.host = hostPart.substr(0, firstColon);
    return pieces;
}

}  // namespace

void ParseUrl(const char* url, int length, char** host, int* port, char** path) {
    const UrlPieces pieces = Split(View(url, length));
    if (!pieces.rest.empty() && pieces.rest.front() != '/') {
        std::string withSlash = "/";
        withSlash.append(pieces.rest);
        *path = CopyText(withSlash);
    } else {
        *path = CopyText(pieces.rest);
    }
    *port = pieces.port;
    *host = CopyText(pieces.host);
}

void ParseUrl(const char* url, char** host, int* port, char** path) {
    ParseUrl(url, Length(url), host, port, path);
}

std::uint32_t UrlHostAddress(const char* url, int length) {
    const UrlPieces pieces = Split(View(url, length));
    if (!pieces.hasScheme) return 0;
    if (pieces.host.size() > 15) return INADDR_NONE;
    char dotted[16];
    std::memcpy(dotted, pieces.host.data(), pieces.host.size());
    dotted[pieces.host.size()] = '\0';
    return inet_addr(dotted);
}

std::uint32_t UrlHostAddress(const char* url) {
    return UrlHostAddress(url, Length(url));
}

}  // namespace norvale::stack
