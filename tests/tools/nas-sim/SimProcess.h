#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace nassim::test {

// The nas-sim program running as a child with a scenario written to a temporary file.
// Its stdin and stdout are pipes; its log goes to a file. The child gets SIGTERM when this
// object goes (or when the test process dies).
class SimProcess {
  public:
    explicit SimProcess(const std::string& scenarioJson);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Reads stdout lines until one begins with `prefix`, at most timeoutMs; the line or "".
    std::string waitForLine(const std::string& prefix, int timeoutMs = 3000);
    // Sends one command and returns its reply line.
    std::string command(const std::string& line);
    // The log lines so far.
    std::vector<std::string> log() const;
    // Sends SIGTERM and waits for the exit; returns the exit status.
    int terminate();

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffered_;
    std::string dir_;
};

// A raw HTTP exchange: sends `request` to address:port and reads one response (by its
// Content-Length, its chunks, or until the peer closes). Body is decoded from chunks.
struct RawResponse {
    std::string head;
    std::string body;     // decoded
    std::string rawBody;  // as received
    bool closedByPeer = false;
};
RawResponse httpExchange(const std::string& address, int port, const std::string& request);

}  // namespace nassim::test
