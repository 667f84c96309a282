#pragma once

#include <QString>

namespace norvale::updater {

// Base address of the firmware-list server without a trailing slash, e.g.
// "https://update.example.com". The NORVALE_UPDATE_SERVER environment
// variable, when set and starting with http:// or https://, replaces the
// built-in address. Empty when the variable is set to anything else (the
// check then finds nothing rather than asking an unintended host).
QString UpdateServerBase();

}  // namespace norvale::updater
