#pragma once

#include <cstdint>

namespace norvale::stack {

// Splits a URL into host, port and path. A scheme ends at the first "://"
// (a URL without one is taken whole); the host part runs to the first "/",
// "?" or "#", and the path is everything from there on ("" when there is
// none; a "/" is put before a leading "?" or "#"). A ":" in the host part
// gives the port (decimal value of the text after the last ":"; 80 without
// one); the host is the text before the first ":". A later "://" (a query
// naming another URL) stays in the path. *host and *path receive malloc'd
// NUL-terminated strings (release with free()); a null url gives "", 80, "".
void ParseUrl(const char* url, char** host, int* port, char** path);
void ParseUrl(const char* url, int length, char** host, int* port, char** path);

// The IPv4 address (network byte order, as inet_addr) of the host ParseUrl
// finds in a URL such as "http://10.0.0.5:8080/x". 0 for a URL without a
// scheme; INADDR_NONE for a host that is no dotted address or is longer than
// 15 characters.
std::uint32_t UrlHostAddress(const char* url);
std::uint32_t UrlHostAddress(const char* url, int length);

}  // namespace norvale::stack
