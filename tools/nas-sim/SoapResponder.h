#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/nas-sim/Scenario.h"

namespace nassim {

// How the control URL misbehaves. mode: normal, fault (UPnP fault with errorCode), garbage
// (a body that is not XML), missingResponse (an envelope without the <action>Response element),
// emptyLEDStatus (an empty LEDStatus element), emptyBody, drop (close without an answer).
// status overrides the HTTP status (defaults: 500 for fault and emptyBody, 200 otherwise).
// actions limits the quirk to these action names (empty: all).
struct SoapQuirk {
    std::string mode = "normal";
    int errorCode = 501;
    int status = 0;
    std::vector<std::string> actions;

    // Throws std::runtime_error on an unknown key or mode.
    static SoapQuirk fromJson(const nlohmann::json& object);
    bool appliesTo(const std::string& action) const;
};

// The answer to one control request.
struct SoapAnswer {
    int status = 200;
    std::string body;
    bool drop = false;
    std::string note;  // what happened, for the request log ("GetLEDStatus -> 1")
};

// Answers a SOAP POST to `service` of `device`. The action comes from the SOAPACTION header
// ("serviceType#Action", quotes optional); its namespace must be the service's type and the
// body must hold the action element. GetLEDStatus reports device.ledState, SetLEDStatus
// changes it (0 to 2); other listed actions answer an empty response; anything else is a
// UPnP fault (401 invalid action, 402 invalid arguments, 601 out of range).
SoapAnswer answerSoap(const std::string& soapAction, const std::string& body,
                      const ServiceDef& service, DeviceDef& device, const SoapQuirk& quirk);

// A SOAP fault envelope carrying a UPnPError with the code and description.
std::string soapFault(int errorCode, const std::string& description);

// The text of the first element with this local name (any prefix), or false when absent.
bool elementText(const std::string& xml, const std::string& localName, std::string* text);

}  // namespace nassim
