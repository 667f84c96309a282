#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

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
// `frontEnd` must outlive the host. A new device reaches the table by one
// queued call into the user-interface thread; a departure by a blocking one
// (after it the record may be freed), so that thread must keep its event
// loop running while the discovery thread may report.
//
// A row is one (name, address) pair, and several devices may stand behind
// it: two devices of one host with one name, or two device types of one
// tree. The row shows the first of them; when it goes, the row switches to
// the next one, and only the last one's departure removes the row.
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
    // The map-name lookup of a row has ended: `matches` when the name
    // resolved to the address in time (the map name is then the name).
    void mapNameChecked(const QString& name, const QString& address, bool matches);

  private:
    void ThreadProc();
    void StopChain();
    // A device that stands behind a row, as the discovery thread knows it.
    struct Backer {
        cp::UPnPDevice* device;
        DeviceFacts facts;
    };
    using RowKey = std::pair<QString, QString>;  // name, address

    void OnDeviceAdded(cp::UPnPDevice* device);
    void OnDeviceRemoved(cp::UPnPDevice* device);
    void OnLedStatusResult(cp::UPnPDevice* device, int resultCode, int ledStatus);
    void LookUpMapName(const char* name, const QString& rowName, const QString& address);
    void InsertRow(cp::UPnPDevice* device, const QString& name, const QString& address,
                   const DeviceFacts& facts);
    // The row's device left; `next` (null: none) stands behind it from now.
    void ReplaceOrRemoveRow(const RowKey& key, const Backer* next);
    // A lookup of `name` ended. User-interface thread.
    void MapNameChecked(const QString& name, const QString& address, bool matches);
    // Runs `work` on the user-interface thread and waits for it; gives up
    // without running it once the host is being destroyed.
    template <typename F>
    void OnUiThread(F&& work);
    // Queues `work` for the user-interface thread and returns at once; it
    // runs in order with every other call, unless the host is gone by then.
    template <typename F>
    void PostToUiThread(F&& work);

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
    // The devices behind each row, first the one the row shows (discovery thread).
    std::map<RowKey, std::vector<Backer>> backers_;
    std::thread thread_;
};

}  // namespace norvale::app
