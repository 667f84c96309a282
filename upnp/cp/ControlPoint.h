#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "upnp/cp/UPnPDevice.h"
#include "upnp/stack/ChainedObject.h"
#include "upnp/stack/KeyedTable.h"
#include "upnp/stack/StackSemaphore.h"
#include "upnp/stack/WebClient.h"

namespace norvale::stack {
class EventChain;
class LifetimeMonitor;
}  // namespace norvale::stack

// Use by the application (discovery thread): create the chain, then one
// control point per search target ("urn:schemas-upnp-org:device:LuNAS:1",
// "urn:schemas-upnp-org:device:MediaRenderer:1") with the same callbacks and
// a user pointer to the host, then run the chain. In deviceAdded read
// location, friendlyName, modelNumber (IsSupportedModel of ModelRules.h may
// rewrite it), deviceType, udn, presentationURL and firstService->actions;
// send the LED actions of SoapActions.h to device->firstService from any
// thread. Each control point keeps its own trees, so a device seen by both
// is reported twice (two records with the same name and location).

namespace norvale::cp {

struct HttpReply;
class StackLinks;

// Application callbacks of a control point. Both run on the chain thread
// with no control point lock held, so they may block on another thread that
// itself calls ControlPoint_GetLEDStatus/SetLEDStatus. The device stays
// valid at least until deviceRemoved has returned for it; to keep it longer
// take a reference (AddDeviceReference). `user` is the pointer given to
// ControlPoint_Create.
using DeviceCallback = void (*)(UPnPDevice* device, void* user);

// Delays of the tracking state machine; tests shorten them.
struct ControlPointOptions {
    int relocationDelayMs = 7000;            // from a seen move to removal and refetch
    int relocationGapSeconds = 10;           // a move counts only this long after a refresh
    int expiryMsPerSecond = 1000;            // expiry timer = maxAge x this
    std::int64_t (*nowSeconds)() = nullptr;  // null: the stack clock's seconds
    bool search = true;  // false: no SSDP client; sightings come only via OnSsdpResult
    // Description fetches in progress at most, per LOCATION host (the sender:
    // the SSDP client passes only sightings whose LOCATION names it) and in
    // all. A sighting over a cap is dropped; the device is found again by its
    // next announcement or a search. A host serves one description per
    // device it runs (a NAS with a media server and a renderer, a PC with a
    // few UPnP programs), so 16 leaves room for a busy host while one host
    // can no longer grow the tables and the request queue without bound;
    // 1024 is twice the largest network we measure answering one search at
    // once (500 devices), about 1 MB of bookkeeping at the cap.
    int maxPendingFetchesPerHost = 16;
    int maxPendingFetches = 1024;
    // Devices (description trees, tracked or being fetched) at most per
    // LOCATION host and in all; past a cap a new device is ignored (with a
    // debug message) until one leaves. 32 per host leaves room for a host
    // running many UPnP programs; 1024 in all is twice the largest network
    // measured. Embedded devices per tree and services per device are capped
    // where descriptions are read (DeviceDescription.h).
    int maxDevicesPerHost = 32;
    int maxDevices = 1024;
    // Deadlines of description and service-description fetches: a LAN
    // device answers within milliseconds, so a few seconds tell a silent
    // one. SOAP calls keep the HTTP client's own (30 s).
    int fetchConnectTimeoutMs = 3000;
    int fetchResponseTimeoutMs = 5000;
};

// Longest max-age taken from an announcement (one day): a larger one, up to
// the saturated 2^31 - 1, would keep a device that is gone listed for ever.
inline constexpr int kMaxAgeLimitSeconds = 86400;

// Follows the devices of one SSDP search target on a chain: fetches their
// descriptions, announces every LuNAS:n or MediaRenderer:n device (n >= 1)
// of a complete tree to deviceAdded, and reports deviceRemoved when it
// leaves (byebye), expires (maxAge without a refreshing NOTIFY) or moves to
// a new LOCATION (removed, then added again from the new one). Owned by the
// chain; everything but the reference counting runs on the chain thread.
class ControlPoint : public stack::ChainedObject {
  public:
    ControlPoint(stack::EventChain* chain, DeviceCallback added, DeviceCallback removed, void* user,
                 const ControlPointOptions& options);
    ~ControlPoint() override;

    // Teardown at the end of the chain: reports every announced device
    // removed (embedded devices first) and frees every tree.
    void OnDestroy() override;

    // One SSDP sighting. `udn` without "uuid:" (null: ignored); alive nonzero
    // for a search response or alive NOTIFY, 0 for byebye; maxAge in seconds;
    // kind 1 search response, 2 NOTIFY. Strings are read during the call only.
    void OnSsdpResult(const char* udn, int alive, const char* location, int maxAge, int kind);

    // Asks for a fresh search; any thread (it runs on the chain thread's
    // next pass). Answers of devices already known or being fetched cost
    // no second fetch.
    void Search();

    // Number of entries of the three tables (for tests and benchmarks).
    std::size_t DeviceTableCount();
    std::size_t PendingTableCount();
    std::size_t LocationTableCount();
    // The port of the event listener (0 when it could not be opened).
    int EventListenerPort() const;

    // Deadlines and tag of a fetch for the tree `root` (null: a description).
    stack::WebRequestOptions FetchOptions(UPnPDevice* root) const;

    // Internal steps, public for the description and SOAP code of this
    // library; the application does not call them.
    // Enters every udn of a new tree (embedded devices take the root's
    // location); false, with nothing entered, when a udn of it already
    // belongs to another tracked tree or occurs twice in it.
    // The udn the tree was announced with, when none of its devices has it,
    // becomes an alias of the root.
    bool RegisterDeviceTree(UPnPDevice* root, const char* announcedUdn);
    void CompleteDevice(UPnPDevice* root);
    void RemoveDeviceTree(UPnPDevice* device);
    // Drops an unannounced tree from the tables and frees it.
    void DiscardTree(UPnPDevice* root);
    void AddReference(UPnPDevice* device);
    void Release(UPnPDevice* device);
    StackLinks& Links() { return *links_; }

  private:
    friend ControlPoint* ControlPoint_Create(stack::EventChain*, const char*, DeviceCallback,
                                             DeviceCallback, void*, const ControlPointOptions&);
    struct DescriptionRequest;

    void OnByebye(const char* udn);
    void OnAlive(const char* udn, const char* location, int maxAge, int kind);
    void StartFetch(const char* udn, const char* location, int maxAge);
    bool TakeFetchSlot(const std::string& host);
    void ReleaseFetchSlot(const DescriptionRequest& request);
    void CountTree(UPnPDevice* root, int change);
    void RefreshRoot(UPnPDevice* root, const char* location, int maxAge);
    void RestartExpiry(UPnPDevice* root, int maxAge);
    void RemoveAliases(UPnPDevice* root);
    void RemoveAliasesIn(stack::KeyedTable<void*>& table, UPnPDevice* root);
    void TeardownDevice(UPnPDevice* device);
    std::int64_t NowSeconds() const;
    static void OnDescriptionResponse(const HttpReply& reply, void* record, void* self);
    static void ExpireDevice(void* root);
    static void RelocateDevice(void* root);
    static void SearchNow(void* key);

    DeviceCallback deviceAdded_;
    DeviceCallback deviceRemoved_;
    void* user_;
    ControlPointOptions options_;
    stack::LifetimeMonitor* timers_ = nullptr;
    std::unique_ptr<StackLinks> links_;  // HTTP client, SSDP client, event listener
    stack::StackSemaphore referenceLock_;
    // udn -> UPnPDevice* (null while its description is fetched); with extra
    // 1, the udn a root was announced with when its tree does not list it
    stack::KeyedTable<void*> deviceTable_;
    // udn -> description request token
    stack::KeyedTable<void*> pendingTable_;
    // LOCATION -> udn of a fetch in progress (extra 0), or, with extra 1, a
    // root that was seen announcing this LOCATION too (removed with it)
    stack::KeyedTable<void*> locationTable_;
    // LOCATION host -> description fetches in progress, and tracked trees
    // (both under the deviceTable lock)
    std::unordered_map<std::string, int> fetchesPerHost_;
    std::unordered_map<std::string, int> treesPerHost_;
    int trees_ = 0;
    // The timer data of a search asked for from any thread.
    struct SearchKey {
        ControlPoint* owner;
    } searchKey_{this};
};

// Creates a control point for `searchTarget` (for example
// "urn:schemas-upnp-org:device:LuNAS:1") on `chain`, which owns it; the
// search starts on the chain's first pass. Callbacks may be null.
ControlPoint* ControlPoint_Create(stack::EventChain* chain, const char* searchTarget,
                                  DeviceCallback deviceAdded, DeviceCallback deviceRemoved,
                                  void* user = nullptr,
                                  const ControlPointOptions& options = ControlPointOptions());

// A fresh search (with its repeats) without forgetting any device; safe from
// any thread while the chain runs. Null is ignored.
void ControlPoint_Search(ControlPoint* controlPoint);

// The n-th device (from 0) of the tree in pre-order whose deviceType is
// "urn:schemas-upnp-org:device:LuNAS:" or "...:MediaRenderer:" followed by a
// version of at least 1; null when there are fewer.
UPnPDevice* FindNthMatchingDevice(UPnPDevice* device, int n);

// Appends `device` and its embedded devices in pre-order.
void CollectDevices(UPnPDevice* device, std::vector<UPnPDevice*>& devices);

// Reference counting of a tree, through any of its devices; from any thread.
// The last ReleaseDevice frees the whole tree on the calling thread.
void AddDeviceReference(UPnPDevice* device);
void ReleaseDevice(UPnPDevice* device);

}  // namespace norvale::cp
