#include "upnp/stack/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <mutex>
#include <tuple>

namespace norvale::stack {
namespace {

struct AllowList {
    std::mutex mutex;
    std::vector<std::string> entries;
};

AllowList& Allowed() {
    static AllowList list;
    return list;
}

bool IsLoopbackAddress(std::uint32_t address) {
    return (ntohl(address) >> 24) == 127;
}

bool Matches(const std::vector<std::string>& entries, const LocalInterface& candidate) {
    if (entries.empty()) return true;
    const std::string dotted = AddressToText(candidate.address);
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        return entry == candidate.name || entry == dotted;
    });
}

}  // namespace

std::vector<LocalInterface> ListLocalInterfaces() {
    std::vector<std::tuple<unsigned, std::uint32_t, std::string>> found;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return {};
    for (const ifaddrs* entry = all; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        const std::uint32_t address =
            reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        if (IsLoopbackAddress(address)) continue;
        found.emplace_back(if_nametoindex(entry->ifa_name), ntohl(address), entry->ifa_name);
    }
    freeifaddrs(all);
    std::sort(found.begin(), found.end());
    std::vector<LocalInterface> result;
    for (const auto& [index, hostOrder, name] : found) {
        const std::uint32_t address = htonl(hostOrder);
        const bool seen = std::any_of(result.begin(), result.end(), [&](const LocalInterface& i) {
            return i.address == address;
        });
        if (!seen) result.push_back(LocalInterface{name, address, index});
    }
    return result;
}

void SetInterfaceAllowList(const std::vector<std::string>& entries) {
    AllowList& list = Allowed();
    std::lock_guard<std::mutex> guard(list.mutex);
    list.entries = entries;
}

std::vector<std::string> GetInterfaceAllowList() {
    AllowList& list = Allowed();
    std::lock_guard<std::mutex> guard(list.mutex);
    return list.entries;
}

std::vector<LocalInterface> AllowedLocalInterfaces() {
    const std::vector<std::string> allowed = GetInterfaceAllowList();
    std::vector<LocalInterface> result;
    for (LocalInterface& candidate : ListLocalInterfaces()) {
        if (Matches(allowed, candidate)) result.push_back(std::move(candidate));
    }
    return result;
}

int GetLocalAddresses(std::vector<std::uint32_t>& list) {
    list.clear();
    for (const LocalInterface& candidate : AllowedLocalInterfaces()) {
        list.push_back(candidate.address);
    }
    list.push_back(htonl(INADDR_LOOPBACK));
    return static_cast<int>(list.size());
}

std::string AddressToText(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

}  // namespace norvale::stack
