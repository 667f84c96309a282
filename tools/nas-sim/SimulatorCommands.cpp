// The command language of the simulator, one command per line (stdin and schedules):
//   byebye|alive|silence <dev>            SSDP presence
//   led <dev> <0|1|2>  /  get <dev>        identify-LED state
//   relocate <dev> <port> [path]          new LOCATION, announced at once
//   http <dev> on|off                     open or close the HTTP listener
//   quirks <dev> <json>                   merge {"http":..,"soap":..,"ssdp":..}
//   add <json>  /  remove <dev>  /  list  /  quit
// <dev> is a device name, friendly name, UDN (with or without "uuid:") or root address.

#include <sstream>

#include "tools/nas-sim/Simulator.h"

namespace nassim {

namespace {

std::string rest(std::istringstream& in) {
    std::string text;
    std::getline(in, text);
    size_t b = text.find_first_not_of(' ');
    return b == std::string::npos ? "" : text.substr(b);
}

}  // namespace

std::string Simulator::execute(const std::string& line) {
    std::istringstream in(line);
    std::string verb, key;
    in >> verb;
    try {
        if (verb == "quit") {
            loop_.stop();
            return "ok quit";
        }
        if (verb == "list") {
            std::string out;
            for (const auto& d : devices_) out += deviceLine(*d) + "\n";
            return out + "ok list " + std::to_string(devices_.size());
        }
        if (verb == "add") return addDevice(rest(in));
        in >> key;
        if (key.empty()) return "error usage: " + verb + " <device> ...";
        if (verb == "remove") return removeDevice(key);
        DeviceDef* node = nullptr;
        SimDevice* device = findDevice(key, &node);
        if (!device) return "error no device " + key;
        return runOnDevice(verb, *device, *node, rest(in));
    } catch (const std::exception& e) {
        return std::string("error ") + e.what();
    }
}

std::string Simulator::runOnDevice(const std::string& verb, SimDevice& device, DeviceDef& node,
                                   const std::string& args) {
    std::string ok = "ok " + verb + " " + node.name;
    std::string error;
    if (verb == "byebye")
        device.byebye();
    else if (verb == "alive")
        device.alive();
    else if (verb == "silence")
        device.silence();
    else if (verb == "get")
        return "led " + node.name + " " + std::to_string(node.ledState);
    else if (verb == "led") {
        if (args != "0" && args != "1" && args != "2") return "error led takes 0, 1 or 2";
        node.ledState = args[0] - '0';
    } else if (verb == "relocate") {
        std::istringstream in(args);
        int port = 0;
        std::string path;
        in >> port >> path;
        if (port <= 0 || port > 65535) return "error relocate takes a port";
        if (!path.empty() && path[0] != '/') return "error the path must begin with /";
        if (!device.relocate(static_cast<uint16_t>(port), path, &error)) return "error " + error;
        ok += " " + device.location();
    } else if (verb == "http") {
        if (args != "on" && args != "off") return "error http takes on or off";
        if (!device.setHttp(args == "on", &error)) return "error " + error;
    } else if (verb == "quirks") {
        device.mergeQuirks(nlohmann::json::parse(args));
    } else {
        return "error unknown command " + verb;
    }
    log_.line("command " + verb + " " + node.name + (args.empty() ? "" : " " + args));
    return ok;
}

}  // namespace nassim
