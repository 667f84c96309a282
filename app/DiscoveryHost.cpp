#include "app/DiscoveryHost.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <QMetaObject>
#include <QThread>
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

// True when an IPv4 lookup of `name` gives `address` as its first answer.
bool NameResolvesTo(const char* name, const QString& address) {
    if (name == nullptr || *name == '\0') return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    return address.compare(QString::fromLatin1(text), Qt::CaseInsensitive) == 0;
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
}

void DiscoveryHost::Start() {
    if (thread_.joinable()) return;
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

void DiscoveryHost::ThreadProc() {
    stack::EventChain* chain = stack::EventChain_Create();
    {
        std::lock_guard<std::mutex> guard(StopLock());
        chain_.store(chain);
        if (closing_.load()) stack::EventChain_RequestStop(chain);
    }
    stack::EventChain_AddObject(chain, new ChainGuard(StopLock(), chain_));
    cp::ControlPoint_Create(chain, kLuNasType, &DiscoveryHost::DeviceAddedThunk,
                            &DiscoveryHost::DeviceRemovedThunk, this, options_);
    cp::ControlPoint_Create(chain, kMediaRendererType, &DiscoveryHost::DeviceAddedThunk,
                            &DiscoveryHost::DeviceRemovedThunk, this, options_);
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

void DiscoveryHost::OnDeviceAdded(cp::UPnPDevice* device) {
    if (closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    const bool supported = cp::IsSupportedModel(device) != 0;  // may rewrite a legacy model
    const DeviceFacts facts = FactsOf(device, supported);
    if (!supported) {
        OnUiThread([&] { frontEnd_->UnsupportedDeviceAdded(DetachedRow(key, facts)); });
        return;
    }
    bool listed = false;
    OnUiThread([&] { listed = frontEnd_->Table().FindDeviceRow(key.name, key.address) >= 0; });
    if (listed) {
        OnUiThread([&] { frontEnd_->RefreshScrollButtons(); });
        return;
    }
    // The lookup blocks this thread only; the table is not touched meanwhile.
    const bool nameMatches = NameResolvesTo(device->friendlyName.get(), key.address);
    OnUiThread([&] { InsertRow(device, key.name, key.address, facts, nameMatches); });
    if (facts.identifyLed && !closing_.load()) {
        cp::ControlPoint_GetLEDStatus(device->firstService, &DiscoveryHost::LedStatusThunk, this);
    }
    OnUiThread([&] { frontEnd_->RefreshScrollButtons(); });
}

void DiscoveryHost::InsertRow(cp::UPnPDevice* device, const QString& name, const QString& address,
                              const DeviceFacts& facts, bool nameMatches) {
    DeviceTable& table = frontEnd_->Table();
    const int row = table.InsertRow(table.InsertPosition(name), name);
    table.SetAddress(row, address);
    table.SetDevice(row, device, facts);
    if (row == 0) {
        table.Select(0);
        frontEnd_->RefreshActionButtons();
    }
    table.SetMapName(row, nameMatches ? name : address);
    frontEnd_->RedrawRow(row);
}

void DiscoveryHost::OnDeviceRemoved(cp::UPnPDevice* device) {
    if (chainStopped_.load() || closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    const bool supported = cp::IsSupportedModel(device) != 0;
    OnUiThread([&] {
        DeviceTable& table = frontEnd_->Table();
        const int row = supported ? table.FindDeviceRow(key.name, key.address) : -1;
        if (row >= 0) {
            table.RemoveRow(row);
            frontEnd_->AfterRowRemoved();
            if (table.Count() > 0) {
                table.Select(0);
                frontEnd_->RefreshActionButtons();
            }
        } else if (!supported) {
            frontEnd_->UnsupportedDeviceRemoved(DetachedRow(key, FactsOf(device, false)));
        }
        frontEnd_->RefreshScrollButtons();
    });
}

void DiscoveryHost::OnLedStatusResult(cp::UPnPDevice* device, int resultCode, int ledStatus) {
    if (closing_.load()) return;
    const DeviceKey key = KeyOf(device);
    if (resultCode != 0) {
        OnUiThread([&] { frontEnd_->LedStatusAnswered(key.name, key.address, resultCode, false); });
        return;
    }
    const bool on = ledStatus != 0;
    OnUiThread([&] {
        frontEnd_->LedStatusAnswered(key.name, key.address, 0, on);
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
