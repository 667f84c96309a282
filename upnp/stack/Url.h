#pragma once

#include <cstdint>

namespace norvale::stack {

// Splits a URL into host, port and path. The text after the last "://" is
// used (all of it without a scheme); its host part ends at the first "/",
// and the path is everything from that "/" on ("" when there is none). A
// ":" in the host part gives the port (decimal value of the text after the
// last ":"; 80 without one); the host is the text before the first ":".
// *host and *path receive malloc'd NUL-terminated strings (release with
// free()); a null url gives "", 80, "".
void ParseUrl(const char* url, char** host, int* port, char** path);
void ParseUrl(const char* url, int length, char** host, int* port, char** path);

// The IPv4 address (network byte order, as inet_addr) of the host of a URL
// such as "http://10.0.0.5:8080/x": the text after the "//" that must follow
// the first "/", up to the next ":" or "/" (or the end). 0 when the first "/"
// is not followed by a second; INADDR_NONE for a host that is no dotted
// address or is longer than 15 characters.
std::uint32_t UrlHostAddress(const char* url);
std::uint32_t UrlHostAddress(const char* url, int length);

}  // namespace norvale::stack
