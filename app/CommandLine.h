#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvale::app {

// What the user asked norvale-discovery to do.
struct CommandLine {
    enum class Mode { Window, List, Watch, SetLed, Help, Version };
    Mode mode = Mode::Window;
    bool json = false;
    bool all = false;
    bool demo = false;
    std::optional<double> timeoutSeconds;  // absent: the mode's default
    std::vector<std::string> interfaces;   // dotted IPv4 addresses
    bool ledOn = false;                    // --set-led on|off
    std::string device;                    // --device NAME|IP
};

// The outcome of reading argv: either a command line or one line naming the
// problem (for stderr, followed by the usage; exit status 2).
struct ParsedCommandLine {
    std::optional<CommandLine> commandLine;
    std::string error;
};

// Reads the program's arguments (without argv[0]). Options take their value
// as the next argument or after "=". Qt's own options (-platform, ...) are
// not accepted here; the caller strips them first if it wants them.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text printed by --help and after a usage error.
std::string UsageText();

}  // namespace norvale::app
