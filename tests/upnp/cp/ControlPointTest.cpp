// Device tracking against canned HTTP devices; sightings are injected, the
// stack clock is a fake one, so expiry and relocation run without waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "CannedDevice.h"
#include "CpHarness.h"

namespace norvale::cp::testing {
namespace {

using Lines = std::vector<std::string>;

ControlPointOptions Quiet() {
    ControlPointOptions options;
    options.search = false;
    return options;
}

bool TablesEmpty(ControlPoint* cp) {
    return cp->DeviceTableCount() == 0 && cp->PendingTableCount() == 0 &&
           cp->LocationTableCount() == 0;
}

class Tracking : public ::testing::Test {
  protected:
    void ServeNas(const std::string& udn, const std::string& name, const char* services = "A,B") {
        std::string list;
        for (const char* s = services; *s != '\0'; ++s) {
            if (*s == ',') continue;
            const std::string service(1, *s);
            list += ServiceXml(service);
            device.SetXml("/" + service + ".xml", ScpdXml("GetLEDStatus,SetLEDStatus," + service));
        }
        device.SetXml("/desc.xml", RootXml(DeviceXml(udn, kLuNAS, name, list)));
    }

    FakeClock clock;  // before the chain, which reads it
    CannedDevice device{"127.0.0.41"};
    Recorder recorder;
    ChainThread chain{&recorder, Quiet()};
};

TEST_F(Tracking, CompleteTreeIsAnnouncedWithItsFirstServicesActions) {
    ServeNas("nas-1", "Office", "A,B");
    chain.Ssdp("nas-1", -1, device.Url("/desc.xml"), 1800, 1);
    ASSERT_EQ(Lines{"added nas-1 Office"}, recorder.WaitFor(1));
    UPnPDevice* nas = recorder.Device(0);
    EXPECT_STREQ(device.Url("/desc.xml").c_str(), nas->location.get());
    EXPECT_STREQ("127.0.0.1", nas->interfaceAddress);
    ASSERT_NE(nullptr, nas->firstService);
    EXPECT_STREQ("urn:upnp-org:serviceId:B", nas->firstService->serviceId.get());
    EXPECT_STREQ("B", nas->firstService->actions->name.get());
    EXPECT_STREQ(device.Url("/B/control").c_str(), nas->firstService->controlURL.get());
    EXPECT_EQ(2, nas->referenceCount);  // the tree's own plus the announced device
    EXPECT_GT(chain.Cp()->EventListenerPort(), 0);
    // Repeated sightings of a known device change nothing.
    chain.Ssdp("nas-1", -1, device.Url("/desc.xml"), 1800, 1);
    chain.Ssdp("nas-1", -1, device.Url("/desc.xml"), 1800, 2);
    EXPECT_EQ(1u, recorder.Lines().size());
}

TEST_F(Tracking, OnlyLuNASAndMediaRendererDevicesOfATreeAreAnnounced) {
    const std::string inner =
        DeviceXml("nas-emb", kLuNAS, "Inner", ServiceXml("A")) +
        DeviceXml("renderer", "urn:schemas-upnp-org:device:MediaRenderer:2", "Player", "") +
        DeviceXml("old", "urn:schemas-upnp-org:device:LuNAS:0", "Old", "");
    device.SetXml("/desc.xml",
                  RootXml(DeviceXml("gw", "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                    "Gateway", ServiceXml("B"), inner)));
    device.SetXml("/A.xml", ScpdXml("GetLEDStatus"));
    device.SetXml("/B.xml", ScpdXml("X"));
    chain.Ssdp("gw", -1, device.Url("/desc.xml"), 1800, 2);
    // Pre-order over the embedded list, which holds the last one first.
    ASSERT_EQ((Lines{"added renderer Player", "added nas-emb Inner"}), recorder.WaitFor(2));
    EXPECT_STREQ(device.Url("/desc.xml").c_str(), recorder.Device(1)->location.get());
    // A byebye of an embedded udn removes the whole tree, embedded devices first.
    chain.Ssdp("old", 0, "", 0, 2);
    EXPECT_EQ((Lines{"added renderer Player", "added nas-emb Inner", "removed renderer",
                     "removed nas-emb"}),
              recorder.WaitFor(4));
    EXPECT_TRUE(chain.Until(TablesEmpty));
}

TEST_F(Tracking, FailedServiceDescriptionDiscardsTheTreeSilently) {
    ServeNas("nas-2", "Broken", "A,B");
    device.Set("/A.xml", FakeHttpServer::Answer(404, ""));
    chain.Ssdp("nas-2", -1, device.Url("/desc.xml"), 1800, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    device.SetXml("/A.xml", "<scpd><actionList></scpd>");
    chain.Ssdp("nas-2", -1, device.Url("/desc.xml"), 1800, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    EXPECT_TRUE(recorder.Lines().empty());
    // Fetched again on the next announcement once it is sound.
    device.SetXml("/A.xml", ScpdXml("GetLEDStatus"));
    chain.Ssdp("nas-2", -1, device.Url("/desc.xml"), 1800, 2);
    EXPECT_EQ(Lines{"added nas-2 Broken"}, recorder.WaitFor(1));
}

TEST_F(Tracking, UnusableDescriptionsLeaveNoTraceSoTheNextSightingRetries) {
    for (const std::string& answer :
         {FakeHttpServer::Answer(200, ""), FakeHttpServer::Answer(500, "x"),
          FakeHttpServer::Answer(200, "<root><specVersion/></root>"),
          FakeHttpServer::Answer(200, RootXml("<device><serviceList><service><serviceType>t"
                                              "</serviceType></service></serviceList></device>")),
          FakeHttpServer::Answer(200, "<root><device>")}) {
        device.Set("/desc.xml", answer);
        chain.Ssdp("nas-3", -1, device.Url("/desc.xml"), 1800, 1);
        EXPECT_TRUE(chain.Until(TablesEmpty)) << answer;
    }
    ServeNas("nas-3", "Late");
    chain.Ssdp("nas-3", -1, device.Url("/desc.xml"), 1800, 1);
    EXPECT_EQ(Lines{"added nas-3 Late"}, recorder.WaitFor(1));
}

TEST_F(Tracking, ByebyeDuringTheFetchCancelsItAndNothingIsHeard) {
    device.Set("/desc.xml", "");  // never answered
    chain.Ssdp("nas-4", -1, device.Url("/desc.xml"), 1800, 2);
    chain.Ssdp("nas-4-emb", -1, device.Url("/desc.xml"), 1800, 2);  // same LOCATION: no fetch
    EXPECT_TRUE(chain.Until([](ControlPoint* cp) { return cp->PendingTableCount() == 1; }));
    chain.Ssdp("nas-4", 0, "", 0, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    chain.Ssdp("never-seen", 0, "", 0, 2);
    EXPECT_TRUE(recorder.Lines().empty());
}

TEST_F(Tracking, ByebyeWhileAServiceDescriptionIsOnAnotherServerEndsThatRequestToo) {
    CannedDevice other("127.0.0.41");  // the same host, another port
    other.Set("/S.xml", "");           // held until the server stops
    std::string service = ServiceXml("S");
    service.replace(service.find("/S.xml"), 6, other.Url("/S.xml"));
    device.SetXml("/desc.xml", RootXml(DeviceXml("split-1", kLuNAS, "Split", service)));
    chain.Ssdp("split-1", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return other.Server().Requests().size() == 1; }));
    chain.Ssdp("split-1", 0, "", 0, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    other.Server().Stop();  // a request still queued would now be answered into a freed tree
    chain.Post([] {});
    EXPECT_TRUE(recorder.Lines().empty());
}

TEST_F(Tracking, ServiceDescriptionGivenUpAfterRefusedConnectsLeavesNoTrace) {
    // The SCPD lives on a port nobody listens on: seven refused connects,
    // then the request is given up. The tree must not stay behind unannounced.
    std::string service = ServiceXml("R");
    service.replace(service.find("/R.xml"), 6, "http://127.0.0.41:9/R.xml");
    device.SetXml("/desc.xml", RootXml(DeviceXml("reboot-1", kLuNAS, "Rebooting", service)));
    chain.Ssdp("reboot-1", -1, device.Url("/desc.xml"), 1800, 2);
    bool empty = false;
    for (int i = 0; i < 400 && !empty; ++i) {  // moves time over the retry delays
        clock.Advance(1000);
        chain.Post([&] { empty = TablesEmpty(chain.Cp()); });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(empty);
    // The next announcement finds it again.
    ServeNas("reboot-1", "Rebooting", "A");
    chain.Ssdp("reboot-1", -1, device.Url("/desc.xml"), 1800, 2);
    EXPECT_EQ(Lines{"added reboot-1 Rebooting"}, recorder.WaitFor(1));
}

// Holds the answer to one path until released; everything else as canned.
struct GatedAnswer {
    std::mutex mutex;
    std::condition_variable changed;
    bool asked = false;
    bool released = false;
    std::string Wait(const std::string& answer) {
        std::unique_lock<std::mutex> lock(mutex);
        asked = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        return answer;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(mutex);
        released = true;
        changed.notify_all();
    }
};

TEST_F(Tracking, ByebyeOfOneDeviceLeavesTheFetchOfAnotherOnTheSameServerAlone) {
    // Two devices behind one HTTP server; the second one's SCPD is answered
    // only once the first one has left.
    GatedAnswer gate;
    const std::map<std::string, std::string> answers{
        {"/desc.xml", RootXml(DeviceXml("first-2", kLuNAS, "First", ServiceXml("A")))},
        {"/A.xml", ScpdXml("GetLEDStatus")},
        {"/second.xml", RootXml(DeviceXml("second-2", kLuNAS, "Second", ServiceXml("S")))}};
    FakeHttpServer server("127.0.0.45", [&](const std::string& path) {
        if (path == "/S.xml") return gate.Wait(FakeHttpServer::Answer(200, ScpdXml("X")));
        auto found = answers.find(path);
        return FakeHttpServer::Answer(found == answers.end() ? 404 : 200,
                                      found == answers.end() ? "" : found->second);
    });
    std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { gate.Release(); });  // before Stop
    chain.Ssdp("first-2", -1, server.Url("/desc.xml"), 1800, 2);
    ASSERT_EQ(Lines{"added first-2 First"}, recorder.WaitFor(1));
    chain.Ssdp("second-2", -1, server.Url("/second.xml"), 1800, 2);
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        ASSERT_TRUE(
            gate.changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate.asked; }));
    }
    chain.Ssdp("first-2", 0, "", 0, 2);
    EXPECT_EQ((Lines{"added first-2 First", "removed first-2"}), recorder.WaitFor(2));
    gate.Release();
    EXPECT_EQ((Lines{"added first-2 First", "removed first-2", "added second-2 Second"}),
              recorder.WaitFor(3));
}

TEST_F(Tracking, TreeWhoseServiceDescriptionIsPendingIsFreedOnceByItsByebyeOrTheTeardown) {
    device.SetXml("/desc.xml", RootXml(DeviceXml("own-3", kLuNAS, "Own", ServiceXml("S"))));
    device.Set("/S.xml", "");  // held
    chain.Ssdp("own-3", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return device.Server().Requests().size() == 2; }));
    chain.Ssdp("own-3", 0, "", 0, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    // Pending again when the chain ends: the teardown gives the request up.
    chain.Ssdp("own-3", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return device.Server().Requests().size() == 4; }));
    chain.Stop();
    EXPECT_TRUE(recorder.Lines().empty());
}

TEST(TrackingLimits, DescriptionFetchesAreCappedPerHostAndInAll) {
    FakeClock clock;  // never moved: refused connects wait for their retry
    Recorder recorder;
    ControlPointOptions options = Quiet();
    options.maxPendingFetchesPerHost = 3;
    options.maxPendingFetches = 5;
    ChainThread chain{&recorder, options};
    auto announce = [&](const std::string& host, int n) {
        const std::string udn = host + "-" + std::to_string(n);
        chain.Ssdp(udn, -1, "http://" + host + ":9/" + std::to_string(n) + ".xml", 1800, 2);
    };
    auto pending = [&] {
        std::size_t count = 0;
        chain.Post([&] { count = chain.Cp()->PendingTableCount(); });
        return count;
    };
    for (int n = 0; n < 10; ++n) announce("127.0.0.51", n);
    EXPECT_EQ(3u, pending());  // one host fills no more than its share
    for (int n = 0; n < 10; ++n) announce("127.0.0.52", n);
    EXPECT_EQ(5u, pending());
    announce("127.0.0.53", 0);
    EXPECT_EQ(5u, pending());  // nor may many hosts together
    // A fetch that ends gives its place back.
    chain.Ssdp("127.0.0.51-0", 0, "", 0, 2);
    EXPECT_EQ(4u, pending());
    announce("127.0.0.53", 0);
    EXPECT_EQ(5u, pending());
    chain.Post([&] {
        EXPECT_EQ(5u, chain.Cp()->DeviceTableCount());
        EXPECT_EQ(5u, chain.Cp()->LocationTableCount());
    });
}

TEST(TrackingLimits, TrackedDevicesAreCappedPerHostAndOneThatLeavesMakesRoom) {
    FakeClock clock;
    Recorder recorder;
    ControlPointOptions options = Quiet();
    options.maxDevicesPerHost = 2;
    ChainThread chain{&recorder, options};
    CannedDevice host("127.0.0.46");
    for (const char* name : {"a", "b", "c"}) {
        host.SetXml(std::string("/") + name + ".xml",
                    RootXml(DeviceXml(std::string("cap-") + name, kLuNAS, name, "")));
    }
    auto announce = [&](const char* name) {
        chain.Ssdp(std::string("cap-") + name, -1, host.Url(std::string("/") + name + ".xml"), 1800,
                   2);
    };
    announce("a");
    ASSERT_EQ(1u, recorder.WaitFor(1).size());
    announce("b");
    ASSERT_EQ(2u, recorder.WaitFor(2).size());
    announce("c");  // a third device of the host is ignored
    EXPECT_TRUE(chain.Until([](ControlPoint* cp) { return cp->PendingTableCount() == 0; }));
    EXPECT_EQ(2u, recorder.Lines().size());
    chain.Ssdp("cap-a", 0, "", 0, 2);
    announce("c");  // room again
    EXPECT_EQ((Lines{"added cap-a a", "added cap-b b", "removed cap-a", "added cap-c c"}),
              recorder.WaitFor(4));
}

TEST_F(Tracking, RootWithoutUdnTakesTheAnnouncedOneAndCanLeave) {
    device.SetXml("/desc.xml", RootXml(DeviceXml("", kLuNAS, "Nameless", "")));
    chain.Ssdp("nameless", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_EQ(Lines{"added nameless Nameless"}, recorder.WaitFor(1));
    chain.Ssdp("nameless", 0, "", 0, 2);
    EXPECT_EQ((Lines{"added nameless Nameless", "removed nameless"}), recorder.WaitFor(2));
    EXPECT_TRUE(chain.Until(TablesEmpty));
}

TEST_F(Tracking, UdnOfTheAnnouncementStandsForTheRootWhenTheTreeLacksIt) {
    ServeNas("udn-9", "Aliased", "A");
    chain.Ssdp("usn-9", -1, device.Url("/desc.xml"), 60, 2);
    ASSERT_EQ(Lines{"added udn-9 Aliased"}, recorder.WaitFor(1));
    clock.Advance(50000);
    chain.Ssdp("usn-9", -1, device.Url("/desc.xml"), 60, 2);  // refreshes the tree
    clock.Advance(20000);
    chain.Post([] {});
    EXPECT_EQ(1u, recorder.Lines().size());
    chain.Ssdp("usn-9", 0, "", 0, 2);
    EXPECT_EQ((Lines{"added udn-9 Aliased", "removed udn-9"}), recorder.WaitFor(2));
    EXPECT_TRUE(chain.Until(TablesEmpty));
    chain.Ssdp("usn-9", -1, device.Url("/desc.xml"), 60, 2);  // and it comes back
    EXPECT_EQ(3u, recorder.WaitFor(3).size());
}

TEST_F(Tracking, DeviceExpiresAfterMaxAgeUnlessANotifyRefreshesIt) {
    ServeNas("nas-5", "Fleeting", "A");
    chain.Ssdp("nas-5", -1, device.Url("/desc.xml"), 60, 1);
    ASSERT_EQ(1u, recorder.WaitFor(1).size());
    clock.Advance(59000);
    chain.Wake();
    chain.Ssdp("nas-5", -1, device.Url("/desc.xml"), 30, 2);  // a NOTIFY restarts at 30 s
    clock.Advance(29000);
    chain.Post([] {});
    EXPECT_EQ(1u, recorder.Lines().size());
    clock.Advance(1500);
    chain.Wake();
    EXPECT_EQ((Lines{"added nas-5 Fleeting", "removed nas-5"}), recorder.WaitFor(2));
    EXPECT_TRUE(chain.Until(TablesEmpty));
}

TEST_F(Tracking, MovedDeviceIsRemovedAndAddedFromItsNewLocation) {
    ServeNas("nas-6", "Mover", "A");
    device.Set("/new.xml", FakeHttpServer::Answer(
                               200, RootXml(DeviceXml("nas-6", kLuNAS, "Moved", ServiceXml("A")))));
    chain.Ssdp("nas-6", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_EQ(1u, recorder.WaitFor(1).size());
    // A new LOCATION right after discovery only counts as a refresh...
    chain.Ssdp("nas-6", -1, device.Url("/new.xml"), 1800, 2);
    clock.Advance(5000);
    chain.Ssdp("nas-6", -1, device.Url("/new.xml"), 1800, 2);  // within 10 s: ignored
    clock.Advance(6000);
    chain.Ssdp("nas-6", -1, device.Url("/new.xml"), 1800, 2);  // schedules the move
    clock.Advance(6900);
    chain.Post([] {});
    EXPECT_EQ(1u, recorder.Lines().size());
    clock.Advance(200);
    chain.Wake();
    EXPECT_EQ((Lines{"added nas-6 Mover", "removed nas-6", "added nas-6 Moved"}),
              recorder.WaitFor(3));
    EXPECT_STREQ(device.Url("/new.xml").c_str(), recorder.Device(0)->location.get());
    chain.Ssdp("nas-6", 0, "", 0, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
}

TEST_F(Tracking, TeardownReportsEveryAnnouncedDeviceEmbeddedFirst) {
    device.SetXml("/desc.xml", RootXml(DeviceXml("root-7", kLuNAS, "Outer", "",
                                                 DeviceXml("emb-7", kLuNAS, "Inner", ""))));
    chain.Ssdp("root-7", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_EQ(2u, recorder.WaitFor(2).size());
    chain.Stop();
    EXPECT_EQ((Lines{"added root-7 Outer", "added emb-7 Inner", "removed emb-7", "removed root-7"}),
              recorder.Lines());
}

TEST_F(Tracking, UdnAlreadyTrackedUnderAnotherTreeIsRefused) {
    ServeNas("nas-8", "First", "A");
    device.SetXml("/other.xml", RootXml(DeviceXml("other-8", kLuNAS, "Second", "",
                                                  DeviceXml("nas-8", kLuNAS, "Dup", ""))));
    chain.Ssdp("nas-8", -1, device.Url("/desc.xml"), 1800, 2);
    ASSERT_EQ(1u, recorder.WaitFor(1).size());
    chain.Ssdp("other-8", -1, device.Url("/other.xml"), 1800, 2);
    EXPECT_TRUE(chain.Until([](ControlPoint* cp) {
        return cp->PendingTableCount() == 0 && cp->DeviceTableCount() == 1;
    }));
    chain.Ssdp("nas-8", 0, "", 0, 2);
    EXPECT_EQ((Lines{"added nas-8 First", "removed nas-8"}), recorder.WaitFor(2));
    // Twice in one tree: refused as well.
    device.SetXml("/twice.xml", RootXml(DeviceXml("twice-8", kLuNAS, "Twice", "",
                                                  DeviceXml("twice-8", kLuNAS, "Again", ""))));
    chain.Ssdp("twice-8", -1, device.Url("/twice.xml"), 1800, 2);
    EXPECT_TRUE(chain.Until(TablesEmpty));
    EXPECT_EQ(2u, recorder.Lines().size());
}

}  // namespace
}  // namespace norvale::cp::testing
