#pragma once

#include "app/DiscoveryHost.h"
#include "app/DiscoveryLink.h"

namespace norvale::app {

// The main window's link to the real discovery host: one DiscoveryHost for
// the front end, owned here; its destruction waits for the discovery thread.
class DiscoveryHostLink : public DiscoveryLink {
  public:
    explicit DiscoveryHostLink(DiscoveryFrontEnd* frontEnd) : host_(frontEnd) {}

    void Start() override { host_.Start(); }
    void RequestStop() override { host_.RequestStop(); }
    bool ChainStopped() const override { return host_.ChainStopped(); }
    void SendGetLedStatus(cp::UPnPDevice* device) override { host_.SendGetLedStatus(device); }
    void SendSetLedStatus(cp::UPnPDevice* device, int status) override {
        host_.SendSetLedStatus(device, status);
    }
    void Search() override { host_.Search(); }

    DiscoveryHost& Host() { return host_; }

    // The factory the program uses.
    static DiscoveryLinkFactory Factory() {
        return [](DiscoveryFrontEnd* frontEnd) -> std::unique_ptr<DiscoveryLink> {
            return std::make_unique<DiscoveryHostLink>(frontEnd);
        };
    }

  private:
    DiscoveryHost host_;
};

}  // namespace norvale::app
