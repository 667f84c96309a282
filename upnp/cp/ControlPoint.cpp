#include "upnp/cp/ControlPoint.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "upnp/cp/DescriptionFetch.h"
#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/StackAdapter.h"
#include "upnp/cp/StackLinks.h"
#include "upnp/cp/XmlElement.h"
#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/Packet.h"
#include "upnp/stack/StackClock.h"

namespace norvale::cp {
namespace {

std::size_t Len(const char* text) {
    return std::strlen(text);
}

bool MatchesType(const char* type, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    int version = 0;
    return std::strncmp(type, prefix, length) == 0 && ReadDecimal(type + length, &version) &&
           version >= 1;
}

bool IsAnnounceable(const UPnPDevice* device) {
    const char* type = device->deviceType.get();
    return type != nullptr && (MatchesType(type, "urn:schemas-upnp-org:device:LuNAS:") ||
                               MatchesType(type, "urn:schemas-upnp-org:device:MediaRenderer:"));
}

UPnPDevice* FindNth(UPnPDevice* device, int& n) {
    if (IsAnnounceable(device) && n-- == 0) return device;
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        if (UPnPDevice* found = FindNth(child, n)) return found;
    }
    return nullptr;
}

}  // namespace

// A description fetch in progress; lives from the request to its last reply.
struct ControlPoint::DescriptionRequest {
    int maxAge = 0;
    std::string location;
    std::string udn;
    std::string host;  // of the LOCATION, holding one fetch slot
    void* token = nullptr;
    bool cancelled = false;  // a byebye took it out of the tables already
};

UPnPDevice* FindNthMatchingDevice(UPnPDevice* device, int n) {
    return device == nullptr ? nullptr : FindNth(device, n);
}

ControlPoint::ControlPoint(stack::EventChain* /*chain*/, DeviceCallback added,
                           DeviceCallback removed, void* user, const ControlPointOptions& options)
    : deviceAdded_(added), deviceRemoved_(removed), user_(user), options_(options) {}

ControlPoint::~ControlPoint() = default;

ControlPoint* ControlPoint_Create(stack::EventChain* chain, const char* searchTarget,
                                  DeviceCallback deviceAdded, DeviceCallback deviceRemoved,
                                  void* user, const ControlPointOptions& options) {
    if (chain == nullptr || searchTarget == nullptr) return nullptr;
    auto* cp = new ControlPoint(chain, deviceAdded, deviceRemoved, user, options);
    cp->links_ = std::make_unique<StackLinks>(chain, cp, searchTarget, options.search);
    stack::EventChain_AddObject(chain, cp);
    cp->timers_ = stack::LifetimeMonitor_Create(chain);
    return cp;
}

std::int64_t ControlPoint::NowSeconds() const {
    return options_.nowSeconds != nullptr ? options_.nowSeconds() : stack::StackClock_Now().seconds;
}

std::size_t ControlPoint::DeviceTableCount() {
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    return deviceTable_.Count();
}

std::size_t ControlPoint::PendingTableCount() {
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    return pendingTable_.Count();
}

std::size_t ControlPoint::LocationTableCount() {
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    return locationTable_.Count();
}

int ControlPoint::EventListenerPort() const {
    return links_->EventListenerPort();
}

void ControlPoint::Search() {
    // A timer hands the request to the chain thread and wakes it.
    stack::LifetimeMonitor_Add(timers_, &searchKey_, 0, &SearchNow, nullptr);
}

void ControlPoint::SearchNow(void* key) {
    static_cast<SearchKey*>(key)->owner->links_->Search();
}

void ControlPoint_Search(ControlPoint* controlPoint) {
    if (controlPoint != nullptr) controlPoint->Search();
}

void ControlPoint::OnSsdpResult(const char* udn, int alive, const char* location, int maxAge,
                                int kind) {
    if (udn == nullptr || udn[0] == '\0') return;
    maxAge = std::min(maxAge, kMaxAgeLimitSeconds);
    if (alive == 0) {
        OnByebye(udn);
    } else if (maxAge != 0 && location != nullptr && location[0] != '\0') {
        OnAlive(udn, location, maxAge, kind);
    }
}

void ControlPoint::OnByebye(const char* udn) {
    DescriptionRequest* request = nullptr;
    deviceTable_.Lock();
    if (pendingTable_.Has(udn, Len(udn))) {
        request = static_cast<DescriptionRequest*>(pendingTable_.Get(udn, Len(udn)));
        request->cancelled = true;
        ReleaseFetchSlot(*request);
        pendingTable_.Remove(udn, Len(udn));
        deviceTable_.Remove(udn, Len(udn));
        locationTable_.Remove(request->location.data(), request->location.size());
    }
    auto* device = static_cast<UPnPDevice*>(deviceTable_.Get(udn, Len(udn)));
    deviceTable_.Unlock();
    if (request != nullptr) links_->Cancel(request->token);
    if (device == nullptr) return;
    UPnPDevice* root = RootOf(device);
    stack::LifetimeMonitor_Remove(timers_, root);
    RemoveDeviceTree(root);
    Release(root);
}

void ControlPoint::OnAlive(const char* udn, const char* location, int maxAge, int kind) {
    deviceTable_.Lock();
    if (!locationTable_.Has(location, Len(location)) && !deviceTable_.Has(udn, Len(udn))) {
        deviceTable_.Unlock();
        StartFetch(udn, location, maxAge);
        return;
    }
    auto* device = static_cast<UPnPDevice*>(deviceTable_.Get(udn, Len(udn)));
    if (device != nullptr) {
        UPnPDevice* root = RootOf(device);
        if (kind == 2) {
            RefreshRoot(root, location, maxAge);
        } else if (root->location != nullptr && std::strcmp(root->location.get(), location) == 0) {
            // A search answer proves the device is there as well as a NOTIFY
            // does: where multicast NOTIFYs are lost (IGMP snooping, Wi-Fi)
            // the answers to repeated searches are all that keeps it listed.
            root->lastRefresh = NowSeconds();
            RestartExpiry(root, maxAge);
        }
    }
    deviceTable_.Unlock();
}

// Under the deviceTable lock: a NOTIFY for a tracked tree.
void ControlPoint::RefreshRoot(UPnPDevice* root, const char* location, int maxAge) {
    const std::int64_t now = NowSeconds();
    if (root->location != nullptr && std::strcmp(root->location.get(), location) == 0) {
        root->lastRefresh = now;
        RestartExpiry(root, maxAge);
        return;
    }
    if (root->lastRefresh == 0) {
        // Remembered as an alias of this root, so it goes when the root goes.
        locationTable_.Put(location, Len(location), root, 1);
        root->lastRefresh = now;
        RestartExpiry(root, maxAge);
    }
    if (now - root->lastRefresh > options_.relocationGapSeconds) {
        root->lastRefresh = now;
        root->pendingLocation = CopyText(location);
        stack::LifetimeMonitor_Remove(timers_, root);
        stack::LifetimeMonitor_Add(timers_, root, options_.relocationDelayMs, &RelocateDevice,
                                   nullptr);
    }
}

void ControlPoint::RestartExpiry(UPnPDevice* root, int maxAge) {
    stack::LifetimeMonitor_Remove(timers_, root);
    stack::LifetimeMonitor_Add(timers_, root,
                               static_cast<std::int64_t>(maxAge) * options_.expiryMsPerSecond,
                               &ExpireDevice, nullptr);
}

// Under the deviceTable lock: counts a new fetch from `host`; false when a
// cap of fetches or of devices is reached.
bool ControlPoint::TakeFetchSlot(const std::string& host) {
    const int pending = static_cast<int>(pendingTable_.Count());
    if (pending >= options_.maxPendingFetches || pending + trees_ >= options_.maxDevices) {
        stack::DebugOutput("ControlPoint: device ignored, as many devices as allowed are tracked");
        return false;
    }
    const auto trees = treesPerHost_.find(host);
    int& count = fetchesPerHost_[host];
    const int onHost = count + (trees != treesPerHost_.end() ? trees->second : 0);
    if (count >= options_.maxPendingFetchesPerHost || onHost >= options_.maxDevicesPerHost) {
        if (count == 0) fetchesPerHost_.erase(host);
        stack::DebugOutput("ControlPoint: device ignored, its host has as many devices as allowed");
        return false;
    }
    ++count;
    return true;
}

// Under the deviceTable lock: a tracked tree more (1) or less (-1) on its host.
void ControlPoint::CountTree(UPnPDevice* root, int change) {
    const std::string host = SplitUrl(root->location.get()).host;
    trees_ += change;
    int& count = treesPerHost_[host];
    count += change;
    if (count <= 0) treesPerHost_.erase(host);
}

stack::WebRequestOptions ControlPoint::FetchOptions(UPnPDevice* root) const {
    // Description GETs change nothing on the device: they may go out side
    // by side (SOAP calls keep their order).
    return stack::WebRequestOptions{root, options_.fetchConnectTimeoutMs,
                                    options_.fetchResponseTimeoutMs, false};
}

// Under the deviceTable lock.
void ControlPoint::ReleaseFetchSlot(const DescriptionRequest& request) {
    auto found = fetchesPerHost_.find(request.host);
    if (found != fetchesPerHost_.end() && --found->second <= 0) fetchesPerHost_.erase(found);
}

void ControlPoint::StartFetch(const char* udn, const char* location, int maxAge) {
    UrlParts url = SplitUrl(location);
    deviceTable_.Lock();
    if (!TakeFetchSlot(url.host)) {
        deviceTable_.Unlock();
        return;  // over a cap: dropped, found again by a later sighting
    }
    deviceTable_.Unlock();
    auto* request = new DescriptionRequest{maxAge, location, udn, url.host, nullptr, false};
    stack::Packet* get = BuildGetRequest(url.host.c_str(), url.port, url.path.c_str(), "GET");
    deviceTable_.Lock();
    locationTable_.Put(request->location.data(), request->location.size(), nullptr, 0);
    deviceTable_.Put(udn, Len(udn), nullptr);
    pendingTable_.Put(udn, Len(udn), request);
    deviceTable_.Unlock();
    // Queued without the table lock: the client may report on this thread.
    void* token = links_->QueuePacket(url.host.c_str(), url.port, get, &OnDescriptionResponse,
                                      request, this, FetchOptions(nullptr));
    if (token != nullptr) {
        request->token = token;
        return;
    }
    deviceTable_.Lock();
    ReleaseFetchSlot(*request);
    pendingTable_.Remove(udn, Len(udn));
    deviceTable_.Remove(udn, Len(udn));
    locationTable_.Remove(request->location.data(), request->location.size());
    deviceTable_.Unlock();
    delete request;
}

void ControlPoint::OnDescriptionResponse(const HttpReply& reply, void* record, void* self) {
    if (!reply.done) return;
    auto* request = static_cast<DescriptionRequest*>(record);
    auto* cp = static_cast<ControlPoint*>(self);
    if (request->cancelled) {
        delete request;
        return;
    }
    const char* udn = request->udn.c_str();
    cp->deviceTable_.Lock();
    cp->ReleaseFetchSlot(*request);
    cp->pendingTable_.Remove(udn, request->udn.size());
    cp->locationTable_.Remove(request->location.data(), request->location.size());
    cp->deviceTable_.Unlock();
    const int status = reply.packet != nullptr ? reply.packet->statusCode : 0;
    bool described = false;
    // A 2xx answer without a body counts as a failed fetch, so the device is
    // fetched again on its next announcement.
    if (status >= 200 && status <= 299 && reply.length > 0) {
        described =
            ProcessDeviceDescription(cp, reply.body, reply.length, request->location.c_str(),
                                     reply.interfaceAddress, request->maxAge, udn) == 0;
    }
    if (!described) {
        cp->deviceTable_.Lock();
        if (cp->deviceTable_.Get(udn, request->udn.size()) == nullptr) {
            cp->deviceTable_.Remove(udn, request->udn.size());
        }
        cp->deviceTable_.Unlock();
    }
    delete request;
}

bool ControlPoint::RegisterDeviceTree(UPnPDevice* root, const char* announcedUdn) {
    std::vector<UPnPDevice*> devices;
    CollectDevices(root, devices);
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    // A udn that belongs to another tracked tree, or twice to this one, would
    // make a device unreachable later; such a description is refused.
    std::set<std::string_view> seen;
    for (UPnPDevice* device : devices) {
        const char* udn = device->udn.get();
        if (udn == nullptr) continue;
        if (!seen.insert(udn).second || deviceTable_.Get(udn, Len(udn)) != nullptr) return false;
    }
    for (UPnPDevice* device : devices) {
        if (device->location == nullptr && device->parent != nullptr) {
            device->location = CopyText(device->parent->location.get());
        }
        const char* udn = device->udn.get();
        if (udn != nullptr) deviceTable_.Put(udn, Len(udn), device);
    }
    CountTree(root, 1);
    // Announced under a udn the tree does not list: that udn stands for the
    // root from now on, so its NOTIFYs refresh the tree and its byebye ends it.
    if (announcedUdn != nullptr && deviceTable_.Has(announcedUdn, Len(announcedUdn)) &&
        deviceTable_.Get(announcedUdn, Len(announcedUdn)) == nullptr) {
        deviceTable_.Put(announcedUdn, Len(announcedUdn), root, 1);
    }
    return true;
}

void CollectDevices(UPnPDevice* device, std::vector<UPnPDevice*>& devices) {
    devices.push_back(device);
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        CollectDevices(child, devices);
    }
}

void ControlPoint::CompleteDevice(UPnPDevice* root) {
    {
        std::lock_guard<stack::StackSemaphore> guard(referenceLock_);
        root->referenceCount = 1;
    }
    for (int n = 0;; ++n) {
        UPnPDevice* device = FindNthMatchingDevice(root, n);
        if (device == nullptr) break;
        device->announced = 1;
        AddReference(device);
        if (deviceAdded_ != nullptr) deviceAdded_(device, user_);
    }
    stack::LifetimeMonitor_Add(timers_, root,
                               static_cast<std::int64_t>(root->maxAge) * options_.expiryMsPerSecond,
                               &ExpireDevice, nullptr);
}

void ControlPoint::RemoveDeviceTree(UPnPDevice* device) {
    if (device->parent == nullptr) {
        device->removing = 1;
        // Ends the tree's outstanding service-description fetches and SOAP
        // calls, and only those: other devices of the same server go on.
        links_->DropTagged(device);
    }
    stack::LifetimeMonitor_Remove(timers_, device->parent != nullptr ? device->parent : device);
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        RemoveDeviceTree(child);
    }
    for (UPnPService* service = device->firstService; service != nullptr; service = service->next) {
        stack::LifetimeMonitor_Remove(timers_, service);
    }
    if (device->announced != 0) {
        if (deviceRemoved_ != nullptr) deviceRemoved_(device, user_);
        Release(device);
    }
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    const char* udn = device->udn.get();
    if (udn != nullptr && deviceTable_.Get(udn, Len(udn)) == device) {
        deviceTable_.Remove(udn, Len(udn));
    }
    if (device->parent == nullptr) {
        RemoveAliases(device);
        CountTree(device, -1);
    }
}

// Under the deviceTable lock: drops every alias entry (extra 1) of `table`
// that refers to `root`.
void ControlPoint::RemoveAliasesIn(stack::KeyedTable<void*>& table, UPnPDevice* root) {
    std::vector<std::string> aliases;
    auto it = table.Enumerate();
    while (!it.MoveNext()) {
        if (it.Extra() == 1 && it.Value() == root) aliases.emplace_back(it.Key(), it.KeyLength());
    }
    for (const std::string& alias : aliases) table.Remove(alias.data(), alias.size());
}

// Under the deviceTable lock: drops the other LOCATIONs and udns of `root`.
void ControlPoint::RemoveAliases(UPnPDevice* root) {
    RemoveAliasesIn(locationTable_, root);
    RemoveAliasesIn(deviceTable_, root);
}

void ControlPoint::DiscardTree(UPnPDevice* root) {
    stack::LifetimeMonitor_Remove(timers_, root);
    std::vector<UPnPDevice*> devices;
    CollectDevices(root, devices);
    {
        std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
        for (UPnPDevice* device : devices) {
            const char* udn = device->udn.get();
            if (udn != nullptr && deviceTable_.Get(udn, Len(udn)) == device) {
                deviceTable_.Remove(udn, Len(udn));
            }
        }
        RemoveAliases(root);
        CountTree(root, -1);
    }
    FreeDeviceTree(root);
}

void ControlPoint::AddReference(UPnPDevice* device) {
    UPnPDevice* root = RootOf(device);
    std::lock_guard<stack::StackSemaphore> guard(referenceLock_);
    ++root->referenceCount;
}

void ControlPoint::Release(UPnPDevice* device) {
    UPnPDevice* root = RootOf(device);
    bool last = false;
    {
        std::lock_guard<stack::StackSemaphore> guard(referenceLock_);
        last = --root->referenceCount <= 0;
    }
    if (last) FreeDeviceTree(root);
}

void AddDeviceReference(UPnPDevice* device) {
    if (device == nullptr) return;
    UPnPDevice* root = RootOf(device);
    if (root->owner != nullptr) {
        root->owner->AddReference(root);
    } else {
        ++root->referenceCount;
    }
}

void ReleaseDevice(UPnPDevice* device) {
    if (device == nullptr) return;
    UPnPDevice* root = RootOf(device);
    if (root->owner != nullptr) {
        root->owner->Release(root);
    } else if (--root->referenceCount <= 0) {
        FreeDeviceTree(root);
    }
}

void ControlPoint::ExpireDevice(void* data) {
    auto* root = static_cast<UPnPDevice*>(data);
    const std::string udn = root->udn != nullptr ? root->udn.get() : "";
    root->owner->OnSsdpResult(udn.c_str(), 0, nullptr, 0, 2);
}

void ControlPoint::RelocateDevice(void* data) {
    auto* root = static_cast<UPnPDevice*>(data);
    ControlPoint* cp = root->owner;
    const int maxAge = root->maxAge;
    const std::string udn = root->udn != nullptr ? root->udn.get() : "";
    OwnedText location = std::move(root->pendingLocation);
    cp->OnSsdpResult(udn.c_str(), 0, nullptr, 0, 2);
    if (location != nullptr) cp->OnSsdpResult(udn.c_str(), -1, location.get(), maxAge, 2);
}

void ControlPoint::TeardownDevice(UPnPDevice* device) {
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        TeardownDevice(child);
    }
    {
        std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
        if (device->parent == nullptr) RemoveAliases(device);
        const char* udn = device->udn.get();
        if (udn != nullptr && deviceTable_.Get(udn, Len(udn)) == device) {
            deviceTable_.Put(udn, Len(udn), nullptr);
        }
    }
    if (device->announced != 0) {
        if (deviceRemoved_ != nullptr) deviceRemoved_(device, user_);
        Release(device);
    }
}

void ControlPoint::OnDestroy() {
    std::vector<UPnPDevice*> roots;
    {
        std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
        auto it = deviceTable_.Enumerate();
        while (!it.MoveNext()) {
            auto* device = static_cast<UPnPDevice*>(it.Value());
            if (device != nullptr && device->parent == nullptr && it.Extra() == 0) {
                roots.push_back(device);
            }
        }
    }
    for (UPnPDevice* root : roots) {
        TeardownDevice(root);
        Release(root);
    }
    std::lock_guard<stack::StackSemaphore> guard(deviceTable_.Semaphore());
    deviceTable_.Clear();
    pendingTable_.Clear();
    locationTable_.Clear();
    fetchesPerHost_.clear();
    treesPerHost_.clear();
    trees_ = 0;
}

}  // namespace norvale::cp
