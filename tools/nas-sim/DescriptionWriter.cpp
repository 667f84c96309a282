// Writes UPnP 1.0 description documents:
//   <root xmlns="urn:schemas-upnp-org:device-1-0"><specVersion/>[<URLBase/>]
//     <device [MaxVersion=".."]>deviceType friendlyName manufacturer ... UDN presentationURL
//       <serviceList><service>serviceType serviceId SCPDURL controlURL eventSubURL</service>
//       <deviceList><device>...</device></deviceList></device></root>
//   <scpd xmlns="urn:schemas-upnp-org:service-1-0"><specVersion/><actionList/>
//     <serviceStateTable/></scpd>
// Element texts carry no surrounding white space: a control point keeps it.

#include "tools/nas-sim/DescriptionWriter.h"

namespace nassim {

namespace {

const char* const kSpecVersion = "<specVersion><major>1</major><minor>0</minor></specVersion>\n";

void element(std::string& out, const char* name, const std::string& text) {
    out += '<';
    out += name;
    out += '>';
    out += text;
    out += "</";
    out += name;
    out += ">\n";
}

void optionalElement(std::string& out, const char* name, const std::optional<std::string>& text) {
    if (text) element(out, name, *text);
}

std::string maxVersionAttribute(const std::optional<int>& maxVersion) {
    return maxVersion ? " MaxVersion=\"" + std::to_string(*maxVersion) + "\"" : "";
}

void writeService(std::string& out, const ServiceDef& s, const RootDef& root) {
    out += "<service" + maxVersionAttribute(s.maxVersion) + ">\n";
    element(out, "serviceType", s.serviceType);
    element(out, "serviceId", s.serviceId);
    element(out, "SCPDURL", expandUrl(s.scpdUrl, root));
    element(out, "controlURL", expandUrl(s.controlUrl, root));
    element(out, "eventSubURL", expandUrl(s.eventSubUrl, root));
    out += "</service>\n";
}

void writeDevice(std::string& out, const DeviceDef& d, const RootDef& root) {
    out += "<device" + maxVersionAttribute(d.maxVersion) + ">\n";
    element(out, "deviceType", d.deviceType);
    optionalElement(out, "friendlyName", d.friendlyName);
    optionalElement(out, "manufacturer", d.manufacturer);
    optionalElement(out, "manufacturerURL", d.manufacturerUrl);
    optionalElement(out, "modelDescription", d.modelDescription);
    optionalElement(out, "modelName", d.modelName);
    optionalElement(out, "modelNumber", d.modelNumber);
    optionalElement(out, "modelURL", d.modelUrl);
    optionalElement(out, "serialNumber", d.serialNumber);
    element(out, "UDN", d.udn);
    if (d.presentationUrl) element(out, "presentationURL", expandUrl(*d.presentationUrl, root));
    if (!d.services.empty()) {
        out += "<serviceList>\n";
        for (const ServiceDef& s : d.services) writeService(out, s, root);
        out += "</serviceList>\n";
    }
    if (!d.embedded.empty()) {
        out += "<deviceList>\n";
        for (const DeviceDef& e : d.embedded) writeDevice(out, e, root);
        out += "</deviceList>\n";
    }
    out += d.extraXml;
    out += "</device>\n";
}

void writeArgument(std::string& out, const ArgumentDef& a) {
    out += "<argument>";
    out += "<name>" + a.name + "</name>";
    out += "<direction>" + a.direction + "</direction>";
    if (!a.relatedStateVariable.empty())
        out += "<relatedStateVariable>" + a.relatedStateVariable + "</relatedStateVariable>";
    out += "</argument>\n";
}

void writeVariable(std::string& out, const StateVariableDef& v) {
    out += std::string("<stateVariable sendEvents=\"") + (v.sendEvents ? "yes" : "no") + "\">\n";
    element(out, "name", v.name);
    element(out, "dataType", v.dataType);
    optionalElement(out, "defaultValue", v.defaultValue);
    if (!v.allowedValues.empty()) {
        out += "<allowedValueList>\n";
        for (const std::string& value : v.allowedValues) element(out, "allowedValue", value);
        out += "</allowedValueList>\n";
    }
    if (v.minimum || v.maximum || v.step) {
        out += "<allowedValueRange>\n";
        optionalElement(out, "minimum", v.minimum);
        optionalElement(out, "maximum", v.maximum);
        optionalElement(out, "step", v.step);
        out += "</allowedValueRange>\n";
    }
    out += "</stateVariable>\n";
}

}  // namespace

std::string expandUrl(const std::string& text, const RootDef& root) {
    std::string out = text;
    for (auto [key, value] : {std::pair<std::string, std::string>{"{host}", root.address},
                              {"{port}", std::to_string(root.port)}}) {
        for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at))
            out.replace(at, key.size(), value);
    }
    return out;
}

std::string writeDeviceDescription(const RootDef& root) {
    std::string out = "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\n";
    out += kSpecVersion;
    if (root.urlBase) {
        std::string base = "http://" + root.address + ":" + std::to_string(root.port);
        if (*root.urlBase == "auto")
            element(out, "URLBase", base + "/");
        else if (*root.urlBase == "auto-noslash")
            element(out, "URLBase", base);
        else
            element(out, "URLBase", expandUrl(*root.urlBase, root));
    }
    writeDevice(out, root.device, root);
    out += "</root>\n";
    return out;
}

std::string writeServiceDescription(const ServiceDef& service) {
    std::string out =
        "<?xml version=\"1.0\"?>\n<scpd xmlns=\"urn:schemas-upnp-org:service-1-0\">\n";
    out += kSpecVersion;
    out += "<actionList>\n";
    for (const ActionDef& a : service.actions) {
        out += "<action><name>" + a.name + "</name>";
        if (!a.arguments.empty()) {
            out += "<argumentList>\n";
            for (const ArgumentDef& arg : a.arguments) writeArgument(out, arg);
            out += "</argumentList>";
        }
        out += "</action>\n";
    }
    out += "</actionList>\n<serviceStateTable>\n";
    for (const StateVariableDef& v : service.stateVariables) writeVariable(out, v);
    out += "</serviceStateTable>\n</scpd>\n";
    return out;
}

std::string breakXml(const std::string& xml) {
    size_t at = xml.rfind("</");
    if (at == std::string::npos) return xml + "<unclosed>";
    return xml.substr(0, at) + "</broken-" + xml.substr(at + 2);
}

}  // namespace nassim
