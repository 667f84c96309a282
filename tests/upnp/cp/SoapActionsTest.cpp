// LED actions sent from a thread other than the chain's, against canned
// device answers.
#include <gtest/gtest.h>

#include "CannedDevice.h"
#include "CpHarness.h"
#include "upnp/cp/SoapActions.h"
#include "upnp/cp/SoapText.h"

namespace norvale::cp::testing {
namespace {

// Collects the single callback of a request.
struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    int calls = 0;
    int result = 99;
    int led = 99;
    std::string deviceName;  // read inside the callback: the tree must still be alive

    static void OnGet(UPnPService* service, int result, void* self, int led) {
        auto* o = static_cast<Outcome*>(self);
        std::lock_guard<std::mutex> guard(o->mutex);
        ++o->calls;
        o->result = result;
        o->led = led;
        o->deviceName = service->device->friendlyName.get();
        o->done.notify_all();
    }
    static void OnSet(UPnPService* service, int result, void* self) {
        OnGet(service, result, self, -5);
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        return done.wait_for(lock, std::chrono::seconds(10), [&] { return calls > 0; });
    }
};

std::string LedAnswer(const std::string& inner) {
    return "<?xml version=\"1.0\"?><s:Envelope "
           "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
           "<s:Body>" +
           inner + "</s:Body></s:Envelope>";
}

std::string FaultAnswer(int code) {
    return LedAnswer("<s:Fault><faultcode>s:Client</faultcode><detail><UPnPError><errorCode>" +
                     std::to_string(code) + "</errorCode></UPnPError></detail></s:Fault>");
}

class Soap : public ::testing::Test {
  protected:
    UPnPService* Discover(CannedDevice& nas, const std::string& udn, const std::string& control) {
        std::string service = ServiceXml("L");
        service.replace(service.find("/L/control"), 10, control);
        nas.SetXml("/desc.xml", RootXml(DeviceXml(udn, kLuNAS, "Box " + udn, service)));
        nas.SetXml("/L.xml", ScpdXml("GetLEDStatus,SetLEDStatus"));
        const std::size_t before = recorder.Lines().size();
        chain.Ssdp(udn, -1, nas.Url("/desc.xml"), 1800, 2);
        recorder.WaitFor(before + 1);
        UPnPDevice* device = recorder.Device(before);
        return device == nullptr ? nullptr : device->firstService;
    }
    int Get(UPnPService* service, int* led) {
        Outcome outcome;
        ControlPoint_GetLEDStatus(service, &Outcome::OnGet, &outcome);
        EXPECT_TRUE(outcome.Wait());
        *led = outcome.led;
        return outcome.result;
    }

    ControlPointOptions options = [] {
        ControlPointOptions o;
        o.search = false;
        return o;
    }();
    CannedDevice device{"127.0.0.51"};
    Recorder recorder;
    ChainThread chain{&recorder, options};
};

TEST_F(Soap, RequestsCarryTheExactTextsAndAnswersMapToResultCodes) {
    UPnPService* service = Discover(device, "soap-1", "/L/control");
    ASSERT_NE(nullptr, service);
    device.SetXml("/L/control",
                  LedAnswer("<u:GetLEDStatusResponse xmlns:u=\"t\"><LEDStatus></LEDStatus>"
                            "</u:GetLEDStatusResponse>"));
    int led = 7;
    EXPECT_EQ(0, Get(service, &led));
    EXPECT_EQ(0, led);
    const std::string body = GetLEDStatusBody(kLedService);
    const std::string url = device.Url("");
    const std::string host = url.substr(7);
    EXPECT_EQ("POST /L/control HTTP/1.1\r\nHost: " + host +
                  "\r\nUser-Agent: WINDOWS UPnP/1.0 Quillon/1.0.2547\r\n"
                  "SOAPACTION: \"urn:schemas-upnp-org:service:LEDControl:1#GetLEDStatus\"\r\n"
                  "Content-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body,
              device.Server().Requests().back());

    device.SetXml("/L/control", LedAnswer("<u:GetLEDStatusResponse><LEDStatus>2</LEDStatus>"
                                          "</u:GetLEDStatusResponse>"));
    EXPECT_EQ(0, Get(service, &led));
    EXPECT_EQ(2, led);
    device.SetXml("/L/control",
                  LedAnswer("<u:OtherResponse><LEDStatus>1</LEDStatus></u:OtherResponse>"));
    EXPECT_EQ(kSoapBadAnswer, Get(service, &led));
    device.SetXml("/L/control", "this is <not xml");
    EXPECT_EQ(kSoapBadAnswer, Get(service, &led));
    device.Set("/L/control", FakeHttpServer::Answer(500, FaultAnswer(401)));
    EXPECT_EQ(401, Get(service, &led));
    device.Set("/L/control", FakeHttpServer::Answer(500, "garbage"));
    EXPECT_EQ(500, Get(service, &led));
    device.Set("/L/control", FakeHttpServer::Answer(500, ""));
    EXPECT_EQ(500, Get(service, &led));
}

TEST_F(Soap, SetLedStatusReportsAny2xxAsSuccess) {
    UPnPService* service = Discover(device, "soap-2", "/L/control");
    ASSERT_NE(nullptr, service);
    device.SetXml("/L/control", "not even xml");
    Outcome ok;
    ControlPoint_SetLEDStatus(service, &Outcome::OnSet, 1, &ok);
    ASSERT_TRUE(ok.Wait());
    EXPECT_EQ(0, ok.result);
    const std::string sent = device.Server().Requests().back();
    EXPECT_NE(std::string::npos,
              sent.find("SOAPACTION: \"" + std::string(kLedService) + "#SetLEDStatus\"\r\n"));
    EXPECT_EQ(SetLEDStatusBody(kLedService, 1), sent.substr(sent.find("\r\n\r\n") + 4));

    device.Set("/L/control", FakeHttpServer::Answer(500, FaultAnswer(402)));
    Outcome fault;
    ControlPoint_SetLEDStatus(service, &Outcome::OnSet, 0, &fault);
    ASSERT_TRUE(fault.Wait());
    EXPECT_EQ(402, fault.result);
    // Without a callback the outcome is dropped, and a null service does nothing.
    ControlPoint_SetLEDStatus(service, nullptr, 1);
    ControlPoint_GetLEDStatus(nullptr, &Outcome::OnGet, &fault);
    EXPECT_TRUE(chain.Until([&](ControlPoint*) { return device.Server().Requests().size() >= 5; }));
    EXPECT_EQ(1, fault.calls);
}

TEST_F(Soap, ControlUrlWithoutPortGoesToPort80) {
    CannedDevice port80("127.0.0.52", 80);
    if (port80.Server().Port() != 80) GTEST_SKIP() << "port 80 cannot be bound here";
    UPnPService* service = Discover(port80, "soap-3", "http://127.0.0.52/ctl");
    ASSERT_NE(nullptr, service);
    port80.SetXml("/ctl", LedAnswer("<u:GetLEDStatusResponse><LEDStatus>1</LEDStatus>"
                                    "</u:GetLEDStatusResponse>"));
    int led = 0;
    EXPECT_EQ(0, Get(service, &led));
    EXPECT_EQ(1, led);
    EXPECT_NE(std::string::npos, port80.Server().Requests().back().find(
                                     "POST /ctl HTTP/1.1\r\nHost: 127.0.0.52:80\r\n"));
}

TEST_F(Soap, DeviceLeavingWithARequestInFlightReportsNoAnswerBeforeItIsFreed) {
    UPnPService* service = Discover(device, "soap-4", "/L/control");
    ASSERT_NE(nullptr, service);
    device.Set("/L/control", "");  // the device never answers
    Outcome outcome;
    ControlPoint_GetLEDStatus(service, &Outcome::OnGet, &outcome);
    ASSERT_TRUE(chain.Until([&](ControlPoint*) { return device.Server().Requests().size() >= 3; }));
    chain.Ssdp("soap-4", 0, "", 0, 2);
    ASSERT_TRUE(outcome.Wait());
    EXPECT_EQ(kSoapNoAnswer, outcome.result);
    EXPECT_EQ("Box soap-4", outcome.deviceName);
    EXPECT_EQ("removed soap-4", recorder.WaitFor(2).back());
}

TEST_F(Soap, CallbacksMayBlockOnAThreadThatSendsRequests) {
    // As the application does: each callback waits for the user-interface
    // thread, which queues a request into the stack meanwhile.
    Outcome onAdd, onRemove;
    recorder.hook = [&](UPnPDevice* device, bool added) {
        std::thread ui([&] {
            if (added) {
                ControlPoint_GetLEDStatus(device->firstService, &Outcome::OnGet, &onAdd);
            } else {
                ControlPoint_SetLEDStatus(device->firstService, &Outcome::OnSet, 1, &onRemove);
            }
        });
        ui.join();
    };
    device.SetXml("/L/control", LedAnswer("<u:GetLEDStatusResponse><LEDStatus>1</LEDStatus>"
                                          "</u:GetLEDStatusResponse>"));
    ASSERT_NE(nullptr, Discover(device, "soap-5", "/L/control"));
    ASSERT_TRUE(onAdd.Wait());
    EXPECT_EQ(0, onAdd.result);
    EXPECT_EQ(1, onAdd.led);
    chain.Ssdp("soap-5", 0, "", 0, 2);
    ASSERT_TRUE(onRemove.Wait());  // queued while the device was leaving
    EXPECT_EQ("removed soap-5", recorder.WaitFor(2).back());
}

}  // namespace
}  // namespace norvale::cp::testing
