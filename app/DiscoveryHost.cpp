#include "app/DiscoveryHost.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/ModelRules.h"
#include "upnp/cp/SoapActions.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/Url.h"

namespace norvale::app {
namespace {

constexpr const char* kLuNasType = "urn:schemas-upnp-org:device:LuNAS:1";
constexpr const char* kMediaRendererType = "urn:schemas-upnp-org:device:MediaRenderer:1";

QString Text(const cp::OwnedText& text) {
    return text ? QString::fromUtf8(text.get()) : QString();
}

// Name and address of a device as the table compares them.
struct DeviceKey {
    QString name;
    QString address;
};

DeviceKey KeyOf(const cp::UPnPDevice* device) {
    char* host = nullptr;
    char* path = nullptr;
    int port = 0;
    stack::ParseUrl(device->location.get(), &host, &port, &path);
    DeviceKey key{CutToTableLimit(Text(device->friendlyName)),
                  CutToTableLimit(QString::fromUtf8(host))};
    std::free(host);
    std::free(path);
    return key;
}

DeviceFacts FactsOf(cp::UPnPDevice* device, bool supported) {
    DeviceFacts facts;
    facts.model = Text(device->modelNumber);
    facts.modelClass = cp::ModelClass(device);
    facts.udn = Text(device->udn);
    facts.deviceType = Text(device->deviceType);
    facts.presentationUrl = Text(device->presentationURL);
    facts.location = Text(device->location);
    facts.configure = cp::HidesConfigure(device) == 0;
    facts.identifyLed = cp::SupportsAction(device, L"GetLEDStatus") != 0;
    facts.supported = supported;
    return facts;
}

// A row as the front end sees a device that never gets one.
DeviceRow DetachedRow(const DeviceKey& key, const DeviceFacts& facts) {
    DeviceRow row;
    row.name = key.name;
    row.address = key.address;
    row.mapName = key.address;
    row.facts = facts;
    return row;
}

// Clears the host's chain pointer while the chain tears down, before the
// chain is freed, so a stop request never reaches a freed chain.
class ChainGuard : public stack::ChainedObject {
  public:
    ChainGuard(std::mutex& lock, std::atomic<stack::EventChain*>& chain)
        : lock_(lock), chain_(chain) {}
    void OnDestroy() override {
        std::lock_guard<std::mutex> guard(lock_);
        chain_.store(nullptr);
    }

  private:
    std::mutex& lock_;
    std::atomic<stack::EventChain*>& chain_;
};

std::mutex& StopLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

DiscoveryHost::DiscoveryHost(DiscoveryFrontEnd* frontEnd, QObject* parent)
    : QObject(parent), frontEnd_(frontEnd) {}

DiscoveryHost::~DiscoveryHost() {
    {
        std::lock_guard<std::mutex> guard(uiLock_);
        abandoned_.store(true);  // reports still waiting for this thread give up
    }
    uiDone_.notify_all();
    closing_.store(true);
    StopChain();
    if (thread_.joinable()) thread_.join();
    // After the discovery thread, which submits lookups: from here on no
    // lookup reports to this host (what is already posted goes with it).
    lookups_.reset();
}

void DiscoveryHost::Start() {
    if (thread_.joinable()) return;
    lookups_ = std::make_unique<NameLookup>(resolver_);
    thread_ = std::thread([this] { ThreadProc(); });
}

void DiscoveryHost::RequestStop() {
    if (chainStopped_.load()) return;
    closing_.store(true);
    StopChain();
}

void DiscoveryHost::StopChain() {
    std::lock_guard<std::mutex> guard(StopLock());
    if (stack::EventChain* chain = chain_.load()) stack::EventChain_RequestStop(chain);
}

void DiscoveryHost::Search() {
    std::lock_guard<std::mutex> guard(StopLock());
    if (chain_.load() == nullptr || closing_.load()) return;
    for (cp::ControlPoint* controlPoint : controlPoints_) cp::ControlPoint_Search(controlPoint);
}

void DiscoveryHost::ThreadProc() {
    stack::EventChain* chain = stack::EventChain_Create();
    {
        std::lock_guard<std::mutex> guard(StopLock());
        chain_.store(chain);
        if (closing_.load()) stack::EventChain_RequestStop(chain);
    }
    stack::EventChain_AddObject(chain, new ChainGuard(StopLock(), chain_));
    cp::ControlPoint* luNas =
        cp::ControlPoint_Create(chain, kLuNasType, &DiscoveryHost::DeviceAddedThunk,
                                &DiscoveryHost::DeviceRemovedThunk, this, options_);
    cp::ControlPoint* renderer =
        cp::ControlPoint_Create(chain, kMediaRendererType, &DiscoveryHost::DeviceAddedThunk,
                                &DiscoveryHost::DeviceRemovedThunk, this, options_);
    {
        // Read by Search() only while the chain pointer is set, that is
        // before the chain tears down (its guard clears the pointer first).
        std::lock_guard<std::mutex> guard(StopLock());
        controlPoints_[0] = luNas;
        controlPoints_[1] = renderer;
    }
    stack::EventChain_Run(chain);
    chainStopped_.store(true);
    OnUiThread([this] {
        frontEnd_->DiscoveryStopped();
        emit stopped();
    });
}

template <typename F>
void DiscoveryHost::OnUiThread(F&& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // Both flags are atomics as well as guarded, so every reader sees them
    // whatever the condition variable's wake-up path.
    auto done = std::make_shared<std::atomic<bool>>(false);
    QMetaObject::invokeMethod(
        this,
        [this, done, &work] {
            {
                std::lock_guard<std::mutex> guard(uiLock_);
                if (abandoned_.load()) return;
            }
            work();
            std::lock_guard<std::mutex> guard(uiLock_);
            done->store(true);
            uiDone_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(uiLock_);
    uiDone_.wait(lock, [&] { return done->load() || abandoned_.load(); });
}

template <typename F>
void DiscoveryHost::PostToUiThread(F&& work) {
    // Queued on this object: dropped by Qt if the host is destroyed first.
    QMetaObject::invokeMethod(this, std::forward<F>(work), Qt::QueuedConnection);
}

void DiscoveryHost::DeviceAddedThunk(cp::UPnPDevice* device, void* user) {
    static_cast<DiscoveryHost*>(user)->OnDeviceAdded(device);
}

void DiscoveryHost::DeviceRemovedThunk(cp::UPnPDevice* device, void* user) {
    static_cast<DiscoveryHost*>(user)->OnDeviceRemoved(device);
}

void DiscoveryHost::LedStatusThunk(cp::UPnPService* service, int result, void* user,
                                   int ledStatus) {
    static_cast<DiscoveryHost*>(user)->OnLedStatusResult(service->device, result, ledStatus);
}

// One queued call per device: the row goes in at once under the address; the
// record stays valid meanwhile, since its departure waits for the
// user-interface thread, which runs this call first.
void DiscoveryHost::OnDeviceAdded(cp::UPnPDevice* device) {
    if (closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    const bool supported = cp::IsSupportedModel(device) != 0;  // may rewrite a legacy model
    const DeviceFacts facts = FactsOf(device, supported);
    if (!supported) {
        PostToUiThread([this, row = DetachedRow(key, facts)] {
            if (!closing_.load()) frontEnd_->UnsupportedDeviceAdded(row);
        });
        return;
    }
    std::vector<Backer>& behind = backers_[{key.name, key.address}];
    behind.push_back(Backer{device, facts});
    if (behind.size() > 1) {
        // Another device already shows this row; this one stands by.
        PostToUiThread([this] { frontEnd_->RefreshScrollButtons(); });
        return;
    }
    PostToUiThread([this, device, key, facts] {
        if (closing_.load()) return;
        InsertRow(device, key.name, key.address, facts);
        frontEnd_->RefreshScrollButtons();
    });
    if (device->friendlyName != nullptr) {
        LookUpMapName(device->friendlyName.get(), key.name, key.address);
    }
    if (facts.identifyLed && !closing_.load()) {
        cp::ControlPoint_GetLEDStatus(device->firstService, &DiscoveryHost::LedStatusThunk, this);
    }
}

// Checks whether the device's own name resolves to its address; the outcome
// reaches the row `rowName`/`address` on the user-interface thread.
void DiscoveryHost::LookUpMapName(const char* name, const QString& rowName,
                                  const QString& address) {
    lookups_->Submit(name, address.toStdString(), [this, rowName, address](bool matches) {
        QMetaObject::invokeMethod(
            this, [this, rowName, address, matches] { MapNameChecked(rowName, address, matches); },
            Qt::QueuedConnection);
    });
}

void DiscoveryHost::InsertRow(cp::UPnPDevice* device, const QString& name, const QString& address,
                              const DeviceFacts& facts) {
    DeviceTable& table = frontEnd_->Table();
    const int row = table.InsertRow(table.InsertPosition(name), name);
    table.SetAddress(row, address);
    table.SetDevice(row, device, facts);
    if (row == 0) {
        table.Select(0);
        frontEnd_->RefreshActionButtons();
    }
    table.SetMapName(row, address);
    frontEnd_->RedrawRow(row);
}

void DiscoveryHost::MapNameChecked(const QString& name, const QString& address, bool matches) {
    if (closing_.load() || chainStopped_.load()) return;
    DeviceTable& table = frontEnd_->Table();
    const int row = table.FindDeviceRow(name, address);
    if (matches && row >= 0 && table.Row(row).mapName != name) {
        table.SetMapName(row, name);
        frontEnd_->RedrawRow(row);
    }
    emit mapNameChecked(name, address, matches);
}

void DiscoveryHost::OnDeviceRemoved(cp::UPnPDevice* device) {
    if (chainStopped_.load() || closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    const bool supported = cp::IsSupportedModel(device) != 0;
    if (!supported) {
        PostToUiThread([this, row = DetachedRow(key, FactsOf(device, false))] {
            if (closing_.load()) return;
            frontEnd_->UnsupportedDeviceRemoved(row);
            frontEnd_->RefreshScrollButtons();
        });
        return;
    }
    const RowKey rowKey{key.name, key.address};
    auto found = backers_.find(rowKey);
    auto gone = found == backers_.end()
                    ? std::vector<Backer>::iterator()
                    : std::find_if(found->second.begin(), found->second.end(),
                                   [&](const Backer& b) { return b.device == device; });
    if (found == backers_.end() || gone == found->second.end()) {
        PostToUiThread([this] { frontEnd_->RefreshScrollButtons(); });
        return;
    }
    const bool shown = gone == found->second.begin();
    found->second.erase(gone);
    if (!shown) {
        // A device standing by leaves; the row keeps the one it shows.
        PostToUiThread([this] { frontEnd_->RefreshScrollButtons(); });
        return;
    }
    const Backer* next = found->second.empty() ? nullptr : &found->second.front();
    // Waits: once this returns, the record of `device` may be freed.
    OnUiThread([&] { ReplaceOrRemoveRow(rowKey, next); });
    if (next == nullptr) backers_.erase(found);
}

void DiscoveryHost::ReplaceOrRemoveRow(const RowKey& key, const Backer* next) {
    DeviceTable& table = frontEnd_->Table();
    const int row = table.FindDeviceRow(key.first, key.second);
    if (row >= 0 && next != nullptr) {
        table.SetDevice(row, next->device, next->facts);
        if (table.Selected() == row) frontEnd_->RefreshActionButtons();
        frontEnd_->RedrawRow(row);
    } else if (row >= 0) {
        table.RemoveRow(row);
        frontEnd_->AfterRowRemoved();
        if (table.Count() > 0) {
            table.Select(0);
            frontEnd_->RefreshActionButtons();
        }
    }
    frontEnd_->RefreshScrollButtons();
}

void DiscoveryHost::OnLedStatusResult(cp::UPnPDevice* device, int resultCode, int ledStatus) {
    if (closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    PostToUiThread([this, key, resultCode, on = resultCode == 0 && ledStatus != 0] {
        if (closing_.load()) return;
        frontEnd_->LedStatusAnswered(key.name, key.address, resultCode, on);
        if (resultCode != 0) return;
        DeviceTable& table = frontEnd_->Table();
        const int row = table.FindDeviceRow(key.name, key.address);
        if (row >= 0 && table.SetLed(row, on)) frontEnd_->RedrawRow(row);
        frontEnd_->SetIdentifyLedCaption(on);
    });
}

void DiscoveryHost::SendGetLedStatus(cp::UPnPDevice* device) {
    if (device == nullptr || closing_.load() || chainStopped_.load()) return;
    cp::ControlPoint_GetLEDStatus(device->firstService, &DiscoveryHost::LedStatusThunk, this);
}

void DiscoveryHost::SendSetLedStatus(cp::UPnPDevice* device, int status) {
    if (device == nullptr || closing_.load() || chainStopped_.load()) return;
    cp::ControlPoint_SetLEDStatus(device->firstService, nullptr, status);
}

}  // namespace norvale::app
