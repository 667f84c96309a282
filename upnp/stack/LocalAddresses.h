#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvale::stack {

// One IPv4 address of a local network interface.
struct LocalInterface {
    std::string name;       // e.g. "eth0"
    std::uint32_t address;  // network order
    unsigned index = 0;     // the interface index (if_nametoindex)
};

// The IPv4 addresses of the interfaces that are up, loopback ones left out,
// ordered by interface index, then address; every address of every adapter.
std::vector<LocalInterface> ListLocalInterfaces();

// Restricts GetLocalAddresses to interfaces named in `entries` (an entry
// matches an interface name or a dotted address). Empty: every interface.
// Process-wide; safe from any thread.
void SetInterfaceAllowList(const std::vector<std::string>& entries);
std::vector<std::string> GetInterfaceAllowList();

// The interfaces of ListLocalInterfaces that the allow-list admits.
std::vector<LocalInterface> AllowedLocalInterfaces();

// Replaces `list` with the allowed interface addresses of ListLocalInterfaces
// followed by 127.0.0.1 (network order); returns the count (at least 1).
int GetLocalAddresses(std::vector<std::uint32_t>& list);

// Dotted text of an IPv4 address in network order ("192.168.1.20").
std::string AddressToText(std::uint32_t address);

}  // namespace norvale::stack
