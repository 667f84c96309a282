#pragma once

#include <QString>

namespace norvale::updater {

// Base address of the firmware-list server without a trailing slash, e.g.
// "https://update.example.com": the build setting, or the NORVALE_UPDATE_SERVER
// environment variable when set. Only an https address is used: anything
// else (http:// included) gives an empty base, and the refusal is explained
// on standard error; the updater then checks nothing.
QString UpdateServerBase();

}  // namespace norvale::updater
