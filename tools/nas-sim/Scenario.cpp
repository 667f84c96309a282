// Reads scenario documents (JSON):
//   { "udpPacePerMs": N, "defaults": {root device fields}, "devices": [root device, ...] }
// A root device object holds the device fields (deviceType, friendlyName, modelNumber, UDN,
// services, devices, ...) plus its network presence (address, port, URLBase, maxAge, ssdp,
// http, soap, schedule). tools/nas-sim/README.md lists every key.

#include "tools/nas-sim/Scenario.h"

#include <cstdio>
#include <stdexcept>

#include "tools/nas-sim/HttpShape.h"
#include "tools/nas-sim/SoapResponder.h"

namespace nassim {

namespace {

using nlohmann::json;

const char* const kLuNasType = "urn:schemas-upnp-org:device:LuNAS:1";
const char* const kLedServiceType = "urn:schemas-upnp-org:service:NASControl:1";
const char* const kLedServiceId = "urn:upnp-org:serviceId:NASControl1";

// Absent key: `fallback`; null: no value (the element is left out); string: the text.
std::optional<std::string> optText(const json& o, const char* key,
                                   std::optional<std::string> fallback = std::nullopt) {
    auto it = o.find(key);
    if (it == o.end()) return fallback;
    if (it->is_null()) return std::nullopt;
    if (!it->is_string()) throw std::runtime_error(std::string(key) + ": not a string");
    return it->get<std::string>();
}

std::string text(const json& o, const char* key, const std::string& fallback = {}) {
    return optText(o, key, fallback).value_or("");
}

int integer(const json& o, const char* key, int fallback) {
    auto it = o.find(key);
    if (it == o.end()) return fallback;
    if (!it->is_number_integer()) throw std::runtime_error(std::string(key) + ": not an integer");
    return it->get<int>();
}

std::optional<int> optInteger(const json& o, const char* key) {
    if (!o.contains(key)) return std::nullopt;
    return integer(o, key, 0);
}

ActionDef ledAction(const std::string& name) {
    ActionDef action{name, {}};
    if (name == "GetLEDStatus") action.arguments.push_back({"LEDStatus", "out", "LEDStatus"});
    if (name == "SetLEDStatus") action.arguments.push_back({"LEDStatus", "in", "LEDStatus"});
    return action;
}

StateVariableDef ledVariable() {
    StateVariableDef v;
    v.name = "LEDStatus";
    v.dataType = "ui1";
    v.minimum = "0";
    v.maximum = "2";
    v.step = "1";
    v.defaultValue = "0";
    return v;
}

ActionDef parseAction(const json& a) {
    if (a.is_string()) return ledAction(a.get<std::string>());
    ActionDef action{text(a, "name"), {}};
    for (const json& arg : a.value("arguments", json::array()))
        action.arguments.push_back(
            {text(arg, "name"), text(arg, "direction", "in"), text(arg, "relatedStateVariable")});
    return action;
}

StateVariableDef parseVariable(const json& s) {
    StateVariableDef v;
    v.name = text(s, "name");
    v.dataType = text(s, "dataType", "string");
    v.sendEvents = s.value("sendEvents", false);
    for (const json& value : s.value("allowedValues", json::array()))
        v.allowedValues.push_back(value.get<std::string>());
    v.minimum = optText(s, "minimum");
    v.maximum = optText(s, "maximum");
    v.step = optText(s, "step");
    v.defaultValue = optText(s, "defaultValue");
    return v;
}

ServiceDef parseService(const json& s) {
    ServiceDef service;
    service.serviceType = text(s, "serviceType", kLedServiceType);
    service.serviceId = text(s, "serviceId", kLedServiceId);
    service.maxVersion = optInteger(s, "maxVersion");
    service.scpdUrl = text(s, "SCPDURL");
    service.controlUrl = text(s, "controlURL");
    service.eventSubUrl = text(s, "eventSubURL");
    for (const json& a : s.value("actions", json::array({"GetLEDStatus", "SetLEDStatus"})))
        service.actions.push_back(parseAction(a));
    if (s.contains("stateVariables")) {
        for (const json& v : s["stateVariables"])
            service.stateVariables.push_back(parseVariable(v));
    } else {
        for (const ActionDef& a : service.actions)
            if (a.name == "GetLEDStatus" || a.name == "SetLEDStatus") {
                service.stateVariables.push_back(ledVariable());
                break;
            }
    }
    return service;
}

DeviceDef parseDevice(const json& d, bool root) {
    DeviceDef device;
    device.name = text(d, "name");
    device.deviceType = text(d, "deviceType", kLuNasType);
    device.maxVersion = optInteger(d, "maxVersion");
    device.udn = text(d, "UDN");
    device.friendlyName = optText(d, "friendlyName", device.name.empty() ? "NAS" : device.name);
    device.manufacturer = optText(d, "manufacturer");
    device.manufacturerUrl = optText(d, "manufacturerURL");
    device.modelDescription = optText(d, "modelDescription");
    device.modelName = optText(d, "modelName");
    device.modelNumber = optText(d, "modelNumber");
    device.modelUrl = optText(d, "modelURL");
    device.serialNumber = optText(d, "serialNumber");
    device.presentationUrl = optText(d, "presentationURL");
    device.extraXml = text(d, "extraXml");
    device.ledState = integer(d, "ledState", 0);
    if (device.ledState < 0 || device.ledState > 2) throw std::runtime_error("ledState: 0, 1 or 2");
    if (d.contains("services")) {
        for (const json& s : d["services"]) device.services.push_back(parseService(s));
    } else if (root) {
        device.services.push_back(parseService(json::object()));
    }
    for (const json& e : d.value("devices", json::array()))
        device.embedded.push_back(parseDevice(e, false));
    if (device.name.empty() && device.friendlyName) device.name = *device.friendlyName;
    return device;
}

SsdpQuirks parseSsdp(const json& s) {
    SsdpQuirks q;
    q.answerSearch = s.value("answerSearch", true);
    q.announceAtStart = s.value("announceAtStart", true);
    q.searchDelayMs = integer(s, "searchDelayMs", 0);
    q.usnForm = text(s, "usnForm", "standard");
    if (q.usnForm != "standard" && q.usnForm != "bare" && q.usnForm != "none")
        throw std::runtime_error("ssdp.usnForm: expected standard, bare or none");
    q.cacheControl = text(s, "cacheControl");
    q.locationHost = text(s, "locationHost");
    q.notifyRepeat = integer(s, "notifyRepeat", 1);
    q.ignoreSearches = integer(s, "ignoreSearches", 0);
    q.answerLimit = integer(s, "answerLimit", -1);
    return q;
}

ScheduleEntry parseScheduleEntry(const json& e) {
    ScheduleEntry entry;
    entry.atMs = e.value("atMs", int64_t{0});
    entry.verb = text(e, "do");
    if (entry.verb.empty()) throw std::runtime_error("schedule entry without \"do\"");
    if (e.contains("args")) entry.args = text(e, "args");
    if (e.contains("port")) entry.args = std::to_string(integer(e, "port", 0));
    if (e.contains("path")) entry.args += " " + text(e, "path");
    if (e.contains("value"))
        entry.args = e["value"].is_string() ? e["value"].get<std::string>() : e["value"].dump();
    return entry;
}

}  // namespace

RootDef parseRootDevice(const json& o) {
    if (!o.is_object()) throw std::runtime_error("device: not an object");
    RootDef root;
    root.device = parseDevice(o, true);
    root.address = text(o, "address");
    root.port = static_cast<uint16_t>(integer(o, "port", 49152));
    root.descriptionPath = text(o, "descriptionPath", "/description.xml");
    if (root.descriptionPath.empty() || root.descriptionPath[0] != '/')
        throw std::runtime_error("descriptionPath must begin with /");
    root.urlBase = optText(o, "URLBase");
    root.urlStyle = text(o, "urlStyle", "absolute-path");
    if (root.urlStyle != "absolute-path" && root.urlStyle != "relative" &&
        root.urlStyle != "absolute")
        throw std::runtime_error("urlStyle: expected absolute-path, relative or absolute");
    root.maxAge = integer(o, "maxAge", 1800);
    root.notifyPeriodMs = o.value("notifyPeriodMs", int64_t{-1});
    root.ssdp = parseSsdp(o.value("ssdp", json::object()));
    root.http = o.value("http", json::object());
    for (const auto& [key, quirk] : root.http.items()) HttpShape().apply(quirk);
    root.soap = o.value("soap", json::object());
    SoapQuirk::fromJson(root.soap);
    for (const json& e : o.value("schedule", json::array()))
        root.schedule.push_back(parseScheduleEntry(e));
    return root;
}

Scenario parseScenario(const json& document) {
    if (!document.is_object()) throw std::runtime_error("scenario: not a JSON object");
    Scenario scenario;
    scenario.udpPacePerMs = integer(document, "udpPacePerMs", 0);
    json defaults = document.value("defaults", json::object());
    for (const json& d : document.value("devices", json::array())) {
        json merged = defaults;
        merged.update(d);
        scenario.devices.push_back(parseRootDevice(merged));
    }
    return scenario;
}

Scenario generateScenario(int count, int services) {
    Scenario scenario;
    scenario.udpPacePerMs = 10;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "nas-%04d", i);
        // The identify-LED service goes last: a control point keeps services in reverse
        // document order and addresses its first one.
        json extra = json::array();
        for (int k = 1; k < services; ++k) {
            extra.push_back({{"serviceType",
                              "urn:schemas-upnp-org:service:NASExtra" + std::to_string(k) + ":1"},
                             {"serviceId", "urn:upnp-org:serviceId:NASExtra" + std::to_string(k)},
                             {"actions", json::array({"GetInfo", "Reset"})},
                             {"stateVariables", json::array()}});
        }
        if (services > 0) extra.push_back(json::object());
        json device = {{"name", name},
                       {"friendlyName", name},
                       {"manufacturer", "Norvale"},
                       {"modelName", "LuNAS 5K"},
                       {"modelNumber", "QMA5KS2000"},
                       {"presentationURL", "/index.html"},
                       {"services", extra}};
        scenario.devices.push_back(parseRootDevice(device));
    }
    return scenario;
}

}  // namespace nassim
