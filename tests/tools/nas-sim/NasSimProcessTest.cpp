// The nas-sim program seen from the network, as a control point sees it: raw sockets only.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "RawHttp.h"
#include "tests/tools/nas-sim/NasSimProcess.h"

namespace nassim::test {
namespace {

const char* const kScenario = R"({
  "defaults": {"port": 49300, "notifyPeriodMs": 0},
  "devices": [
    {"name": "alpha", "address": "127.0.77.2", "friendlyName": "Alpha NAS",
     "modelNumber": "QMA5KS0001",
     "http": {"description": {"bodyMode": "chunked", "chunkSize": 40, "chunkExtensions": true}}},
    {"name": "beta", "address": "127.0.77.3", "friendlyName": "Beta NAS", "modelNumber": "QMR8TX",
     "deviceType": "urn:schemas-upnp-org:device:LuNAS:2",
     "http": {"description": {"bodyMode": "until-close", "httpVersion": "1.0"},
              "/scpd/1.xml": {"status": 404}}},
    {"name": "gamma", "address": "127.0.77.4", "friendlyName": "Gamma TV",
     "deviceType": "urn:schemas-upnp-org:device:MediaRenderer:1", "modelNumber": "TV1",
     "soap": {"mode": "fault", "errorCode": 401}}
  ]})";

const std::string kLedType = "urn:schemas-upnp-org:service:NASControl:1";

class NasSim : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Started());
        ASSERT_EQ(sim.ReadyLine(), "ready 3 devices");
    }
    norvale::testing::NasSimProcess sim{{}, kScenario};
};

int udpSocket(uint16_t port, bool joinGroup) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_port = htons(port);
    if (!joinGroup) inet_pton(AF_INET, "127.0.0.1", &self.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self);
    in_addr loopback{};
    inet_pton(AF_INET, "127.0.0.1", &loopback);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
    if (joinGroup) {
        ip_mreq group{};
        inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
        group.imr_interface = loopback;
        setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
    }
    return fd;
}

// Datagrams from 127.0.77.x until `count` arrived or 3 s passed, as (sender, text).
std::vector<std::pair<std::string, std::string>> receive(int fd, size_t count,
                                                         const std::string& needle = "") {
    std::vector<std::pair<std::string, std::string>> got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 3000) <= 0) break;
        char buffer[4096];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        char address[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
        std::string text(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        if (std::string(address).rfind("127.0.77.", 0) == 0 &&
            text.find(needle) != std::string::npos)
            got.emplace_back(address, text);
    }
    return got;
}

std::string headerValue(const std::string& message, const std::string& name) {
    size_t at = message.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<none>";
    at += name.size() + 4;
    return message.substr(at, message.find("\r\n", at) - at);
}

std::string soapRequest(const std::string& action, const std::string& inner,
                        const std::string& host = "127.0.77.2") {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope s:encodingStyle=\"http://schemas."
        "xmlsoap.org/soap/encoding/\" xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
        "<s:Body><u:" +
        action + " xmlns:u=\"" + kLedType + "\">" + inner + "</u:" + action +
        "></s:Body></s:Envelope>";
    return "POST /control/1 HTTP/1.1\r\nHost: " + host +
           ":49300\r\nUser-Agent: WINDOWS UPnP/1.0 "
           "Quillon/1.0.2547\r\nSOAPACTION: \"" +
           kLedType + "#" + action +
           "\"\r\nContent-Type: "
           "text/xml; charset=\"utf-8\"\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string getRequest(const std::string& host, const std::string& path) {
    return "GET " + path + " HTTP/1.0\r\nHost: " + host +
           ":49300\r\nUser-Agent: WINDOWS UPnP/1.0 "
           "Quillon/1.0.2547\r\n\r\n";
}

TEST_F(NasSim, SearchIsAnsweredByUnicastFromEachMatchingDeviceAddress) {
    int fd = udpSocket(0, false);
    std::string search =
        "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nST: urn:schemas-upnp-org:device:LuNAS:1\r\n"
        "HOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(1900);
    inet_pton(AF_INET, "239.255.255.250", &group.sin_addr);
    sendto(fd, search.data(), search.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    auto answers = receive(fd, 2);
    close(fd);
    ASSERT_EQ(answers.size(), 2u);
    // The MediaRenderer stays silent: the log names every device that answered.
    size_t responders = 0;
    for (const std::string& line : sim.Log()) responders += line.rfind("ssdp response ", 0) == 0;
    EXPECT_EQ(responders, 2u);
    std::map<std::string, std::string> bySender(answers.begin(), answers.end());
    for (const auto& [sender, text] : bySender) {
        EXPECT_EQ(text.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
        EXPECT_EQ(headerValue(text, "LOCATION"), "http://" + sender + ":49300/description.xml");
        EXPECT_EQ(headerValue(text, "ST"), "urn:schemas-upnp-org:device:LuNAS:1");
        EXPECT_EQ(headerValue(text, "CACHE-CONTROL"), "max-age=1800");
        EXPECT_NE(headerValue(text, "USN").find("::urn:schemas-upnp-org:device:LuNAS:1"),
                  std::string::npos);
    }
    EXPECT_TRUE(bySender.count("127.0.77.2") && bySender.count("127.0.77.3"));
}

TEST_F(NasSim, DescriptionsAreServedChunkedOrUntilCloseAsConfigured) {
    RawResponse alpha =
        httpExchange("127.0.77.2", 49300, getRequest("127.0.77.2", "/description.xml"));
    EXPECT_EQ(alpha.head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(alpha.head.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(alpha.rawBody.rfind("28;piece=0\r\n<?xml", 0), 0u);
    EXPECT_NE(alpha.body.find("<friendlyName>Alpha NAS</friendlyName>\n<modelNumber>QMA5KS0001"
                              "</modelNumber>"),
              std::string::npos);
    EXPECT_NE(alpha.body.find("<controlURL>/control/1</controlURL>"), std::string::npos);
    EXPECT_EQ(alpha.body.substr(alpha.body.size() - 8), "</root>\n");

    RawResponse beta =
        httpExchange("127.0.77.3", 49300, getRequest("127.0.77.3", "/description.xml"));
    EXPECT_EQ(beta.head.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_EQ(beta.head.find("Content-Length"), std::string::npos);
    EXPECT_TRUE(beta.closedByPeer);
    EXPECT_NE(beta.body.find("<deviceType>urn:schemas-upnp-org:device:LuNAS:2</deviceType>"),
              std::string::npos);
    EXPECT_EQ(beta.body.substr(beta.body.size() - 8), "</root>\n");

    RawResponse scpd = httpExchange("127.0.77.3", 49300, getRequest("127.0.77.3", "/scpd/1.xml"));
    EXPECT_EQ(scpd.head.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    scpd = httpExchange("127.0.77.2", 49300, getRequest("127.0.77.2", "/scpd/1.xml"));
    EXPECT_NE(scpd.body.find("<action><name>SetLEDStatus</name>"), std::string::npos);

    auto log = sim.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "http alpha GET /description.xml 200"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "http beta GET /scpd/1.xml 404"), log.end());
}

TEST_F(NasSim, SetLedStatusChangesWhatGetLedStatusAndTheGetCommandReport) {
    RawResponse set =
        httpExchange("127.0.77.2", 49300, soapRequest("SetLEDStatus", "<LEDStatus>1</LEDStatus>"));
    EXPECT_EQ(set.head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(set.body.find("<u:SetLEDStatusResponse xmlns:u=\"" + kLedType + "\">"),
              std::string::npos);
    EXPECT_FALSE(set.closedByPeer);  // HTTP/1.1 stays open
    EXPECT_EQ(sim.Command("get alpha"), "led alpha 1");

    EXPECT_EQ(sim.Command("led alpha 2"), "ok led alpha");
    RawResponse get = httpExchange("127.0.77.2", 49300, soapRequest("GetLEDStatus", ""));
    EXPECT_NE(get.body.find("<LEDStatus>2</LEDStatus></u:GetLEDStatusResponse>"),
              std::string::npos);

    RawResponse fault =
        httpExchange("127.0.77.4", 49300, soapRequest("GetLEDStatus", "", "127.0.77.4"));
    EXPECT_EQ(fault.head.rfind("HTTP/1.1 500 Internal Server Error\r\n", 0), 0u);
    EXPECT_NE(fault.body.find("<errorCode>401</errorCode>"), std::string::npos);
    EXPECT_EQ(sim.Command("led nobody 1"), "error no device nobody");
}

TEST_F(NasSim, ByebyeCommandAndExitAreMulticastFromTheDeviceAddress) {
    int fd = udpSocket(1900, true);
    EXPECT_EQ(sim.Command("byebye beta"), "ok byebye beta");
    auto byebye = receive(fd, 4, "ssdp:byebye");  // rootdevice, uuid, type, service
    ASSERT_EQ(byebye.size(), 4u);
    for (const auto& [sender, text] : byebye) {
        EXPECT_EQ(sender, "127.0.77.3");
        EXPECT_EQ(text.rfind("NOTIFY * HTTP/1.1\r\n", 0), 0u);
        EXPECT_EQ(headerValue(text, "USN").rfind("uuid:", 0), 0u);
    }
    EXPECT_EQ(sim.Command("alive beta"), "ok alive beta");
    auto alive = receive(fd, 1, "NT: urn:schemas-upnp-org:device:LuNAS:2");
    ASSERT_EQ(alive.size(), 1u);
    EXPECT_EQ(headerValue(alive[0].second, "NTS"), "ssdp:alive");
    EXPECT_EQ(headerValue(alive[0].second, "LOCATION"), "http://127.0.77.3:49300/description.xml");

    EXPECT_NE(
        sim.Command("relocate alpha 49301 /moved.xml").find("http://127.0.77.2:49301/moved.xml"),
        std::string::npos);
    auto moved = receive(fd, 1, "LOCATION: http://127.0.77.2:49301/moved.xml");
    EXPECT_EQ(moved.size(), 1u);
    RawResponse there = httpExchange("127.0.77.2", 49301, getRequest("127.0.77.2", "/moved.xml"));
    EXPECT_NE(there.body.find("Alpha NAS"), std::string::npos);

    EXPECT_EQ(sim.Terminate(), 0);
    std::map<std::string, int> leaving;
    for (const auto& [sender, text] : receive(fd, 12, "ssdp:byebye")) ++leaving[sender];
    close(fd);
    EXPECT_EQ(leaving, (std::map<std::string, int>{
                           {"127.0.77.2", 4}, {"127.0.77.3", 4}, {"127.0.77.4", 4}}));
}

}  // namespace
}  // namespace nassim::test
