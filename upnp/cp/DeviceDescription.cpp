// Reads UPnP description documents into device trees.
//
// Device description (local names; prefixes ignored; other elements skipped):
//   root
//     URLBase?                      base for relative URLs (first one counts)
//     device                        the first one is the root device
//       deviceType UDN friendlyName manufacturer manufacturerURL
//       modelDescription modelName modelNumber modelURL presentationURL
//       serviceList / service*      serviceType serviceId SCPDURL controlURL eventSubURL
//       deviceList / device*        embedded devices, same layout
// Service description (SCPD):
//   scpd
//     actionList / action* / name
//     serviceStateTable / stateVariable* / name
//                                   allowedValueList / allowedValue*
//                                   allowedValueRange / minimum maximum step
// Texts are the raw bytes between start and end tag; for repeated elements
// the last occurrence wins; lists are built head-first (reverse order).
#include "upnp/cp/DeviceDescription.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "upnp/cp/StackAdapter.h"
#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/Packet.h"

namespace norvale::cp {
namespace {

OwnedText Copy(std::string_view text) {
    return CopyText(text.data(), text.size());
}

int MaxVersionOf(XmlElement element) {
    bool found = false;
    std::string_view value = element.Attribute("MaxVersion", &found);
    // An unreadable value counts as absent.
    int version = 1;
    if (found) ReadDecimal(value, &version);
    return version;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string Resolve(const std::string& base, std::string_view text) {
    if (StartsWith(text, "/")) text.remove_prefix(1);
    std::string url = base;
    url.append(text);
    return url;
}

OwnedText CopyString(const std::string& text) {
    return CopyText(text.data(), text.size());
}

// One `service` element; null when one of its five elements is missing.
std::unique_ptr<UPnPService> ParseServiceElement(XmlElement element, const std::string& base) {
    auto service = std::make_unique<UPnPService>();
    service->maxVersion = MaxVersionOf(element);
    XmlElement parts[5];
    static constexpr std::string_view kNames[5] = {"serviceType", "serviceId", "SCPDURL",
                                                   "controlURL", "eventSubURL"};
    for (XmlElement child = element.FirstChild(); child; child = child.NextSibling()) {
        for (int i = 0; i < 5; ++i) {
            if (child.NameIs(kNames[i])) parts[i] = child;
        }
    }
    for (const XmlElement& part : parts) {
        if (!part) return nullptr;
    }
    service->serviceType = Copy(parts[0].Text());
    service->serviceId = Copy(parts[1].Text());
    service->SCPDURL = CopyString(ResolveServiceUrl(base, parts[2].Text()));
    service->controlURL = CopyString(ResolveServiceUrl(base, parts[3].Text()));
    service->eventSubURL = CopyString(ResolveServiceUrl(base, parts[4].Text()));
    return service;
}

// The cap counts the services of every serviceList of the device.
bool ParseServiceList(XmlElement list, UPnPDevice* device, const std::string& base) {
    int count = 0;
    for (const UPnPService* s = device->firstService; s != nullptr; s = s->next) ++count;
    for (XmlElement child = list.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("service")) continue;
        if (count++ == kMaxServicesPerDevice) {
            stack::DebugOutput("ControlPoint: services past the cap of a device are left out");
            break;
        }
        std::unique_ptr<UPnPService> service = ParseServiceElement(child, base);
        if (service == nullptr) return false;
        service->device = device;
        service->next = device->firstService;
        device->firstService = service.release();
    }
    return true;
}

std::unique_ptr<UPnPDevice> ParseDevice(XmlElement element, ControlPoint* owner,
                                        const std::string& baseUrl, int maxAge,
                                        const char* interfaceAddress, int depth, int* embeddedLeft);

// `embeddedLeft`: embedded devices the tree may still take.
bool ParseDeviceList(XmlElement list, UPnPDevice* device, const std::string& base, int depth,
                     int* embeddedLeft) {
    for (XmlElement child = list.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("device")) continue;
        if (*embeddedLeft <= 0) {
            stack::DebugOutput(
                "ControlPoint: embedded devices past the cap of a tree are left out");
            return true;
        }
        --*embeddedLeft;
        std::unique_ptr<UPnPDevice> embedded =
            ParseDevice(child, device->owner, base, device->maxAge, device->interfaceAddress,
                        depth + 1, embeddedLeft);
        if (embedded == nullptr) return false;
        embedded->parent = device;
        embedded->nextSibling = device->firstEmbedded;
        device->firstEmbedded = embedded.release();
    }
    return true;
}

// The plain text fields of a device, by element name.
OwnedText* TextField(UPnPDevice* device, std::string_view name) {
    if (name == "deviceType") return &device->deviceType;
    if (name == "friendlyName") return &device->friendlyName;
    if (name == "manufacturer") return &device->manufacturer;
    if (name == "manufacturerURL") return &device->manufacturerURL;
    if (name == "modelDescription") return &device->modelDescription;
    if (name == "modelName") return &device->modelName;
    if (name == "modelNumber") return &device->modelNumber;
    if (name == "modelURL") return &device->modelURL;
    return nullptr;
}

void ReadUdn(UPnPDevice* device, std::string_view text) {
    if (text.size() < 6) return;
    if (StartsWith(text, "uuid:")) text.remove_prefix(5);
    device->udn = Copy(text);
}

}  // namespace

stack::Packet* BuildGetRequest(const char* host, int port, const char* path, const char* method) {
    stack::Packet* packet = stack::NewPacket();
    stack::SetPacketVersion(packet, "1.0", 3);
    stack::SetRequestLine(packet, method, static_cast<int>(std::strlen(method)), path,
                          static_cast<int>(std::strlen(path)));
    char hostValue[300];
    const int hostLength = std::snprintf(hostValue, sizeof hostValue, "%s:%d", host, port);
    stack::AddHeader(packet, "Host", 4, hostValue,
                     std::min<int>(hostLength, static_cast<int>(sizeof hostValue) - 1));
    stack::AddHeader(packet, "User-Agent", 10, kUserAgent, static_cast<int>(sizeof kUserAgent) - 1);
    return packet;
}

std::string DescriptionBaseUrl(XmlElement root, const char* location) {
    for (XmlElement child = root.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("URLBase")) continue;
        std::string base(child.Text());
        if (base.empty() || base.back() != '/') base.push_back('/');
        return base;
    }
    UrlParts url = SplitUrl(location);
    char base[300];
    std::snprintf(base, sizeof base, "http://%s:%d/", url.host.c_str(), url.port);
    return base;
}

std::string ResolveServiceUrl(const std::string& base, std::string_view text) {
    if (text.size() >= 7 && StartsWith(text, "http:/")) return std::string(text);
    return Resolve(base, text);
}

std::string ResolvePresentationUrl(const std::string& base, std::string_view text) {
    if (text.find("://") != std::string_view::npos) return std::string(text);
    return Resolve(base, text);
}

namespace {

std::unique_ptr<UPnPDevice> ParseDevice(XmlElement element, ControlPoint* owner,
                                        const std::string& baseUrl, int maxAge,
                                        const char* interfaceAddress, int depth,
                                        int* embeddedLeft) {
    if (depth > kMaxDeviceDepth) return nullptr;
    auto device = std::make_unique<UPnPDevice>();
    device->owner = owner;
    device->maxAge = maxAge;
    device->maxVersion = MaxVersionOf(element);
    std::snprintf(device->interfaceAddress, sizeof device->interfaceAddress, "%s",
                  interfaceAddress == nullptr ? "" : interfaceAddress);
    for (XmlElement child = element.FirstChild(); child; child = child.NextSibling()) {
        const std::string_view name = child.Name();
        bool ok = true;
        if (name == "deviceList") {
            ok = ParseDeviceList(child, device.get(), baseUrl, depth, embeddedLeft);
        } else if (name == "serviceList") {
            ok = ParseServiceList(child, device.get(), baseUrl);
        } else if (name == "UDN") {
            ReadUdn(device.get(), child.Text());
        } else if (name == "presentationURL") {
            device->presentationURL = CopyString(ResolvePresentationUrl(baseUrl, child.Text()));
        } else if (OwnedText* field = TextField(device.get(), name)) {
            *field = Copy(child.Text());
        }
        if (!ok) return nullptr;
    }
    return device;
}

}  // namespace

std::unique_ptr<UPnPDevice> ParseDeviceElement(XmlElement element, ControlPoint* owner,
                                               const std::string& baseUrl, int maxAge,
                                               const char* interfaceAddress, int depth) {
    int embeddedLeft = kMaxEmbeddedDevicesPerTree;
    return ParseDevice(element, owner, baseUrl, maxAge, interfaceAddress, depth, &embeddedLeft);
}

std::unique_ptr<UPnPDevice> ParseDeviceDescription(const char* body, std::ptrdiff_t length,
                                                   const char* location,
                                                   const char* interfaceAddress, int maxAge,
                                                   ControlPoint* owner) {
    if (body == nullptr || length <= 0 || location == nullptr) return nullptr;
    if (static_cast<std::size_t>(length) > kMaxDescriptionBytes) return nullptr;
    XmlDocument document;
    if (!document.Parse(body, static_cast<std::size_t>(length))) return nullptr;
    XmlElement root = document.Root();
    XmlElement deviceElement = root.Child("device");
    if (!deviceElement) return nullptr;
    const std::string base = DescriptionBaseUrl(root, location);
    std::unique_ptr<UPnPDevice> tree =
        ParseDeviceElement(deviceElement, owner, base, maxAge, interfaceAddress);
    if (tree != nullptr) tree->location = CopyText(location);
    return tree;
}

}  // namespace norvale::cp

namespace norvale::cp {
namespace {

void ParseActionList(XmlElement list, UPnPService* service) {
    for (XmlElement child = list.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("action")) continue;
        auto* action = new UPnPAction;
        for (XmlElement part = child.FirstChild(); part; part = part.NextSibling()) {
            if (part.NameIs("name")) action->name = Copy(part.Text());
        }
        action->next = service->actions;
        service->actions = action;
    }
}

void ParseAllowedValues(XmlElement list, UPnPStateVariable* variable) {
    std::vector<std::string_view> values;
    for (XmlElement child = list.FirstChild(); child; child = child.NextSibling()) {
        if (child.NameIs("allowedValue")) values.push_back(child.Text());
    }
    variable->allowedValueCount = static_cast<std::int32_t>(values.size());
    variable->allowedValues = std::make_unique<OwnedText[]>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        variable->allowedValues[i] = Copy(values[values.size() - 1 - i]);
    }
}

void ParseAllowedRange(XmlElement range, UPnPStateVariable* variable) {
    for (XmlElement child = range.FirstChild(); child; child = child.NextSibling()) {
        if (child.NameIs("minimum")) variable->minimum = Copy(child.Text());
        if (child.NameIs("maximum")) variable->maximum = Copy(child.Text());
        if (child.NameIs("step")) variable->step = Copy(child.Text());
    }
}

void ParseStateTable(XmlElement table, UPnPService* service) {
    for (XmlElement child = table.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("stateVariable")) continue;
        auto* variable = new UPnPStateVariable;
        variable->service = service;
        variable->next = service->stateVariables;
        service->stateVariables = variable;
        for (XmlElement part = child.FirstChild(); part; part = part.NextSibling()) {
            if (part.NameIs("name")) variable->name = Copy(part.Text());
            if (part.NameIs("allowedValueList")) ParseAllowedValues(part, variable);
            if (part.NameIs("allowedValueRange")) ParseAllowedRange(part, variable);
        }
    }
}

}  // namespace

int ParseServiceDescription(const char* body, std::ptrdiff_t length, UPnPService* service) {
    XmlDocument document;
    const bool usable = body != nullptr && length > 0 &&
                        static_cast<std::size_t>(length) <= kMaxDescriptionBytes &&
                        document.Parse(body, static_cast<std::size_t>(length));
    if (!usable) {
        if (UPnPDevice* root = RootOf(service->device)) root->failure = 5;
        return 5;
    }
    XmlElement root = document.Root();
    for (XmlElement child = root.FirstChild(); child; child = child.NextSibling()) {
        if (child.NameIs("actionList")) ParseActionList(child, service);
        if (child.NameIs("serviceStateTable")) ParseStateTable(child, service);
    }
    return 0;
}

}  // namespace norvale::cp
