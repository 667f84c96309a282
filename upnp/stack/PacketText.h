#pragma once

#include "upnp/stack/Packet.h"

namespace norvale::stack {

// Headers kept per parsed packet; header lines after this many are ignored.
constexpr int kMaxParsedHeaders = 1000;

// Parses the message head in buffer[offset, end) (`end` is an index). The
// packet's strings point into `buffer`, which must outlive it; method, path,
// version and header names and values are NUL-terminated in place (the byte
// after each is overwritten). A piece that runs to `end`, where no byte can be
// overwritten, is copied instead (the start line through the setters, a
// header as an owned node). A request line of a single word gives null; a
// header never makes the parse fail; a value of blanks only is empty. The
// body is not part of the parse.
Packet* ParsePacket(char* buffer, int offset, int end);

// Serialises the packet: start line, one line per header-table entry (the
// last value of each name), a blank line and the body. Values of 1600 bytes
// or more are folded into 800-byte pieces joined by "\r\n ". *text receives
// a malloc'd NUL-terminated copy (release with free()); the result is its
// length without the NUL, or -1 (and null) when it would exceed 2 GB.
int PacketToText(const Packet* packet, char** text);

}  // namespace norvale::stack
