#pragma once

#include <QString>
#include <memory>

class QProcess;
class QTemporaryDir;

namespace norvale::app {

// The shares of the --demo network: a private smbd with a few guest shares
// (Documents, Media, Photos, Public, a hidden backup$), answering on every
// loopback address so each simulated device has them. It runs only as root
// and only where the network is loopback alone (the private namespace the
// program runs in here); elsewhere Start() refuses and the share buttons
// report the devices unreachable, which is then the truth. The server and
// the helpers it spawns are ended when this object goes.
class DemoShares {
  public:
    DemoShares();
    DemoShares(const DemoShares&) = delete;
    DemoShares& operator=(const DemoShares&) = delete;
    ~DemoShares();

    // Starts smbd and waits (up to timeoutMs) until it accepts connections.
    // False with Error() saying why.
    bool Start(int timeoutMs = 10000);
    QString Error() const { return error_; }
    // The server's private configuration file; empty before Start().
    QString ConfigPath() const { return configPath_; }

    // True when only loopback interfaces are up: nothing the server offers
    // can be reached from another machine.
    static bool OnlyLoopback();

  private:
    bool WriteConfiguration(QString* configPath);
    void WarmUp(int timeoutMs);
    void Stop();

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<QProcess> process_;
    qint64 group_ = 0;
    QString configPath_;
    QString error_;
};

}  // namespace norvale::app
