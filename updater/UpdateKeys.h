#pragma once

#include <string_view>
#include <vector>

#include "updater/MinisignPublicKey.h"

namespace norvale::updater {

// The key file this build was made with (the file named by the CMake setting
// NORVALE_UPDATE_KEYS, compiled in byte for byte; the build refuses a file
// without keys or with a malformed line).
std::string_view CompiledUpdateKeyFile();

// The keys of that file: the only keys whose signatures the updater accepts.
// Nothing at run time adds one.
const std::vector<MinisignPublicKey>& TrustedUpdateKeys();

}  // namespace norvale::updater
