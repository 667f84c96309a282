// SSDP over UDP 239.255.255.250:1900, one message per datagram:
//   start-line CRLF *(name ":" OWS value CRLF) CRLF
//   M-SEARCH * HTTP/1.1          (search; HOST, MAN "ssdp:discover", MX, ST)
//   HTTP/1.1 200 OK              (search response; CACHE-CONTROL, EXT, LOCATION, SERVER, ST, USN)
//   NOTIFY * HTTP/1.1            (HOST, CACHE-CONTROL, LOCATION, NT, NTS ssdp:alive|ssdp:byebye,
//                                 SERVER, USN; byebye carries HOST, NT, NTS and USN only)

#include "tools/nas-sim/SsdpMessages.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace nassim {

namespace {

const char* const kServer = "Linux/6.1 UPnP/1.0 NorvaleNasSim/1.0";

std::string usnFor(const std::string& udn, const std::string& type, const std::string& form) {
    if (form == "none") return {};
    if (form == "bare" || type == udn) return udn;
    return udn + "::" + type;
}

// "urn:x:device:Name:2" -> ("urn:x:device:Name:", 2); version -1 when not a number.
std::pair<std::string, long> splitVersion(const std::string& type) {
    size_t colon = type.rfind(':');
    if (colon == std::string::npos || colon + 1 == type.size()) return {type, -1};
    std::string digits = type.substr(colon + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {type, -1};
    return {type.substr(0, colon + 1), std::atol(digits.c_str())};
}

bool typeMatches(const std::string& offered, const std::string& searched) {
    if (offered == searched) return true;
    auto [offeredPrefix, offeredVersion] = splitVersion(offered);
    auto [searchedPrefix, searchedVersion] = splitVersion(searched);
    return searchedVersion >= 0 && offeredPrefix == searchedPrefix &&
           offeredVersion >= searchedVersion;
}

void collect(const DeviceDef& d, bool root, const std::string& form, std::vector<SsdpTarget>& out) {
    if (root) out.push_back({"upnp:rootdevice", usnFor(d.udn, "upnp:rootdevice", form)});
    out.push_back({d.udn, usnFor(d.udn, d.udn, form)});
    out.push_back({d.deviceType, usnFor(d.udn, d.deviceType, form)});
    for (const ServiceDef& s : d.services)
        out.push_back({s.serviceType, usnFor(d.udn, s.serviceType, form)});
    for (const DeviceDef& e : d.embedded) collect(e, false, form, out);
}

void matches(const DeviceDef& d, const std::string& st, const std::string& form,
             std::vector<SsdpTarget>& out) {
    if (st == d.udn) out.push_back({st, usnFor(d.udn, d.udn, form)});
    if (typeMatches(d.deviceType, st)) out.push_back({st, usnFor(d.udn, st, form)});
    for (const ServiceDef& s : d.services)
        if (typeMatches(s.serviceType, st)) out.push_back({st, usnFor(d.udn, st, form)});
    for (const DeviceDef& e : d.embedded) matches(e, st, form, out);
}

void line(std::string& out, const char* name, const std::string& value) {
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
}

}  // namespace

const std::string* SsdpMessage::header(std::string_view name) const {
    return findHeader(headers, name);
}

bool SsdpMessage::isSearch() const {
    if (startLine != "M-SEARCH * HTTP/1.1") return false;
    const std::string* man = header("MAN");
    const std::string* st = header("ST");
    return man && st && !st->empty() && (*man == "\"ssdp:discover\"" || *man == "ssdp:discover");
}

bool parseSsdp(const char* data, size_t length, SsdpMessage* out) {
    std::string_view text(data, length);
    bool first = true;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view l = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        if (l.empty()) break;
        if (first) {
            out->startLine = std::string(l);
            first = false;
            continue;
        }
        size_t colon = l.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        out->headers.emplace_back(trimBlanks(l.substr(0, colon)), trimBlanks(l.substr(colon + 1)));
    }
    return !first;
}

std::vector<SsdpTarget> searchTargets(const DeviceDef& root, const std::string& st,
                                      const std::string& usnForm) {
    std::vector<SsdpTarget> out;
    if (st == "ssdp:all") {
        collect(root, true, usnForm, out);
    } else if (st == "upnp:rootdevice") {
        out.push_back({st, usnFor(root.udn, st, usnForm)});
    } else {
        matches(root, st, usnForm, out);
    }
    return out;
}

std::vector<SsdpTarget> announcementTargets(const DeviceDef& root, const std::string& usnForm) {
    std::vector<SsdpTarget> out;
    collect(root, true, usnForm, out);
    return out;
}

std::string searchResponse(const SsdpTarget& target, const std::string& location,
                           const std::string& cacheControl) {
    std::string out = "HTTP/1.1 200 OK\r\n";
    line(out, "CACHE-CONTROL", cacheControl);
    line(out, "EXT", "");
    line(out, "LOCATION", location);
    line(out, "SERVER", kServer);
    line(out, "ST", target.type);
    if (!target.usn.empty()) line(out, "USN", target.usn);
    out += "\r\n";
    return out;
}

std::string notifyMessage(const SsdpTarget& target, const std::string& location,
                          const std::string& cacheControl, bool alive) {
    std::string out = "NOTIFY * HTTP/1.1\r\n";
    line(out, "HOST", "239.255.255.250:1900");
    if (alive) {
        line(out, "CACHE-CONTROL", cacheControl);
        line(out, "LOCATION", location);
    }
    line(out, "NT", target.type);
    line(out, "NTS", alive ? "ssdp:alive" : "ssdp:byebye");
    if (alive) line(out, "SERVER", kServer);
    if (!target.usn.empty()) line(out, "USN", target.usn);
    out += "\r\n";
    return out;
}

}  // namespace nassim
