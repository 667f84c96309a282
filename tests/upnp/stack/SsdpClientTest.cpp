#include <gtest/gtest.h>

#include <cstring>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "upnp/stack/SsdpClient.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

constexpr const char* kTarget = "urn:schemas-upnp-org:device:NorvaleProbe:1";

struct Sightings {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> seen;  // "udn|alive|location|maxAge|kind"

    static void OnResult(SsdpClient*, char* udn, int alive, char* location, int maxAge, int kind,
                         void* user) {
        auto* self = static_cast<Sightings*>(user);
        std::lock_guard<std::mutex> guard(self->mutex);
        self->seen.push_back(std::string(udn ? udn : "(null)") + "|" + std::to_string(alive) + "|" +
                             (location ? location : "(null)") + "|" + std::to_string(maxAge) + "|" +
                             std::to_string(kind));
        self->changed.notify_all();
    }
};

// A datagram socket bound to `address`, sending to 127.0.0.1:`port` or a group.
class Sender {
  public:
    explicit Sender(const char* address) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in bound = Endpoint(address, 0);
        bind(fd_, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
    }
    ~Sender() { close(fd_); }
    void Send(const std::string& text, const char* to, int port) {
        sockaddr_in target = Endpoint(to, port);
        sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&target),
               sizeof target);
    }

  private:
    int fd_;
};

std::string Notify(const std::string& nt, const std::string& nts, const std::string& location,
                   const std::string& usn) {
    return "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nCACHE-CONTROL: max-age=60\r\n"
           "LOCATION: " +
           location + "\r\nNT: " + nt + "\r\nNTS: " + nts + "\r\nUSN: " + usn + "\r\n\r\n";
}

TEST(SsdpClient, FiltersAnnouncementsAndResponses) {
    Sightings sightings;
    ChainThread chain;
    SsdpClient* client =
        SsdpClient_Create(chain.chain(), kTarget, static_cast<int>(std::strlen(kTarget)),
                          &Sightings::OnResult, &sightings);
    ASSERT_NE(client->SearchSocket(), nullptr);
    const int port = UdpSocket_GetLocalPort(client->SearchSocket());
    chain.Start();

    Sender device("127.0.0.31");
    const std::string here = "http://127.0.0.31:8080/desc.xml";
    const std::string v1 = "urn:schemas-upnp-org:device:NorvaleProbe:";
    // Version 2 answers a search for version 1; the CACHE-CONTROL has blanks.
    device.Send("NOTIFY * HTTP/1.1\r\nNT: " + v1 + "2\r\nNTS: ssdp:alive\r\nLOCATION: " + here +
                    "\r\nCACHE-CONTROL: no-cache, max-age = 1800\r\nUSN: uuid:dev-1::" + v1 +
                    "2\r\n\r\n",
                "127.0.0.1", port);
    device.Send(Notify(v1 + "0", "ssdp:alive", here, "uuid:dev-0::x"), "127.0.0.1",
                port);  // too old
    device.Send(Notify(v1 + "1", "ssdp:alive", "http://127.0.0.99/desc.xml", "uuid:spoof::x"),
                "127.0.0.1", port);  // LOCATION names another host
    device.Send(Notify("urn:other:device:Printer:1", "ssdp:byebye", "", "uuid:printer::x"),
                "127.0.0.1",
                port);  // unrelated byebye: still reported
    device.Send("HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: " + here +
                    "\r\nUSN: uuid:whole-value\r\nCACHE-CONTROL: max-age=900\r\n\r\n",
                "127.0.0.1", port);  // USN without "::"
    device.Send("HTTP/1.1 200 OK\r\nLOCATION: http://127.0.0.98/x\r\nUSN: uuid:elsewhere\r\n\r\n",
                "127.0.0.1", port);  // LOCATION not the sender
    device.Send("HTTP/1.1 404 Not Found\r\nLOCATION: " + here + "\r\n\r\n", "127.0.0.1", port);
    device.Send("M-SEARCH * HTTP/1.1\r\nST: ssdp:all\r\n\r\n", "127.0.0.1", port);
    device.Send("garbage", "127.0.0.1", port);
    device.Send("HTTP/1.1 200 OK\r\nLOCATION: " + here + "\r\nUSN: uuid:\r\n\r\n", "127.0.0.1",
                port);

    ASSERT_TRUE(
        WaitUntil(sightings.mutex, sightings.changed, [&] { return sightings.seen.size() >= 4; }));
    chain.Stop();
    EXPECT_EQ(sightings.seen,
              std::vector<std::string>({"dev-1|-1|" + here + "|1800|2", "printer|0||60|2",
                                        "whole-value|-1|" + here + "|900|1",
                                        "(null)|-1|" + here + "|0|1"}));
}

TEST(SsdpClient, OnlyAByebyeInAnyCaseReportsADeviceGone) {
    // UDA 1.1 devices send ssdp:update when their boot id changes; it, another
    // word or a missing NTS must never drop a live device.
    Sightings sightings;
    SsdpClient client(kTarget, static_cast<int>(std::strlen(kTarget)), &Sightings::OnResult,
                      &sightings);
    const std::string here = "http://127.0.0.5:8080/d.xml";
    auto notify = [&](const std::string& ntsLine) {
        std::string datagram = "NOTIFY * HTTP/1.1\r\nNT: " + std::string(kTarget) + "\r\n" +
                               ntsLine + "LOCATION: " + here +
                               "\r\nCACHE-CONTROL: max-age=60\r\nUSN: uuid:dev-7::x\r\n\r\n";
        client.HandleDatagram(datagram.data(), static_cast<int>(datagram.size()),
                              inet_addr("127.0.0.5"));
    };
    notify("NTS: ssdp:update\r\nBOOTID.UPNP.ORG: 2\r\nNEXTBOOTID.UPNP.ORG: 3\r\n");
    notify("");
    notify("NTS: ssdp:byebye-soon\r\n");
    notify("NTSX: ssdp:byebye\r\n");
    notify("NTS: SSDP:ALIVE\r\n");
    notify("NTS: Ssdp:ByeBye \r\n");
    EXPECT_EQ(sightings.seen, std::vector<std::string>(
                                  {"dev-7|-1|" + here + "|60|2", "dev-7|0|" + here + "|60|2"}));
}

TEST(SsdpClient, SearchesOnTheFirstPassWithTheExactMessage) {
    // A listener on the SSDP port, joined on the loopback interface.
    const int listener = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any = Endpoint("0.0.0.0", 1900);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = inet_addr("239.255.255.250");
    membership.imr_interface.s_addr = inet_addr("127.0.0.1");
    setsockopt(listener, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
    timeval wait{10, 0};
    setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    Sightings sightings;
    ChainThread chain;
    SsdpClient_Create(chain.chain(), kTarget, static_cast<int>(std::strlen(kTarget)),
                      &Sightings::OnResult, &sightings);
    chain.Start();
    const std::string expected = std::string("M-SEARCH * HTTP/1.1\r\nMX: 3\r\nST: ") + kTarget +
                                 "\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    std::string got;
    char buffer[2048];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    for (int i = 0; i < 50 && got != expected; ++i) {  // other searches may share the port
        const ssize_t n = recvfrom(listener, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) break;
        got.assign(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, expected);

    // The answer goes back to the sender's port and is reported as kind 1.
    Sender device("127.0.0.32");
    const std::string answer =
        "HTTP/1.1 200 OK\r\nLOCATION: http://127.0.0.32/d.xml\r\nUSN: uuid:answer-1\r\n\r\n";
    char address[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
    device.Send(answer, address, ntohs(from.sin_port));
    close(listener);
    ASSERT_TRUE(
        WaitUntil(sightings.mutex, sightings.changed, [&] { return !sightings.seen.empty(); }));
    chain.Stop();
    EXPECT_EQ(sightings.seen.front(), "answer-1|-1|http://127.0.0.32/d.xml|0|1");
}

}  // namespace
