#pragma once

#include <QString>
#include <memory>

class QProcess;

namespace norvale::app {

// The built-in simulated NAS network of --demo: starts the nas-sim program
// found beside the executable with its demo scenario, waits until its
// devices are up, and limits discovery to loopback. Stops the simulator
// when destroyed. Use on the thread that created it.
class DemoNetwork {
  public:
    DemoNetwork();
    DemoNetwork(const DemoNetwork&) = delete;
    DemoNetwork& operator=(const DemoNetwork&) = delete;
    ~DemoNetwork();

    // Starts the simulator and waits (up to `timeoutMs`) for its ready line.
    // On failure returns false and `Error()` says why.
    bool Start(int timeoutMs = 10000);
    QString Error() const { return error_; }
    int DeviceCount() const { return devices_; }

  private:
    std::unique_ptr<QProcess> process_;
    QString error_;
    int devices_ = 0;
};

}  // namespace norvale::app
