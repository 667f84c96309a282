#pragma once

namespace nassim {

// The built-in demo scenario (scenarios/demo.json, compiled in).
const char* demoScenarioJson();

}  // namespace nassim
