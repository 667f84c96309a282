#pragma once

#include <string>

#include "tools/nas-sim/Scenario.h"

namespace nassim {

// The device description document of `root` at its current address and port. Text fields
// are written as the scenario gives them (they are XML text already: "&amp;" stays as is).
std::string writeDeviceDescription(const RootDef& root);

// The service description (SCPD) of one service.
std::string writeServiceDescription(const ServiceDef& service);

// Replaces "{host}" and "{port}" in a URL text with the device's current address and port.
std::string expandUrl(const std::string& text, const RootDef& root);

// A copy of `xml` that is no longer well-formed: its last closing tag gets a wrong name.
std::string breakXml(const std::string& xml);

}  // namespace nassim
