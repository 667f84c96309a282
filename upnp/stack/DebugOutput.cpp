#include "upnp/stack/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace norvale::stack {
namespace {

bool DebugEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("NORVALE_DEBUG");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

}  // namespace

void DebugOutput(const char* text) {
    if (text == nullptr || !DebugEnabled()) return;
    std::fprintf(stderr, "%s\n", text);
}

}  // namespace norvale::stack
