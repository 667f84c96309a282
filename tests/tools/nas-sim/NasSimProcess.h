#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvale::testing {

// Runs tools/nas-sim (NORVALE_BIN_DIR/nas-sim) as a child process and talks
// to it over its stdin/stdout command lines. The scenario and the log live in
// a private temporary folder, removed with the object. The child gets
// SIGTERM when the object goes, and also when the test process dies.
class NasSimProcess {
  public:
    // Path of the simulator program, or "" when it has not been built.
    static std::string Program();

    // Starts it with `arguments` (a scenario text is written to a file and
    // passed with --scenario) and waits up to 10 s for "ready". Started()
    // says whether that worked; Devices() holds the "device ..." lines before it.
    NasSimProcess(const std::vector<std::string>& arguments, const std::string& scenario = "");
    ~NasSimProcess();
    NasSimProcess(const NasSimProcess&) = delete;
    NasSimProcess& operator=(const NasSimProcess&) = delete;

    bool Started() const { return started_; }
    // The "ready ..." line ("" when it never came).
    const std::string& ReadyLine() const { return ready_; }
    const std::vector<std::string>& Devices() const { return devices_; }
    // Location URL of the device named `name` (from its "device" line).
    std::string Location(const std::string& name) const;
    // Sends one command line and returns the reply line ("ok ...", "error ...").
    std::string Command(const std::string& line);
    // Reads output lines until one begins with `prefix` (at most timeoutMs);
    // the line, or "" on time-out or end of output.
    std::string WaitForLine(const std::string& prefix, int timeoutMs = 3000);
    // The simulator's log lines so far.
    std::vector<std::string> Log() const;
    // Sends SIGTERM and waits for the exit; the wait status (-1 when not running).
    int Terminate();

  private:
    std::string ReadLine(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
    std::string dir_;
    std::string ready_;
    std::vector<std::string> devices_;
    bool started_ = false;
};

}  // namespace norvale::testing
