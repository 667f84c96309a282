#pragma once

#include <netinet/in.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tools/nas-sim/EventLoop.h"
#include "tools/nas-sim/HttpConnection.h"
#include "tools/nas-sim/HttpResponseWriter.h"
#include "tools/nas-sim/Logger.h"
#include "tools/nas-sim/Scenario.h"
#include "tools/nas-sim/SsdpMessages.h"

namespace nassim {

// What a device needs from the simulator around it. `send` queues one datagram from the
// device's own UDP socket; `command` runs a stdin-style command line (scheduled entries).
struct DeviceHooks {
    EventLoop& loop;
    Logger& log;
    std::function<void(int fd, std::string bytes, sockaddr_in to)> send;
    std::function<void(const std::string& commandLine)> command;
    // Extra delay of the answers to one search (may be empty: none).
    std::function<int()> answerDelayMs;
    // True when one search answer is to be lost (may be empty: none is).
    std::function<bool()> dropAnswer;
};

// One simulated root device (with its embedded devices): a UDP socket on its own loopback
// address for search responses and NOTIFY messages, an HTTP server on address:port serving
// descriptions, SOAP control and event URLs, and its scheduled behaviour.
class SimDevice {
  public:
    SimDevice(RootDef def, DeviceHooks hooks);
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Opens the sockets, announces (unless the scenario says not to) and arms the schedule.
    // False with *error set when a socket cannot be opened.
    bool start(std::string* error);

    const RootDef& def() const { return def_; }
    const std::string& name() const { return def_.device.name; }
    std::string location() const;
    int udpFd() const { return udpFd_; }

    // The device node (root or embedded) whose name, UDN (with or without "uuid:") or
    // friendly name is `key`; null when none.
    DeviceDef* findNode(const std::string& key);

    void onSearch(const SsdpMessage& search, const sockaddr_in& from);
    void byebye();   // ssdp:byebye for every target; stops announcing and answering
    void alive();    // resumes announcing and answering; sends ssdp:alive now
    void silence();  // stops announcing and answering without a word
    bool relocate(uint16_t port, const std::string& path, std::string* error);
    bool setHttp(bool on, std::string* error);
    // Closes every socket and connection at once (before a removal; the object itself may
    // still be running a scheduled command).
    void stop();
    // Merges {"http": {...}, "soap": {...}, "ssdp": {...}} into the device's quirks.
    void mergeQuirks(const nlohmann::json& quirks);
    bool announcing() const { return announcing_; }

  private:
    bool openListener(uint16_t port, std::string* error);
    void closeListener();
    void acceptConnections();
    void sendNotify(bool alive);
    void armPeriodicNotify();
    HttpReply route(const HttpRequest& request);
    HttpAnswer answerFor(const HttpRequest& request, const std::string& kind,
                         const std::string& path, ServiceDef* service, DeviceDef* owner,
                         std::string* note);
    HttpAnswer answerEvent(const HttpRequest& request, std::string* note);
    std::string cacheControl() const;

    RootDef def_;
    DeviceHooks hooks_;
    int udpFd_ = -1;
    int listenFd_ = -1;
    bool announcing_ = true;
    int searchesIgnored_ = 0;
    int searchesAnswered_ = 0;
    uint64_t notifyTimer_ = 0;
    std::vector<uint64_t> scheduleTimers_;
    std::set<uint64_t> searchTimers_;
    std::map<int, std::unique_ptr<HttpConnection>> connections_;
    std::set<std::string> subscriptions_;
    int nextSid_ = 1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // watched by deferred steps
};

}  // namespace nassim
