// The control point against nas-sim: real SSDP on loopback, simulated
// devices with their quirks, two control points on one chain as in the
// application.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "CpHarness.h"
#include "tests/tools/nas-sim/NasSimProcess.h"
#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/ModelRules.h"
#include "upnp/cp/SoapActions.h"

namespace norvale::cp::testing {
namespace {

using norvale::testing::NasSimProcess;

const std::vector<const char*> kTargets{"urn:schemas-upnp-org:device:LuNAS:1",
                                        "urn:schemas-upnp-org:device:MediaRenderer:1"};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Prefix(const std::string& location) {  // "http://host:port/"
    return location.substr(0, location.find('/', 7) + 1);
}

UPnPDevice* Named(Recorder& recorder, const std::string& name) {
    for (std::size_t i = 0;; ++i) {
        UPnPDevice* device = recorder.Device(i);
        if (device == nullptr) return nullptr;
        if (device->friendlyName != nullptr && name == device->friendlyName.get()) return device;
    }
}

bool LogHas(NasSimProcess& sim, const std::string& text) {
    for (const std::string& line : sim.Log()) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

// True while a TCP connection to the server of `url` ("http://a.b.c.d:port/...")
// is connecting, established or half closed, as /proc/net/tcp lists it.
bool ConnectionOpen(const std::string& url) {
    const std::size_t hostAt = url.find("//") + 2;
    const std::size_t colon = url.find(':', hostAt);
    in_addr address{};
    inet_pton(AF_INET, url.substr(hostAt, colon - hostAt).c_str(), &address);
    char server[32];
    std::snprintf(server, sizeof server, "%08X:%04X", address.s_addr,
                  static_cast<unsigned>(std::stoi(url.substr(colon + 1))));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const bool open = state == "01" || state == "02" || state == "08";
        if (open && (local == server || remote == server)) return true;
    }
    return false;
}

#define REQUIRE_SIM(sim)                                                          \
    if (NasSimProcess::Program().empty()) GTEST_SKIP() << "nas-sim is not built"; \
    ASSERT_TRUE((sim).Started())

const char kDiscovery[] = R"({"defaults": {"notifyPeriodMs": 0}, "devices": [
 {"name": "alpha", "friendlyName": "Alpha", "modelNumber": "QMA5KS0001", "maxVersion": 2,
  "URLBase": "auto", "presentationURL": "/index.html",
  "http": {"scpd": {"dribbleBytes": 97, "dribbleMs": 1}}},
 {"name": "beta", "friendlyName": "Beta", "modelNumber": "QMR8TX", "URLBase": "auto-noslash",
  "urlStyle": "relative", "presentationURL": "admin/",
  "http": {"description": {"bodyMode": "until-close"}, "scpd": {"bodyMode": "chunked",
           "chunkSize": 33, "chunkExtensions": true, "trailer": true}}},
 {"name": "gamma", "friendlyName": "Gamma", "modelNumber": "Z-Model-88", "urlStyle": "absolute",
  "presentationURL": "ftp://{host}/x", "http": {"description": {"bodyMode": "chunked", "chunkSize": 50}}},
 {"name": "gw", "friendlyName": "Gateway", "modelNumber": "GW",
  "deviceType": "urn:schemas-upnp-org:device:InternetGatewayDevice:1", "services": [],
  "devices": [{"name": "inner", "friendlyName": "Inner", "modelNumber": "QMZBEN01",
               "deviceType": "urn:schemas-upnp-org:device:LuNAS:1", "services": [{}]}]},
 {"name": "tv", "friendlyName": "TV", "modelNumber": "TV-1",
  "deviceType": "urn:schemas-upnp-org:device:MediaRenderer:1",
  "http": {"*": {"httpVersion": "1.0", "connection": "close"}}},
 {"name": "printer", "friendlyName": "Printer", "modelNumber": "QMA5KS0009",
  "deviceType": "urn:schemas-upnp-org:device:Printer:1"},
 {"name": "broken", "friendlyName": "Broken", "modelNumber": "QMA5KS0002", "services": [{}, {}],
  "http": {"scpd": {"status": 404}}},
 {"name": "malformed", "friendlyName": "Malformed", "modelNumber": "QMA5KS0003",
  "http": {"scpd": {"malformed": true}}},
 {"name": "nodevice", "friendlyName": "NoDevice", "modelNumber": "QMA5KS0004",
  "http": {"description": {"body": "<root><specVersion/></root>"}}}
]})";

TEST(NasSim, DiscoversDevicesOfBothTypesWithTheirUrlsAndSkipsBrokenTrees) {
    NasSimProcess sim({}, kDiscovery);
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder, {}, kTargets);
    const std::set<std::string> expected{"added Alpha", "added Beta", "added Gamma", "added Inner",
                                         "added TV"};
    ASSERT_TRUE(recorder.WaitNames([&](const std::vector<std::string>& names) {
        return std::set<std::string>(names.begin(), names.end()) == expected;
    })) << ::testing::PrintToString(recorder.Names());
    // Broken trees are dropped silently: nothing else arrives meanwhile.
    for (ControlPoint* cp : chain.All()) {
        EXPECT_TRUE(chain.Until([cp](ControlPoint*) { return cp->PendingTableCount() == 0; }));
    }
    chain.Post([] {});
    EXPECT_EQ(expected.size(), recorder.Names().size());

    UPnPDevice* alpha = Named(recorder, "Alpha");
    ASSERT_NE(nullptr, alpha);
    const std::string base = Prefix(sim.Location("alpha"));
    EXPECT_EQ(sim.Location("alpha"), alpha->location.get());
    EXPECT_EQ(2, alpha->maxVersion);
    EXPECT_EQ(base + "index.html", alpha->presentationURL.get());
    EXPECT_EQ(1, SupportsAction(alpha, L"GetLEDStatus"));
    EXPECT_EQ(0, std::string(alpha->firstService->controlURL.get()).rfind(base, 0));

    UPnPDevice* beta = Named(recorder, "Beta");
    ASSERT_NE(nullptr, beta);
    EXPECT_EQ(Prefix(sim.Location("beta")) + "admin/", beta->presentationURL.get());
    EXPECT_EQ(
        0, std::string(beta->firstService->SCPDURL.get()).rfind(Prefix(sim.Location("beta")), 0));
    EXPECT_EQ(0, SupportsAction(beta, L"GetLEDStatus"));  // QMR8TX never offers the LED

    UPnPDevice* gamma = Named(recorder, "Gamma");
    ASSERT_NE(nullptr, gamma);
    EXPECT_EQ(0, std::string(gamma->presentationURL.get()).rfind("ftp://127.", 0));
    EXPECT_EQ(1, IsSupportedModel(gamma));
    EXPECT_STREQ("QMA5KS0000", gamma->modelNumber.get());

    UPnPDevice* inner = Named(recorder, "Inner");
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(sim.Location("gw"), inner->location.get());
    EXPECT_EQ(1, IsSupportedModel(inner));
    EXPECT_EQ(4, ModelClass(inner));
    UPnPDevice* tv = Named(recorder, "TV");
    ASSERT_NE(nullptr, tv);
    EXPECT_EQ(0, IsSupportedModel(tv));
}

const char kLifecycle[] = R"({"devices": [
 {"name": "steady", "friendlyName": "Steady", "modelNumber": "QMA5KS0001", "maxAge": 2,
  "notifyPeriodMs": 100,
  "devices": [{"name": "steady-inner", "friendlyName": "SteadyInner", "modelNumber": "QMA5KS0002"}]},
 {"name": "mover", "friendlyName": "Mover", "modelNumber": "QMA5KS0003", "notifyPeriodMs": 0},
 {"name": "slow", "friendlyName": "Slow", "modelNumber": "QMA5KS0004", "notifyPeriodMs": 0,
  "ssdp": {"announceAtStart": false, "answerSearch": false},
  "http": {"description": {"delayMs": 1500}}}
]})";

TEST(NasSim, RefreshExpiryRelocationByebyeAndCancelledFetch) {
    NasSimProcess sim({}, kLifecycle);
    REQUIRE_SIM(sim);
    ControlPointOptions options;
    options.expiryMsPerSecond = 500;  // maxAge 2 s expires after 1 s
    options.relocationDelayMs = 300;
    options.relocationGapSeconds = -1;
    Recorder recorder;
    ChainThread chain(&recorder, options, kTargets);
    ASSERT_TRUE(recorder.WaitNames([](const std::vector<std::string>& n) {
        return Has(n, "added Steady") && Has(n, "added SteadyInner") && Has(n, "added Mover");
    }));
    // NOTIFYs every 100 ms keep restarting the 1 s expiry.
    EXPECT_FALSE(recorder.WaitNames(
        [](const std::vector<std::string>& n) { return Has(n, "removed Steady"); }, 2));
    EXPECT_EQ("ok silence steady", sim.Command("silence steady"));
    ASSERT_TRUE(recorder.WaitNames(
        [](const std::vector<std::string>& n) { return Has(n, "removed Steady"); }));
    // Listed again on its next alive announcement; a byebye removes it, embedded first.
    EXPECT_EQ("ok alive steady", sim.Command("alive steady"));
    ASSERT_TRUE(recorder.WaitNames([](const std::vector<std::string>& n) {
        return std::count(n.begin(), n.end(), "added Steady") == 2;
    }));
    sim.Command("byebye steady");
    ASSERT_TRUE(recorder.WaitNames([](const std::vector<std::string>& n) {
        return std::count(n.begin(), n.end(), "removed Steady") == 2;
    }));
    std::vector<std::string> names = recorder.Names();
    EXPECT_EQ("removed SteadyInner", names[names.size() - 2]);
    EXPECT_EQ("removed Steady", names.back());

    // A move: removed, then added again from the new LOCATION.
    const std::string moved = sim.Command("relocate mover 49301 /moved.xml");
    ASSERT_EQ(0u, moved.rfind("ok relocate mover", 0)) << moved;
    ASSERT_TRUE(recorder.WaitNames([](const std::vector<std::string>& n) {
        return std::count(n.begin(), n.end(), "added Mover") == 2;
    }));
    EXPECT_TRUE(Has(recorder.Names(), "removed Mover"));
    // The device list holds the new tree after the old one.
    UPnPDevice* latest = nullptr;
    for (std::size_t i = 0; recorder.Device(i) != nullptr; ++i) {
        if (std::string(recorder.Device(i)->friendlyName.get()) == "Mover")
            latest = recorder.Device(i);
    }
    ASSERT_NE(nullptr, latest);
    EXPECT_NE(nullptr, std::strstr(latest->location.get(), ":49301/moved.xml"));

    // A byebye while the description is still on its way: nothing is heard.
    const std::size_t before = recorder.Names().size();
    sim.Command("alive slow");
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return LogHas(sim, "http slow GET"); }));
    sim.Command("byebye slow");
    ASSERT_TRUE(chain.Until([](ControlPoint* cp) {
        return cp->PendingTableCount() == 0 && cp->LocationTableCount() == 0;
    }));
    // Once its connection is gone (closed at once by the cancel, or after a
    // late answer that was not cancelled), that answer has been seen.
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return !ConnectionOpen(sim.Location("slow")); }));
    chain.Post([] {});
    EXPECT_EQ(before, recorder.Names().size());
}

TEST(NasSim, ALocationNamingASecondHostIsFetchedOnlyFromTheSender) {
    // The sender check approves 127.0.0.2; the URL in the query must not
    // steer the fetch to the silent device on 127.0.0.3.
    NasSimProcess sim({}, R"({"defaults": {"notifyPeriodMs": 0}, "devices": [
     {"name": "steer", "friendlyName": "Steer", "modelNumber": "QMA5KS0001", "address": "127.0.0.2",
      "descriptionPath": "/description.xml?u=http://127.0.0.3:49152/description.xml"},
     {"name": "victim", "friendlyName": "Victim", "modelNumber": "QMA5KS0002",
      "address": "127.0.0.3", "ssdp": {"announceAtStart": false, "answerSearch": false}}]})");
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder, {}, kTargets);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "added Steer"); }))
        << ::testing::PrintToString(recorder.Names());
    for (ControlPoint* cp : chain.All()) {
        EXPECT_TRUE(chain.Until([cp](ControlPoint*) { return cp->PendingTableCount() == 0; }));
    }
    for (const std::string& line : sim.Log())
        EXPECT_EQ(line.find("http victim"), std::string::npos);
}

TEST(NasSim, ADeviceHeardOnlyInSearchAnswersLivesOnWhileItIsSearchedAgain) {
    // Its NOTIFYs never arrive (multicast lost on the way): only the answers
    // to searches tell that it is still there.
    FakeClock clock;
    NasSimProcess sim({}, R"({"devices": [{"name": "quiet", "friendlyName": "Quiet",
        "modelNumber": "QMA5KS0001", "maxAge": 60, "notifyPeriodMs": 0,
        "ssdp": {"announceAtStart": false}}]})");
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "added Quiet"); }));
    // 50 s on, the search is repeated and answered.
    clock.Advance(50000);
    const std::int64_t searched = FakeClock::Seconds();
    ASSERT_TRUE(chain.Until([&](ControlPoint*) {
        UPnPDevice* device = recorder.Device(0);
        return device != nullptr && RootOf(device)->lastRefresh >= searched;
    })) << "the answer did not refresh the device";
    sim.Command("silence quiet");
    clock.Advance(50000);  // 100 s after it was found: past the first max-age
    chain.Post([] {});
    EXPECT_EQ(recorder.Names(), std::vector<std::string>{"added Quiet"});
    clock.Advance(11000);  // 61 s after the last answer
    chain.Wake();
    EXPECT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "removed Quiet"); }));
}

TEST(NasSim, AHugeMaxAgeExpiresAfterADay) {
    FakeClock clock;
    NasSimProcess sim({}, R"({"devices": [{"name": "forever", "friendlyName": "Forever",
        "modelNumber": "QMA5KS0001", "notifyPeriodMs": 0,
        "ssdp": {"announceAtStart": false, "cacheControl": "max-age=1099511627776"}}]})");
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "added Forever"); }));
    sim.Command("silence forever");  // the repeated searches find it no more
    // The clock moves only once the chain has armed the expiry (just after
    // the added report) and taken in the answers sent before the silence.
    chain.Post([] {});
    chain.Post([] {});
    clock.Advance(kMaxAgeLimitSeconds * 1000u - 60000u);
    chain.Post([] {});
    EXPECT_EQ(recorder.Names(), std::vector<std::string>{"added Forever"});
    clock.Advance(120000);
    chain.Wake();
    EXPECT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "removed Forever"); }));
}

// How many of the devices silent-0 ... silent-(count - 1) were asked for their description.
int SilentDevicesAsked(NasSimProcess& sim, int count) {
    int asked = 0;
    for (int i = 0; i < count; ++i)
        asked += LogHas(sim, "http silent-" + std::to_string(i) + " GET");
    return asked;
}

TEST(NasSim, SilentPortsOnOneHostDoNotHoldUpADeviceOnAnother) {
    // As many devices of one host as the HTTP client has sockets accept
    // connections and never answer; the good device on another host answers
    // the search a second later.
    constexpr int kSilent = 16;
    std::string devices;
    for (int i = 0; i < kSilent; ++i) {
        devices += R"({"name": "silent-)" + std::to_string(i) + R"(", "UDN": "uuid:silent-)" +
                   std::to_string(i) +
                   R"(", "modelNumber": "QMA5KS0001", "address": "127.0.0.2", "port": )" +
                   std::to_string(49152 + i) + R"(, "http": {"description": {"delayMs": 60000}}},)";
    }
    NasSimProcess sim({},
                      R"({"defaults": {"notifyPeriodMs": 0}, "devices": [)" + devices +
                          R"({"name": "good", "friendlyName": "Good", "modelNumber": "QMA5KS0002",
          "address": "127.0.0.3", "ssdp": {"announceAtStart": false, "searchDelayMs": 1000}}]})");
    REQUIRE_SIM(sim);
    FakeClock clock;
    Recorder recorder;
    const auto started = std::chrono::steady_clock::now();
    ChainThread chain(&recorder, {}, kTargets);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "added Good"); }));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    // The silent host was given its share of the sockets and no more ...
    EXPECT_EQ(2, SilentDevicesAsked(sim, kSilent));
    // ... and its fetches are given up within a few seconds (a LAN's
    // deadline), which lets the next ones of that host go out.
    clock.Advance(6000);
    chain.Wake();
    EXPECT_TRUE(chain.Until([&](ControlPoint*) { return SilentDevicesAsked(sim, kSilent) >= 4; }));
}

TEST(NasSim, DescriptionsStayWithinTheCapsAndOnTheirOwnHost) {
    // 10,000 embedded devices in one description, and a second service list
    // that would take its root past the cap of services ...
    std::string embedded = "<deviceList>";
    for (int i = 0; i < 10000; ++i) embedded += "<device/>";
    embedded += "</deviceList><serviceList>";
    for (int i = 0; i < kMaxServicesPerDevice; ++i) {
        embedded += "<service><serviceType>urn:x:service:X:1</serviceType><serviceId>x" +
                    std::to_string(i) +
                    "</serviceId><SCPDURL>/scpd/1.xml</SCPDURL><controlURL>/c</controlURL>"
                    "<eventSubURL>/e</eventSubURL></service>";
    }
    embedded += "</serviceList>";
    // ... and a device whose services name another host's URLs.
    const std::string elsewhere = R"("SCPDURL": "http://127.0.0.4:49152/scpd/1.xml",
        "controlURL": "http://127.0.0.4:49152/control/1", "eventSubURL": "http://127.0.0.4:49152/event/1")";
    NasSimProcess sim({}, R"({"defaults": {"notifyPeriodMs": 0}, "devices": [
     {"name": "crowd", "friendlyName": "Crowd", "modelNumber": "QMA5KS0001", "address": "127.0.0.2",
      "UDN": "uuid:crowd", "extraXml": ")" +
                              embedded + R"("},
     {"name": "pointer", "friendlyName": "Pointer", "modelNumber": "QMA5KS0002",
      "address": "127.0.0.3", "UDN": "uuid:pointer",
      "services": [{)" + elsewhere +
                              R"(}, {)" + elsewhere + R"(}]},
     {"name": "victim", "friendlyName": "Victim", "modelNumber": "QMA5KS0003",
      "address": "127.0.0.4", "ssdp": {"announceAtStart": false, "answerSearch": false}}]})");
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) {
        return Has(n, "added Crowd") && Has(n, "added Pointer");
    })) << ::testing::PrintToString(recorder.Names());
    std::vector<UPnPDevice*> crowd;
    chain.Post([&] { CollectDevices(RootOf(Named(recorder, "Crowd")), crowd); });
    ASSERT_EQ(crowd.size(), 1u + kMaxEmbeddedDevicesPerTree);
    int services = 0;
    for (UPnPService* s = crowd.front()->firstService; s != nullptr; s = s->next) ++services;
    EXPECT_EQ(services, kMaxServicesPerDevice);
    UPnPDevice* pointer = Named(recorder, "Pointer");
    ASSERT_NE(nullptr, pointer);
    EXPECT_EQ(0, SupportsAction(pointer, L"GetLEDStatus"));  // its SCPDs were never read
    for (const std::string& line : sim.Log())
        EXPECT_EQ(line.find("http victim"), std::string::npos);
}

struct LedOutcome {
    std::mutex mutex;
    std::condition_variable done;
    bool called = false;
    int result = 99;
    int led = 99;
    static void OnGet(UPnPService* service, int result, void* self, int led) {
        auto* o = static_cast<LedOutcome*>(self);
        EXPECT_NE(nullptr, service->device->friendlyName);  // still alive here
        std::lock_guard<std::mutex> guard(o->mutex);
        o->called = true;
        o->result = result;
        o->led = led;
        o->done.notify_all();
    }
    static void OnSet(UPnPService* service, int result, void* self) {
        OnGet(service, result, self, 0);
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        return done.wait_for(lock, std::chrono::seconds(15), [&] { return called; });
    }
};

int GetLed(UPnPService* service, int* led) {
    LedOutcome outcome;
    ControlPoint_GetLEDStatus(service, &LedOutcome::OnGet, &outcome);
    EXPECT_TRUE(outcome.Wait());
    *led = outcome.led;
    return outcome.result;
}

TEST(NasSim, LedActionsAndTheirFailureCodes) {
    NasSimProcess sim({}, R"({"devices": [{"name": "led", "friendlyName": "Led",
        "modelNumber": "QMA5KS0001", "ledState": 1,
        "services": [{"serviceType": "urn:schemas-upnp-org:service:Extra:1",
                      "serviceId": "urn:upnp-org:serviceId:Extra", "actions": ["GetInfo"]}, {}]}]})");
    REQUIRE_SIM(sim);
    Recorder recorder;
    ChainThread chain(&recorder, {}, kTargets);
    ASSERT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "added Led"); }));
    UPnPService* service = Named(recorder, "Led")->firstService;
    ASSERT_EQ(1, SupportsAction(Named(recorder, "Led"), L"SetLEDStatus"));
    int led = 0;
    EXPECT_EQ(0, GetLed(service, &led));
    EXPECT_EQ(1, led);
    LedOutcome set;
    ControlPoint_SetLEDStatus(service, &LedOutcome::OnSet, 0, &set);
    ASSERT_TRUE(set.Wait());
    EXPECT_EQ(0, set.result);
    EXPECT_EQ("led led 0", sim.Command("get led"));

    const std::pair<const char*, int> quirks[] = {
        {R"({"mode": "fault", "errorCode": 401})", 401},
        {R"({"mode": "garbage"})", kSoapBadAnswer},
        {R"({"mode": "garbage", "status": 500})", 500},
        {R"({"mode": "missingResponse"})", kSoapBadAnswer},
        {R"({"mode": "emptyLEDStatus"})", 0},
        {R"({"mode": "emptyBody"})", 500},
        {R"({"mode": "drop"})", kSoapNoAnswer}};
    for (const auto& [quirk, code] : quirks) {
        sim.Command(std::string("quirks led {\"soap\": ") + quirk + "}");
        led = 7;
        EXPECT_EQ(code, GetLed(service, &led)) << quirk;
        EXPECT_EQ(0, led) << quirk;
    }

    // The device leaves while a request waits for its answer: -1, and the
    // tree is freed only after the callback (AddressSanitizer watches).
    sim.Command(
        R"(quirks led {"soap": {"mode": "normal"}, "http": {"control": {"delayMs": 3000}}})");
    LedOutcome pending;
    ControlPoint_GetLEDStatus(service, &LedOutcome::OnGet, &pending);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim.Command("byebye led");
    ASSERT_TRUE(pending.Wait());
    EXPECT_EQ(kSoapNoAnswer, pending.result);
    EXPECT_TRUE(recorder.WaitNames([](const auto& n) { return Has(n, "removed Led"); }));
}

}  // namespace
}  // namespace norvale::cp::testing
