#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace nassim {

// One argument of an action as the service description lists it.
struct ArgumentDef {
    std::string name;
    std::string direction = "in";
    std::string relatedStateVariable;
};

// One action of a service description.
struct ActionDef {
    std::string name;
    std::vector<ArgumentDef> arguments;
};

// One state variable of a service description; unset optionals are left out of the XML.
struct StateVariableDef {
    std::string name;
    std::string dataType = "string";
    bool sendEvents = false;
    std::vector<std::string> allowedValues;
    std::optional<std::string> minimum, maximum, step, defaultValue;
};

// A service as the device description lists it. The *Url fields are the texts written into the
// XML; the *Path fields are the request paths the simulator serves them under.
struct ServiceDef {
    std::string serviceType;
    std::string serviceId;
    std::optional<int> maxVersion;
    std::string scpdUrl, controlUrl, eventSubUrl;
    std::vector<std::string> scpdPaths, controlPaths, eventPaths;
    std::vector<ActionDef> actions;
    std::vector<StateVariableDef> stateVariables;
};

// A device element (root or embedded). ledState is the live identify-LED state (0 off,
// 1 or 2 on) that GetLEDStatus reports and SetLEDStatus changes.
struct DeviceDef {
    std::string name;
    std::string deviceType;
    std::optional<int> maxVersion;
    std::string udn;
    std::optional<std::string> friendlyName, manufacturer, manufacturerUrl, modelDescription,
        modelName, modelNumber, modelUrl, serialNumber, presentationUrl;
    std::vector<std::string> presentationPaths;
    std::string extraXml;
    int ledState = 0;
    std::vector<ServiceDef> services;
    std::vector<DeviceDef> embedded;
};

// How the device takes part in SSDP.
struct SsdpQuirks {
    bool answerSearch = true;
    bool announceAtStart = true;
    int searchDelayMs = 0;
    std::string usnForm = "standard";  // standard, bare (no "::" part) or none (no USN header)
    std::string cacheControl;          // empty: "max-age=<maxAge>"
    std::string locationHost;          // empty: the device's own address
    int notifyRepeat = 1;
    int ignoreSearches = 0;  // the first N searches it would answer go unanswered
    int answerLimit = -1;    // at most N searches are answered after those (-1: all)
};

// A scheduled stdin-style command ("byebye", "relocate 49200 /moved.xml", ...) run at atMs
// after start for the device it belongs to.
struct ScheduleEntry {
    int64_t atMs = 0;
    std::string verb;
    std::string args;
};

// One simulated root device with everything about its network presence.
struct RootDef {
    DeviceDef device;
    std::string address;  // dotted IPv4; empty until assigned
    uint16_t port = 49152;
    std::string descriptionPath = "/description.xml";
    std::optional<std::string> urlBase;      // literal text, or "auto" / "auto-noslash"
    std::string urlStyle = "absolute-path";  // absolute-path, relative, absolute
    int maxAge = 1800;
    int64_t notifyPeriodMs = -1;  // -1: half of maxAge; 0: never repeat
    SsdpQuirks ssdp;
    nlohmann::json http = nlohmann::json::object();  // key (path, kind or "*") -> quirk object
    nlohmann::json soap = nlohmann::json::object();
    std::vector<ScheduleEntry> schedule;
};

// A whole scenario; udpPacePerMs 0 sends datagrams at once, N sends at most N per millisecond.
// searchDropRate loses that share (0 to 1) of search answers at random; searchSpreadMs delays
// the answers to each search by a random time from 0 to that many milliseconds.
struct Scenario {
    std::vector<RootDef> devices;
    int udpPacePerMs = 0;
    double searchDropRate = 0;
    int searchSpreadMs = 0;
};

// Reads a scenario document. Throws std::runtime_error (or nlohmann::json::exception) with a
// readable message on a malformed document; addresses are not assigned here.
Scenario parseScenario(const nlohmann::json& document);

// Reads one root device object (the scenario's "devices" entries and the "add" command).
RootDef parseRootDevice(const nlohmann::json& object);

// A scenario of `count` supported LuNAS devices with `services` services each (the first is
// the identify-LED service), named nas-0001 upward.
Scenario generateScenario(int count, int services);

// Gives every device without an address the next free one from `base` upward (skipping .0,
// .255 and 127.0.0.1), then fills in UDNs, URLs and request paths. Throws on a bad base.
void finishScenario(Scenario& scenario, const std::string& base);

// Same for one device added later; `taken` lists the addresses in use.
void finishDevice(RootDef& root, const std::string& base, const std::vector<std::string>& taken);

// The next loopback address after `address` (dotted IPv4), skipping .0 and .255 endings.
std::string nextAddress(const std::string& address);

}  // namespace nassim
