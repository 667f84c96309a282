// The SSDP client's datagram handler fed arbitrary datagrams from a fixed
// sender: every reported string is NUL-terminated and alive/kind are in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <arpa/inet.h>

#include "upnp/stack/SsdpClient.h"

using namespace norvale::stack;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void OnResult(SsdpClient*, char* udn, int alive, char* location, int maxAge, int kind, void*) {
    if (udn != nullptr) Check(std::strlen(udn) < 4096);
    if (location != nullptr) Check(std::strlen(location) < 4096);
    Check(alive == -1 || alive == 0);
    Check(kind == 1 || kind == 2);
    Check(maxAge >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char kTarget[] = "urn:schemas-upnp-org:device:LuNAS:1";
    SsdpClient client(kTarget, static_cast<int>(sizeof kTarget - 1), &OnResult, nullptr);
    std::vector<char> datagram(data, data + size);  // the handler writes NUL bytes into it
    client.HandleDatagram(datagram.data(), static_cast<int>(datagram.size()),
                          inet_addr("127.0.0.5"));
    return 0;
}
