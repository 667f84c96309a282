#include "tools/nas-sim/HeaderFields.h"

#include <algorithm>
#include <cctype>

namespace nassim {

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

const std::string* findHeader(const HeaderFields& fields, std::string_view name) {
    for (const auto& [key, value] : fields)
        if (equalsIgnoreCase(key, name)) return &value;
    return nullptr;
}

std::string trimBlanks(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

}  // namespace nassim
