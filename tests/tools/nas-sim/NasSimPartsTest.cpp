// The simulator's own protocol pieces: they must be right for the simulator to judge a
// control point, so they are checked here against canned bytes.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tools/nas-sim/DescriptionWriter.h"
#include "tools/nas-sim/EventLoop.h"
#include "tools/nas-sim/HttpConnection.h"
#include "tools/nas-sim/HttpRequestReader.h"
#include "tools/nas-sim/HttpResponseWriter.h"
#include "tools/nas-sim/Scenario.h"
#include "tools/nas-sim/SoapResponder.h"
#include "tools/nas-sim/SsdpMessages.h"

namespace nassim {
namespace {

const std::string kLedType = "urn:schemas-upnp-org:service:NASControl:1";

std::string soapRequestBody(const std::string& action, const std::string& type,
                            const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope s:encodingStyle=\"http://"
           "schemas.xmlsoap.org/soap/encoding/\" xmlns:s=\"http://schemas.xmlsoap.org/soap/"
           "envelope/\"><s:Body><u:" +
           action + " xmlns:u=\"" + type + "\">" + inner + "</u:" + action +
           "></s:Body></s:Envelope>";
}

RootDef layoutOf(const nlohmann::json& device) {
    Scenario s;
    s.devices.push_back(parseRootDevice(device));
    finishScenario(s, "127.0.0.2");
    return s.devices[0];
}

TEST(HttpRequestReader, SoapRequestSplitAtEveryByteReadsTheSameRequest) {
    std::string body = soapRequestBody("SetLEDStatus", kLedType, "<LEDStatus>1</LEDStatus>");
    std::string wire = "POST /control/1 HTTP/1.1\r\nHost: 127.0.0.2:49152\r\nSOAPACTION: \"" +
                       kLedType +
                       "#SetLEDStatus\"\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\n\r\n" + body + "GET /next HTTP/1.0\r\n\r\n";
    for (size_t split = 0; split <= wire.size(); ++split) {
        HttpRequestReader reader;
        size_t used1 = 0, used2 = 0;
        auto s1 = reader.feed(wire.data(), split, &used1);
        auto s2 = s1 == HttpRequestReader::State::Complete
                      ? s1
                      : reader.feed(wire.data() + used1, wire.size() - used1, &used2);
        ASSERT_EQ(s2, HttpRequestReader::State::Complete) << "split " << split;
        EXPECT_EQ(used1 + used2, wire.size() - 22) << "split " << split;  // the GET stays
        EXPECT_EQ(reader.request().method, "POST");
        EXPECT_EQ(reader.request().body, body);
        ASSERT_NE(reader.request().header("soapaction"), nullptr);
    }
}

TEST(HttpRequestReader, BadRequestsFailForGood) {
    for (std::string wire :
         std::vector<std::string>{"GET /x\r\n\r\n", "GET /x HTTP/2.0\r\n\r\n",
                                  "POST /x HTTP/1.1\r\nContent-Length: 12x\r\n\r\n",
                                  "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
                                  "GET /x HTTP/1.1\r\nno colon here\r\n\r\n",
                                  "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n"}) {
        HttpRequestReader reader;
        size_t used = 0;
        EXPECT_EQ(reader.feed(wire.data(), wire.size(), &used), HttpRequestReader::State::Failed)
            << wire.substr(0, 40);
        reader.reset();
        EXPECT_EQ(reader.feed("GET / HTTP/1.1\r\n\r\n", 18, &used),
                  HttpRequestReader::State::Failed);
    }
}

TEST(SsdpMessages, SearchMatchesTypesOfEqualOrHigherVersionAndUdns) {
    RootDef root = layoutOf({{"deviceType", "urn:schemas-upnp-org:device:Basic:1"},
                             {"services", nlohmann::json::array()},
                             {"devices",
                              {{{"deviceType", "urn:schemas-upnp-org:device:LuNAS:2"},
                                {"services", {nlohmann::json::object()}}}}}});
    const DeviceDef& nas = root.device.embedded[0];
    auto v1 = searchTargets(root.device, "urn:schemas-upnp-org:device:LuNAS:1", "standard");
    ASSERT_EQ(v1.size(), 1u);
    EXPECT_EQ(v1[0].type, "urn:schemas-upnp-org:device:LuNAS:1");
    EXPECT_EQ(v1[0].usn, nas.udn + "::urn:schemas-upnp-org:device:LuNAS:1");
    EXPECT_TRUE(
        searchTargets(root.device, "urn:schemas-upnp-org:device:LuNAS:3", "standard").empty());
    EXPECT_TRUE(
        searchTargets(root.device, "urn:schemas-upnp-org:device:MediaRenderer:1", "standard")
            .empty());
    EXPECT_EQ(searchTargets(root.device, kLedType, "bare").at(0).usn, nas.udn);
    EXPECT_EQ(searchTargets(root.device, nas.udn, "standard").at(0).usn, nas.udn);
    EXPECT_EQ(searchTargets(root.device, "upnp:rootdevice", "none").at(0).usn, "");
    // root: rootdevice, uuid, type; embedded: uuid, type, one service
    EXPECT_EQ(searchTargets(root.device, "ssdp:all", "standard").size(), 6u);

    SsdpMessage m;
    std::string search =
        "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nST: upnp:rootdevice\r\nHOST: "
        "239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    ASSERT_TRUE(parseSsdp(search.data(), search.size(), &m));
    EXPECT_TRUE(m.isSearch());
    EXPECT_EQ(*m.header("st"), "upnp:rootdevice");
}

TEST(SoapResponder, SetThenGetAndTheFaultsOfBadRequests) {
    RootDef root = layoutOf(nlohmann::json::object());
    ServiceDef& led = root.device.services[0];
    DeviceDef& device = root.device;
    SoapQuirk normal;
    std::string set = "\"" + kLedType + "#SetLEDStatus\"";
    SoapAnswer a =
        answerSoap(set, soapRequestBody("SetLEDStatus", kLedType, "<LEDStatus>2</LEDStatus>"), led,
                   device, normal);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(device.ledState, 2);
    a = answerSoap(kLedType + "#GetLEDStatus", soapRequestBody("GetLEDStatus", kLedType, ""), led,
                   device, normal);
    EXPECT_EQ(a.status, 200);
    EXPECT_NE(a.body.find("<u:GetLEDStatusResponse xmlns:u=\"" + kLedType +
                          "\"><LEDStatus>2</LEDStatus></u:GetLEDStatusResponse>"),
              std::string::npos);
    std::string code;
    auto faultCode = [&](const SoapAnswer& answer) {
        EXPECT_EQ(answer.status, 500);
        return elementText(answer.body, "errorCode", &code) ? code : "none";
    };
    std::string otherType = "urn:schemas-upnp-org:service:Other:1";
    EXPECT_EQ(
        faultCode(answerSoap("\"" + otherType + "#SetLEDStatus\"",
                             soapRequestBody("SetLEDStatus", otherType, "<LEDStatus>1</LEDStatus>"),
                             led, device, normal)),
        "401");
    EXPECT_EQ(faultCode(answerSoap(
                  set, soapRequestBody("SetLEDStatus", kLedType, "<LEDStatus>on</LEDStatus>"), led,
                  device, normal)),
              "402");
    EXPECT_EQ(faultCode(answerSoap(
                  set, soapRequestBody("SetLEDStatus", kLedType, "<LEDStatus>7</LEDStatus>"), led,
                  device, normal)),
              "601");
    EXPECT_EQ(device.ledState, 2);
    SoapQuirk fault =
        SoapQuirk::fromJson({{"mode", "fault"}, {"errorCode", 401}, {"actions", {"GetLEDStatus"}}});
    EXPECT_EQ(
        faultCode(answerSoap(kLedType + "#GetLEDStatus",
                             soapRequestBody("GetLEDStatus", kLedType, ""), led, device, fault)),
        "401");
    EXPECT_THROW(SoapQuirk::fromJson({{"mode", "sometimes"}}), std::runtime_error);
}

TEST(SoapResponder, QuirkModesShapeTheAnswersAControlPointMustSurvive) {
    RootDef root = layoutOf(nlohmann::json::object());
    ServiceDef& led = root.device.services[0];
    std::string get = kLedType + "#GetLEDStatus";
    std::string body = soapRequestBody("GetLEDStatus", kLedType, "");
    auto answer = [&](const nlohmann::json& quirk) {
        return answerSoap(get, body, led, root.device, SoapQuirk::fromJson(quirk));
    };
    SoapAnswer a = answer({{"mode", "garbage"}});
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body.find("<?xml"), std::string::npos);
    a = answer({{"mode", "missingResponse"}});
    EXPECT_EQ(a.body.find("GetLEDStatusResponse"), std::string::npos);
    EXPECT_NE(a.body.find("</s:Envelope>"), std::string::npos);
    a = answer({{"mode", "emptyLEDStatus"}});
    EXPECT_NE(a.body.find("<LEDStatus></LEDStatus></u:GetLEDStatusResponse>"), std::string::npos);
    a = answer({{"mode", "emptyBody"}});
    EXPECT_EQ(a.status, 500);
    EXPECT_TRUE(a.body.empty());
    EXPECT_TRUE(answer({{"mode", "drop"}}).drop);
    a = answer({{"mode", "fault"}, {"actions", {"SetLEDStatus"}}});  // not for Get
    EXPECT_EQ(a.status, 200);
}

// A client on a socket pair sends three pipelined requests; the first answer is delayed and
// written in small pieces, the last one asks to close.
TEST(HttpConnection, PipelinedRepliesKeepRequestOrderDespiteDelaysAndDribbling) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    EventLoop loop;
    bool finished = false;
    auto router = [](const HttpRequest& r) {
        HttpReply reply;
        reply.bytes = "<" + r.target + ">";
        reply.delayMs = r.target == "/a" ? 30 : 0;
        reply.dribbleBytes = r.target == "/a" ? 1 : 0;
        reply.close = r.target == "/c";
        return reply;
    };
    auto connection = std::make_unique<HttpConnection>(loop, fds[0], router, [&] {
        finished = true;
        loop.stop();
    });
    std::string requests =
        "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n"
        "GET /c HTTP/1.1\r\nConnection: close\r\n\r\n";
    ASSERT_EQ(write(fds[1], requests.data(), requests.size()), ssize_t(requests.size()));
    std::string received;
    loop.watch(fds[1], POLLIN, [&](short) {
        char buffer[256];
        ssize_t n = read(fds[1], buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, size_t(n));
        else
            close(fds[1]);  // our end: the connection then sees its peer leave
        if (n <= 0) loop.unwatch(fds[1]);
    });
    loop.after(5000, [&] { loop.stop(); });
    loop.run();
    EXPECT_TRUE(finished);
    EXPECT_EQ(received, "</a></b></c>");
}

TEST(HttpResponseWriter, ChunkedWithExtensionsAndMalformedBodies) {
    HttpAnswer answer{200, "text/xml", {}, "<root><a>0123456789</a></root>"};
    HttpShape shape;
    shape.apply(
        {{"bodyMode", "chunked"}, {"chunkSize", 16}, {"chunkExtensions", true}, {"trailer", true}});
    std::string bytes = frameResponse(answer, shape, false);
    EXPECT_NE(bytes.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("Content-Length"), std::string::npos);
    std::string chunks = bytes.substr(bytes.find("\r\n\r\n") + 4);
    EXPECT_EQ(chunks,
              "10;piece=0\r\n<root><a>0123456\r\ne;piece=1\r\n789</a></root>\r\n"
              "0;last=1\r\nX-Sim-Trailer: done\r\n\r\n");
    HttpShape broken;
    broken.apply({{"malformed", true}, {"httpVersion", "1.0"}, {"bodyMode", "until-close"}});
    bytes = frameResponse(answer, broken, true);
    EXPECT_EQ(bytes.substr(0, 17), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(bytes.find("Content-Length"), std::string::npos);
    EXPECT_NE(bytes.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("</a></broken-root>"), std::string::npos);
    EXPECT_THROW(shape.apply({{"bodyMode", "gzip"}}), std::runtime_error);
}

TEST(Scenario, AddressesUrlsAndPathsAreLaidOutAsAControlPointResolvesThem) {
    EXPECT_EQ(nextAddress("127.0.0.254"), "127.0.1.1");
    Scenario many = generateScenario(300, 2);
    finishScenario(many, "127.0.0.2");
    EXPECT_EQ(many.devices[0].address, "127.0.0.2");
    EXPECT_EQ(many.devices[252].address, "127.0.0.254");
    EXPECT_EQ(many.devices[253].address, "127.0.1.1");
    // The identify-LED service is listed last: a control point's first service.
    EXPECT_EQ(many.devices[0].device.services.back().serviceType, kLedType);

    RootDef based = layoutOf({{"URLBase", "http://{host}:{port}/base"}, {"port", 5000}});
    const ServiceDef& s = based.device.services[0];
    EXPECT_EQ(s.controlUrl, "/control/1");
    EXPECT_EQ(s.controlPaths, (std::vector<std::string>{"/base/control/1", "/control/1"}));
    std::string xml = writeDeviceDescription(based);
    EXPECT_NE(xml.find("<URLBase>http://127.0.0.2:5000/base</URLBase>"), std::string::npos);
    RootDef absolute = layoutOf({{"urlStyle", "absolute"}, {"modelNumber", nullptr}});
    xml = writeDeviceDescription(absolute);
    EXPECT_NE(xml.find("<SCPDURL>http://127.0.0.2:49152/scpd/1.xml</SCPDURL>"), std::string::npos);
    EXPECT_EQ(xml.find("modelNumber"), std::string::npos);
    EXPECT_THROW(
        parseScenario(nlohmann::json::parse(R"({"devices":[{"http":{"*":{"stauts":404}}}]})")),
        std::runtime_error);
}

}  // namespace
}  // namespace nassim
