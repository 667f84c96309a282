#include "app/CommandLine.h"

#include <arpa/inet.h>

#include <cmath>
#include <cstdlib>

namespace norvale::app {
namespace {

using Mode = CommandLine::Mode;

struct Reader {
    const std::vector<std::string>& args;
    std::size_t next = 0;
    std::string error;

    // The value of option `name`, inline after "=" or as the next argument.
    std::optional<std::string> Value(const std::string& name,
                                     const std::optional<std::string>& inlineValue) {
        if (inlineValue) return inlineValue;
        if (next >= args.size()) {
            error = "option " + name + " needs a value";
            return std::nullopt;
        }
        return args[next++];
    }
};

bool SetMode(CommandLine& line, Mode mode, const std::string& option, std::string& error) {
    if (line.mode != Mode::Window && line.mode != mode) {
        error = "option " + option + " cannot be combined with another action";
        return false;
    }
    line.mode = mode;
    return true;
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0 ||
        value > 86400 * 365) {
        return std::nullopt;
    }
    return value;
}

bool IsDottedIpv4(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// Handles one option that takes a value. Returns false with `error` set on failure.
bool TakeValueOption(CommandLine& line, const std::string& name, const std::string& value,
                     std::string& error) {
    if (name == "--timeout") {
        auto seconds = ParseSeconds(value);
        if (!seconds) error = "--timeout needs a positive number of seconds, not \"" + value + "\"";
        line.timeoutSeconds = seconds;
        return seconds.has_value();
    }
    if (name == "--interface") {
        if (!IsDottedIpv4(value))
            error = "--interface needs a dotted IPv4 address, not \"" + value + "\"";
        line.interfaces.push_back(value);
        return error.empty();
    }
    if (name == "--device") {
        if (value.empty()) error = "--device needs a device name or IP address";
        line.device = value;
        return !value.empty();
    }
    // --set-led
    if (value != "on" && value != "off") {
        error = "--set-led takes on or off, not \"" + value + "\"";
        return false;
    }
    line.ledOn = value == "on";
    return SetMode(line, Mode::SetLed, name, error);
}

bool TakeFlag(CommandLine& line, const std::string& name, std::string& error) {
    if (name == "--list") return SetMode(line, Mode::List, name, error);
    if (name == "--watch") return SetMode(line, Mode::Watch, name, error);
    if (name == "--help" || name == "-h") return SetMode(line, Mode::Help, name, error);
    if (name == "--version") return SetMode(line, Mode::Version, name, error);
    if (name == "--json") return line.json = true;
    if (name == "--all") return line.all = true;
    if (name == "--demo") return line.demo = true;
    error = "unknown option " + name;
    return false;
}

// Options that only make sense with certain actions.
std::string CheckCombination(const CommandLine& line) {
    if (line.json && line.mode != Mode::List) return "--json goes with --list";
    if (line.all && line.mode != Mode::List && line.mode != Mode::Watch) {
        return "--all goes with --list or --watch";
    }
    if (line.mode == Mode::SetLed && line.device.empty()) return "--set-led needs --device NAME|IP";
    if (!line.device.empty() && line.mode != Mode::SetLed) return "--device goes with --set-led";
    if (line.timeoutSeconds && line.mode != Mode::List && line.mode != Mode::Watch &&
        line.mode != Mode::SetLed) {
        return "--timeout goes with --list, --watch or --set-led";
    }
    return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    Reader reader{args, 0, {}};
    while (reader.next < args.size()) {
        std::string name = args[reader.next++];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const bool takesValue = name == "--timeout" || name == "--interface" ||
                                name == "--device" || name == "--set-led";
        std::string error;
        if (takesValue) {
            auto value = reader.Value(name, inlineValue);
            if (!value) return {std::nullopt, reader.error};
            if (!TakeValueOption(line, name, *value, error)) return {std::nullopt, error};
        } else if (inlineValue) {
            return {std::nullopt, "option " + name + " takes no value"};
        } else if (!TakeFlag(line, name, error)) {
            return {std::nullopt, error};
        }
    }
    if (std::string error = CheckCombination(line); !error.empty()) return {std::nullopt, error};
    return {line, {}};
}

std::string UsageText() {
    return "Usage:\n"
           "  norvale-discovery [--demo]                 open the window (F5 searches again)\n"
           "  norvale-discovery --list [--json] [--timeout S] [--all] [--interface ADDR]...\n"
           "  norvale-discovery --watch [--timeout S] [--all] [--interface ADDR]...\n"
           "  norvale-discovery --set-led on|off --device NAME|IP [--timeout S] [--interface "
           "ADDR]...\n"
           "  norvale-discovery --demo [any of the above]\n"
           "  norvale-discovery --help | --version\n"
           "\n"
           "  --list       search for S seconds (default 6), print the devices and exit\n"
           "  --json       print the list as one JSON array\n"
           "  --watch      print one JSON object per line as devices come, go or change their "
           "LED,\n"
           "               for S seconds (default: until interrupted); SIGHUP searches again\n"
           "  --all        also show devices whose model is not supported\n"
           "  --set-led    switch the identify LED of the device with that name or IP address\n"
           "               (waits up to S seconds for it, default 10)\n"
           "  --interface  search only on this local IPv4 address (repeatable; loopback is always "
           "used)\n"
           "  --demo       start a simulated NAS network on loopback and search only there\n";
}

}  // namespace norvale::app
