#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvale::cp::testing {

// Runs tools/nas-sim as a child process (NORVALE_BIN_DIR/nas-sim) and talks
// to it over its stdin/stdout command lines.
class NasSimProcess {
  public:
    // Path of the simulator program, or "" when it has not been built.
    static std::string Program();

    // Starts it with `arguments` (a scenario text is written to a temporary
    // file and passed with --scenario) and waits for "ready". Started() says
    // whether that worked; Devices() holds the "device ..." lines.
    NasSimProcess(const std::vector<std::string>& arguments, const std::string& scenario = "");
    ~NasSimProcess();
    NasSimProcess(const NasSimProcess&) = delete;
    NasSimProcess& operator=(const NasSimProcess&) = delete;

    bool Started() const { return started_; }
    const std::vector<std::string>& Devices() const { return devices_; }
    // Location URL of the device named `name` (from its "device" line).
    std::string Location(const std::string& name) const;
    // Sends one command line and returns the reply line ("ok ...", "error ...").
    std::string Command(const std::string& line);

  private:
    std::string ReadLine(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
    std::string scenarioPath_;
    std::vector<std::string> devices_;
    bool started_ = false;
};

}  // namespace norvale::cp::testing
