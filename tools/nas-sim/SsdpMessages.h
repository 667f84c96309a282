#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/nas-sim/HeaderFields.h"
#include "tools/nas-sim/Scenario.h"

namespace nassim {

// A received SSDP datagram: start line and headers (names kept as sent).
struct SsdpMessage {
    std::string startLine;
    HeaderFields headers;
    // The first header with this name (ASCII case ignored), or null.
    const std::string* header(std::string_view name) const;
    // "M-SEARCH * HTTP/1.1" with MAN "ssdp:discover" (quotes optional) and an ST header.
    bool isSearch() const;
};

// Parses a datagram; false when it is not an HTTP-like message.
bool parseSsdp(const char* data, size_t length, SsdpMessage* out);

// One (ST or NT, USN) pair a device tree answers or announces; an empty usn leaves the USN
// header out.
struct SsdpTarget {
    std::string type;
    std::string usn;
};

// The pairs of a tree that answer a search for `st`: ssdp:all gives every pair of
// announcementTargets; upnp:rootdevice the root's; "uuid:..." the device with that UDN;
// a device or service type every device or service of the same type with an equal or higher
// version (the answer's ST echoes the search target).
std::vector<SsdpTarget> searchTargets(const DeviceDef& root, const std::string& st,
                                      const std::string& usnForm);

// Every pair a tree announces: for the root upnp:rootdevice; for each device its uuid and
// type; for each service its type.
std::vector<SsdpTarget> announcementTargets(const DeviceDef& root, const std::string& usnForm);

// A unicast search response for one target.
std::string searchResponse(const SsdpTarget& target, const std::string& location,
                           const std::string& cacheControl);

// A NOTIFY ssdp:alive (alive true) or ssdp:byebye for one target.
std::string notifyMessage(const SsdpTarget& target, const std::string& location,
                          const std::string& cacheControl, bool alive);

}  // namespace nassim
