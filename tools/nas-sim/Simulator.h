#pragma once

#include <netinet/in.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/nas-sim/EventLoop.h"
#include "tools/nas-sim/Logger.h"
#include "tools/nas-sim/Scenario.h"
#include "tools/nas-sim/SimDevice.h"

namespace nassim {

// The whole simulated network: the shared SSDP listener on 0.0.0.0:1900 (group
// 239.255.255.250 joined on 127.0.0.1), the devices, the command channel on stdin and the
// paced datagram queue. Writes "device ..." lines and "ready <n> devices" to `out` once every
// socket is up, then one reply line per command.
class Simulator {
  public:
    Simulator(Scenario scenario, std::string baseAddress, Logger& log, std::FILE* out);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens every socket; false with *error set when one cannot be opened.
    bool start(std::string* error);
    // Serves until "quit", end of input with quitOnEof, or SIGTERM/SIGINT; every device that
    // is still announcing says byebye before it returns.
    void run(bool quitOnEof);
    // Runs one command line and returns its reply ("ok ...", "led <name> <n>", "error ...").
    std::string execute(const std::string& line);

  private:
    struct Datagram {
        int fd;
        std::string bytes;
        sockaddr_in to;
    };
    bool openSsdpListener(std::string* error);
    void readSsdp();
    void readStdin();
    void send(int fd, std::string bytes, const sockaddr_in& to);
    void drainQueue();
    std::unique_ptr<SimDevice> makeDevice(RootDef def);
    SimDevice* findDevice(const std::string& key, DeviceDef** node = nullptr);
    std::string deviceLine(const SimDevice& device) const;
    std::string addDevice(const std::string& json);
    std::string removeDevice(const std::string& key);
    std::string runOnDevice(const std::string& verb, SimDevice& device, DeviceDef& node,
                            const std::string& args);
    void shutdownDevices();

    Scenario scenario_;
    std::string baseAddress_;
    Logger& log_;
    std::FILE* out_;
    EventLoop loop_;
    int ssdpFd_ = -1;
    int signalPipe_[2] = {-1, -1};
    bool quitOnEof_ = false;
    std::string stdinBuffer_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::deque<Datagram> queue_;
    uint64_t queueTimer_ = 0;
    std::mt19937 random_{20261208};  // fixed: runs lose the same answers
};

}  // namespace nassim
