#pragma once

#include <functional>
#include <memory>

namespace norvale::cp {
struct UPnPDevice;
}

namespace norvale::app {

class DiscoveryFrontEnd;

// What the main window asks of the discovery host: start it, stop it, and
// send LED requests for a listed device. The real host is DiscoveryHost
// (through DiscoveryHostLink); tests put a fake in its place. Called on the
// user-interface thread only.
class DiscoveryLink {
  public:
    virtual ~DiscoveryLink() = default;

    // Starts discovery; called once, after the window is laid out.
    virtual void Start() = 0;
    // The close step: reports are ignored from now on and the discovery
    // thread is asked to end; it calls DiscoveryFrontEnd::DiscoveryStopped
    // when it has. Does nothing once the thread has ended.
    virtual void RequestStop() = 0;
    // True once the discovery thread has ended.
    virtual bool ChainStopped() const = 0;
    // LED requests for the device of a row that still exists; the answer to
    // GetLEDStatus comes back through the front end.
    virtual void SendGetLedStatus(cp::UPnPDevice* device) = 0;
    virtual void SendSetLedStatus(cp::UPnPDevice* device, int status) = 0;
    // A fresh search, keeping the listed devices.
    virtual void Search() {}
};

// Makes the link for a front end (the window); the front end outlives it.
using DiscoveryLinkFactory =
    std::function<std::unique_ptr<DiscoveryLink>(DiscoveryFrontEnd* frontEnd)>;

}  // namespace norvale::app
