#pragma once

#include <map>
#include <mutex>
#include <string>

#include "FakeHttpServer.h"

namespace norvale::cp::testing {

inline constexpr char kLuNAS[] = "urn:schemas-upnp-org:device:LuNAS:1";
inline constexpr char kLedService[] = "urn:schemas-upnp-org:service:LEDControl:1";

// A service element whose SCPD is served at /<name>.xml and controlled at
// /<name>/control.
inline std::string ServiceXml(const std::string& name, const std::string& type = kLedService) {
    return "<service><serviceType>" + type +
           "</serviceType><serviceId>urn:upnp-org:serviceId:" + name + "</serviceId><SCPDURL>/" +
           name + ".xml</SCPDURL><controlURL>/" + name + "/control</controlURL><eventSubURL>/" +
           name + "/event</eventSubURL></service>";
}

inline std::string DeviceXml(const std::string& udn, const std::string& type,
                             const std::string& name, const std::string& services,
                             const std::string& embedded = "") {
    std::string xml = "<device><deviceType>" + type + "</deviceType><friendlyName>" + name +
                      "</friendlyName><modelNumber>QMA5KS0001</modelNumber>";
    if (!udn.empty()) xml += "<UDN>uuid:" + udn + "</UDN>";
    if (!services.empty()) xml += "<serviceList>" + services + "</serviceList>";
    if (!embedded.empty()) xml += "<deviceList>" + embedded + "</deviceList>";
    return xml + "</device>";
}

inline std::string RootXml(const std::string& device) {
    return "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>0</minor></specVersion>" +
           device + "</root>";
}

inline std::string ScpdXml(const std::string& actions) {
    std::string xml = "<?xml version=\"1.0\"?><scpd><actionList>";
    std::size_t at = 0;
    while (at <= actions.size()) {
        const std::size_t comma = actions.find(',', at);
        const std::string name =
            actions.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        xml += "<action><name>" + name + "</name></action>";
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return xml + "</actionList><serviceStateTable/></scpd>";
}

// A fake device: full HTTP answers by path, changeable while it runs.
// Unknown paths get 404; an answer "" keeps the request waiting.
class CannedDevice {
  public:
    explicit CannedDevice(const char* address, int port = 0)
        : server_(
              address, [this](const std::string& path) { return Lookup(path); }, port) {}
    void Set(const std::string& path, const std::string& answer) {
        std::lock_guard<std::mutex> guard(mutex_);
        answers_[path] = answer;
    }
    void SetXml(const std::string& path, const std::string& xml) {
        Set(path, FakeHttpServer::Answer(200, xml));
    }
    std::string Url(const std::string& path) const { return server_.Url(path); }
    FakeHttpServer& Server() { return server_; }

  private:
    std::string Lookup(const std::string& path) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = answers_.find(path);
        return found == answers_.end() ? FakeHttpServer::Answer(404, "") : found->second;
    }
    std::mutex mutex_;
    std::map<std::string, std::string> answers_;
    FakeHttpServer server_;
};

}  // namespace norvale::cp::testing
