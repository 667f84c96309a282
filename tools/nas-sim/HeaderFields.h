#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nassim {

// Header fields of a received HTTP request or SSDP datagram: (name, value) in arrival order,
// names kept as sent.
using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// The value of the first field named `name` (ASCII case ignored), or null. The pointer lives
// as long as `fields` is not changed.
const std::string* findHeader(const HeaderFields& fields, std::string_view name);

// `s` without its leading and trailing spaces and tabs.
std::string trimBlanks(std::string_view s);

}  // namespace nassim
