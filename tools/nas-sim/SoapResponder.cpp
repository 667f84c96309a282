// Answers SOAP 1.1 control requests:
//   header  SOAPACTION: "<serviceType>#<Action>"
//   body    <s:Envelope ...><s:Body><u:<Action> xmlns:u="<serviceType>">
//             [<LEDStatus>n</LEDStatus>]</u:<Action>></s:Body></s:Envelope>
// The body is not parsed as a whole: the action element and its arguments are located by
// local name, which is all a small device firmware does.

#include "tools/nas-sim/SoapResponder.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace nassim {

namespace {

const char* const kEnvelopeHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
const char* const kEnvelopeTail = "</s:Body></s:Envelope>";

std::string actionResponse(const std::string& action, const std::string& type,
                           const std::string& inner) {
    return std::string(kEnvelopeHead) + "<u:" + action + "Response xmlns:u=\"" + type + "\">" +
           inner + "</u:" + action + "Response>" + kEnvelopeTail;
}

SoapAnswer fault(int code, const std::string& description, int status = 500) {
    return {status, soapFault(code, description), false, "fault " + std::to_string(code)};
}

// Splits "type#Action" (optionally in double quotes).
bool splitSoapAction(std::string value, std::string* type, std::string* action) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    size_t hash = value.rfind('#');
    if (hash == std::string::npos) return false;
    *type = value.substr(0, hash);
    *action = value.substr(hash + 1);
    return !action->empty();
}

bool parseLedValue(const std::string& text, int* value) {
    if (text.empty() || text.size() > 3) return false;
    if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    *value = std::stoi(text);
    return true;
}

SoapAnswer quirkAnswer(const SoapQuirk& quirk, const ServiceDef& service,
                       const std::string& action) {
    auto status = [&](int fallback) { return quirk.status ? quirk.status : fallback; };
    if (quirk.mode == "fault") return fault(quirk.errorCode, "Simulated failure", status(500));
    if (quirk.mode == "garbage") return {status(200), "this is <not xml", false, "garbage"};
    if (quirk.mode == "emptyBody") return {status(500), "", false, "empty body"};
    if (quirk.mode == "drop") return {0, "", true, "dropped"};
    if (quirk.mode == "missingResponse")
        return {status(200), actionResponse("Other", service.serviceType, ""), false,
                "missing response element"};
    // emptyLEDStatus
    std::string inner = action == "GetLEDStatus" ? "<LEDStatus></LEDStatus>" : "";
    return {status(200), actionResponse(action, service.serviceType, inner), false,
            "empty LEDStatus"};
}

}  // namespace

SoapQuirk SoapQuirk::fromJson(const nlohmann::json& object) {
    SoapQuirk quirk;
    if (!object.is_object()) throw std::runtime_error("soap quirk: not an object");
    for (const auto& [key, value] : object.items()) {
        if (key == "mode")
            quirk.mode = value.get<std::string>();
        else if (key == "errorCode")
            quirk.errorCode = value.get<int>();
        else if (key == "status")
            quirk.status = value.get<int>();
        else if (key == "actions")
            quirk.actions = value.get<std::vector<std::string>>();
        else
            throw std::runtime_error("soap quirk: unknown key " + key);
    }
    static const char* const modes[] = {"normal",         "fault",     "garbage", "missingResponse",
                                        "emptyLEDStatus", "emptyBody", "drop"};
    if (std::none_of(std::begin(modes), std::end(modes),
                     [&](const char* m) { return quirk.mode == m; }))
        throw std::runtime_error("soap quirk: unknown mode " + quirk.mode);
    return quirk;
}

bool SoapQuirk::appliesTo(const std::string& action) const {
    if (mode == "normal") return false;
    return actions.empty() || std::find(actions.begin(), actions.end(), action) != actions.end();
}

std::string soapFault(int errorCode, const std::string& description) {
    return std::string(kEnvelopeHead) +
           "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
           "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
           std::to_string(errorCode) + "</errorCode><errorDescription>" + description +
           "</errorDescription></UPnPError></detail></s:Fault>" + kEnvelopeTail;
}

bool elementText(const std::string& xml, const std::string& localName, std::string* text) {
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string::npos) {
        size_t nameStart = at + 1;
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", nameStart);
        if (nameEnd == std::string::npos) return false;
        std::string name = xml.substr(nameStart, nameEnd - nameStart);
        size_t colon = name.find(':');
        if (colon != std::string::npos) name = name.substr(colon + 1);
        size_t close = xml.find('>', nameEnd);
        if (close == std::string::npos) return false;
        if (name == localName && xml[nameStart] != '/') {
            if (xml[close - 1] == '/') {
                text->clear();
                return true;
            }
            size_t end = xml.find('<', close + 1);
            *text =
                xml.substr(close + 1, (end == std::string::npos ? xml.size() : end) - close - 1);
            return true;
        }
        at = close;
    }
    return false;
}

SoapAnswer answerSoap(const std::string& soapAction, const std::string& body,
                      const ServiceDef& service, DeviceDef& device, const SoapQuirk& quirk) {
    std::string type, action, ignored;
    if (!splitSoapAction(soapAction, &type, &action)) return fault(401, "Invalid Action");
    if (type != service.serviceType) return fault(401, "Invalid Action");
    bool listed = std::any_of(service.actions.begin(), service.actions.end(),
                              [&](const ActionDef& a) { return a.name == action; });
    if (!listed || !elementText(body, action, &ignored)) return fault(401, "Invalid Action");
    if (body.find("\"" + service.serviceType + "\"") == std::string::npos)
        return fault(401, "Invalid Action");
    if (quirk.appliesTo(action)) return quirkAnswer(quirk, service, action);
    if (action == "GetLEDStatus") {
        std::string inner = "<LEDStatus>" + std::to_string(device.ledState) + "</LEDStatus>";
        return {200, actionResponse(action, service.serviceType, inner), false,
                "GetLEDStatus -> " + std::to_string(device.ledState)};
    }
    if (action == "SetLEDStatus") {
        std::string text;
        int value = 0;
        if (!elementText(body, "LEDStatus", &text) || !parseLedValue(text, &value))
            return fault(402, "Invalid Args");
        if (value > 2) return fault(601, "Argument Value Out of Range");
        device.ledState = value;
        return {200, actionResponse(action, service.serviceType, ""), false,
                "SetLEDStatus " + std::to_string(value)};
    }
    return {200, actionResponse(action, service.serviceType, ""), false, action};
}

}  // namespace nassim
