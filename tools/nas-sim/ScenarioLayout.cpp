// Completes a parsed scenario: loopback addresses, UDNs, the URL texts written into the
// descriptions and the request paths they are served under.

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "tools/nas-sim/Scenario.h"

namespace nassim {

namespace {

uint32_t parseAddress(const std::string& text) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        throw std::runtime_error("not an IPv4 address: " + text);
    return ntohl(a.s_addr);
}

std::string formatAddress(uint32_t address) {
    char buffer[INET_ADDRSTRLEN];
    in_addr a{htonl(address)};
    inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return buffer;
}

bool usable(uint32_t a) {
    return (a & 0xffu) != 0 && (a & 0xffu) != 0xffu && a != 0x7f000001u;
}

// Request paths a URL text is fetched under: the control point's rule (a leading "/" is
// dropped and the rest appended to the base) and the usual one (the absolute path as written).
std::vector<std::string> requestPaths(const std::string& text, const std::string& basePath) {
    if (text.size() >= 7 && text.compare(0, 6, "http:/") == 0) {
        size_t scheme = text.find("://");
        if (scheme == std::string::npos) return {"/"};
        size_t slash = text.find('/', scheme + 3);
        return {slash == std::string::npos ? "/" : text.substr(slash)};
    }
    if (!text.empty() && text[0] == '/') {
        std::vector<std::string> paths{basePath + text.substr(1)};
        if (paths[0] != text) paths.push_back(text);
        return paths;
    }
    return {basePath + text};
}

std::string basePathOf(const RootDef& root) {
    if (!root.urlBase || *root.urlBase == "auto" || *root.urlBase == "auto-noslash") return "/";
    const std::string& base = *root.urlBase;
    size_t scheme = base.find("://");
    if (scheme == std::string::npos) return "/";
    size_t slash = base.find('/', scheme + 3);
    std::string path = slash == std::string::npos ? "/" : base.substr(slash);
    if (path.back() != '/') path += '/';
    return path;
}

struct Layout {
    const RootDef& root;
    std::string basePath;
    uint32_t address;
    int deviceCounter = 0;
    int serviceCounter = 0;

    void url(std::string& text, std::vector<std::string>& paths, const std::string& relative) {
        if (text.empty()) {
            if (root.urlStyle == "relative")
                text = relative;
            else if (root.urlStyle == "absolute")
                text = "http://{host}:{port}/" + relative;
            else
                text = "/" + relative;
        }
        paths = requestPaths(text, basePath);
    }

    void device(DeviceDef& d) {
        int index = deviceCounter++;
        if (d.udn.empty()) {
            char udn[64];
            std::snprintf(udn, sizeof udn, "uuid:4e415300-5349-4d00-8000-%08x%04x", address,
                          static_cast<unsigned>(index) & 0xffffu);
            d.udn = udn;
        }
        if (d.name.empty()) d.name = d.friendlyName.value_or(d.udn);
        if (d.presentationUrl && d.presentationUrl->find("://") == std::string::npos)
            d.presentationPaths = requestPaths(*d.presentationUrl, basePath);
        for (ServiceDef& s : d.services) {
            std::string n = std::to_string(++serviceCounter);
            url(s.scpdUrl, s.scpdPaths, "scpd/" + n + ".xml");
            url(s.controlUrl, s.controlPaths, "control/" + n);
            url(s.eventSubUrl, s.eventPaths, "event/" + n);
        }
        for (DeviceDef& e : d.embedded) device(e);
    }
};

}  // namespace

std::string nextAddress(const std::string& address) {
    uint32_t a = parseAddress(address);
    do {
        ++a;
    } while (!usable(a));
    if ((a >> 24) != 127) throw std::runtime_error("ran out of loopback addresses");
    return formatAddress(a);
}

void finishDevice(RootDef& root, const std::string& base, const std::vector<std::string>& taken) {
    if (root.address.empty()) {
        std::string candidate = base;
        if (!usable(parseAddress(candidate))) candidate = nextAddress(candidate);
        while (std::find(taken.begin(), taken.end(), candidate) != taken.end())
            candidate = nextAddress(candidate);
        root.address = candidate;
    }
    uint32_t address = parseAddress(root.address);
    if ((address >> 24) != 127) throw std::runtime_error("not a loopback address: " + root.address);
    Layout layout{root, basePathOf(root), address};
    layout.device(root.device);
}

void finishScenario(Scenario& scenario, const std::string& base) {
    std::vector<std::string> taken;
    for (const RootDef& root : scenario.devices)
        if (!root.address.empty()) taken.push_back(root.address);
    std::sort(taken.begin(), taken.end());
    std::string cursor = base;
    if (!usable(parseAddress(cursor))) cursor = nextAddress(cursor);
    for (RootDef& root : scenario.devices) {
        if (root.address.empty()) {
            while (std::binary_search(taken.begin(), taken.end(), cursor))
                cursor = nextAddress(cursor);
            root.address = cursor;
            cursor = nextAddress(cursor);
        }
        finishDevice(root, base, {});
    }
}

}  // namespace nassim
