#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "upnp/cp/ControlPoint.h"

#include "app/DiscoveryFrontEnd.h"
#include "app/NameLookup.h"

namespace norvale::stack {
class EventChain;
}

namespace norvale::app {

// Runs the UPnP stack on its own discovery thread with two control points
// (LuNAS and MediaRenderer devices) and turns their reports into rows of the
// front end's device table. Created and used on the user-interface thread;
// `frontEnd` must outlive the host. Device reports reach the table by
// blocking calls into the user-interface thread, so that thread must keep
// its event loop running while the discovery thread may report.
class DiscoveryHost : public QObject {
    Q_OBJECT
  public:
    explicit DiscoveryHost(DiscoveryFrontEnd* frontEnd, QObject* parent = nullptr);
    DiscoveryHost(const DiscoveryHost&) = delete;
    DiscoveryHost& operator=(const DiscoveryHost&) = delete;
    // Requests a stop if needed and waits for the discovery thread.
    ~DiscoveryHost() override;

    // Starts the discovery thread. Call once.
    void Start();
    // The close step: sets the closing flag (reports are ignored from now on)
    // and asks the chain to stop. Does nothing once the chain has stopped.
    void RequestStop();
    bool Closing() const { return closing_.load(); }
    bool ChainStopped() const { return chainStopped_.load(); }

    // LED requests for a listed device (its row must still exist). The
    // answer to GetLEDStatus arrives as LedStatusAnswered and, when it
    // succeeded, as a changed LED column and SetIdentifyLedCaption.
    // SetLEDStatus has no result callback.
    void SendGetLedStatus(cp::UPnPDevice* device);
    void SendSetLedStatus(cp::UPnPDevice* device, int status);

    // A fresh search (with repeats) on every local address, keeping every
    // listed device. Does nothing before the chain runs or once it stops.
    void Search();

    // Control point delays (tests shorten them). Set before Start().
    void SetControlPointOptions(const cp::ControlPointOptions& options) { options_ = options; }
    // The map-name lookup (tests put in a resolver of their own); null: the
    // system's. Set before Start().
    void SetNameResolver(NameLookup::Resolver resolver) { resolver_ = resolver; }

  signals:
    // The discovery thread has ended (the quit request); emitted on the
    // user-interface thread after DiscoveryFrontEnd::DiscoveryStopped.
    void stopped();

  private:
    void ThreadProc();
    void StopChain();
    void OnDeviceAdded(cp::UPnPDevice* device);
    void OnDeviceRemoved(cp::UPnPDevice* device);
    void OnLedStatusResult(cp::UPnPDevice* device, int resultCode, int ledStatus);
    void InsertRow(cp::UPnPDevice* device, const QString& name, const QString& address,
                   const DeviceFacts& facts);
    // A lookup confirmed that `name` resolves to `address`: the row's map
    // name becomes the name. User-interface thread.
    void ConfirmMapName(const QString& name, const QString& address);
    // Runs `work` on the user-interface thread and waits for it; gives up
    // without running it once the host is being destroyed.
    template <typename F>
    void OnUiThread(F&& work);

    static void DeviceAddedThunk(cp::UPnPDevice* device, void* user);
    static void DeviceRemovedThunk(cp::UPnPDevice* device, void* user);
    static void LedStatusThunk(cp::UPnPService* service, int result, void* user, int ledStatus);

    DiscoveryFrontEnd* frontEnd_;
    cp::ControlPointOptions options_;
    NameLookup::Resolver resolver_ = nullptr;
    std::unique_ptr<NameLookup> lookups_;      // made by Start(), ended after the discovery thread
    cp::ControlPoint* controlPoints_[2] = {};  // written before the chain runs, under the stop lock
    std::atomic<stack::EventChain*> chain_{nullptr};
    std::atomic<bool> closing_{false};
    std::atomic<bool> chainStopped_{false};
    std::mutex uiLock_;
    std::condition_variable uiDone_;
    std::atomic<bool> abandoned_{false};  // written under uiLock_
    std::thread thread_;
};

}  // namespace norvale::app
