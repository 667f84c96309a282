#pragma once

#include <string>

namespace nassim::test {

// A raw HTTP exchange: sends `request` to address:port and reads one response (by its
// Content-Length, its chunks, or until the peer closes). Body is decoded from chunks.
struct RawResponse {
    std::string head;
    std::string body;     // decoded
    std::string rawBody;  // as received
    bool closedByPeer = false;
};
RawResponse httpExchange(const std::string& address, int port, const std::string& request);

}  // namespace nassim::test
