// Searches that survive lost datagrams, bursts of answers and address
// changes: the repeated M-SEARCH, the LOCATION check, the drained datagram
// socket and the address watcher (with a veth pair made in this namespace).
#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "tests/upnp/stack/NothingLeftOpen.h"
#include "upnp/stack/AddressWatcher.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"
#include "upnp/stack/LocalAddresses.h"
#include "upnp/stack/SsdpClient.h"
#include "upnp/stack/StackClock.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kTarget = "urn:schemas-upnp-org:device:NorvaleProbe:1";

struct Sightings {
    std::vector<std::string> seen;  // "udn|location|kind"
    static void OnResult(SsdpClient*, char* udn, int, char* location, int, int kind, void* user) {
        static_cast<Sightings*>(user)->seen.push_back(std::string(udn ? udn : "(null)") + "|" +
                                                      (location ? location : "(null)") + "|" +
                                                      std::to_string(kind));
    }
};

// A socket on the SSDP port that hears the group on one interface (by index,
// so it needs no address there), with a receive time-out.
class GroupListener {
  public:
    explicit GroupListener(unsigned interfaceIndex, std::uint32_t interfaceAddress = 0) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in any = Endpoint("0.0.0.0", 1900);
        bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any);
        ip_mreqn membership{};
        membership.imr_multiaddr.s_addr = inet_addr("239.255.255.250");
        membership.imr_address.s_addr = interfaceAddress;
        membership.imr_ifindex = static_cast<int>(interfaceIndex);
        joined_ =
            setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0;
        // Only what arrives for the group on this interface.
        const int off = 0;
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
        timeval wait{0, 100 * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~GroupListener() { close(fd_); }
    bool Joined() const { return joined_; }

    struct Datagram {
        std::string text;
        std::string from;  // dotted address
        int port = 0;
        Clock::time_point at;
    };
    // Every datagram that arrives within `ms`.
    std::vector<Datagram> Collect(int ms) {
        std::vector<Datagram> got;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &length);
            if (n <= 0) continue;
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            got.push_back({std::string(buffer, static_cast<std::size_t>(n)), text,
                           ntohs(from.sin_port), Clock::now()});
        }
        return got;
    }

  private:
    int fd_ = -1;
    bool joined_ = false;
};

bool Shell(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// True when a UDP socket of this namespace is bound to `address`.
bool UdpSocketBoundTo(const char* address) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", inet_addr(address));
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.rfind(hex, 0) == 0) return true;
    }
    return false;
}

}  // namespace

TEST(SsdpSearch, EachSearchGoesOutSixTimesWithTheSameTextOverTwoSeconds) {
    GroupListener listener(if_nametoindex("lo"), inet_addr("127.0.0.1"));
    ASSERT_TRUE(listener.Joined());
    Sightings sightings;
    ChainThread chain;
    SsdpClient* client =
        SsdpClient_Create(chain.chain(), kTarget, static_cast<int>(std::strlen(kTarget)),
                          &Sightings::OnResult, &sightings);
    const int port = UdpSocket_GetLocalPort(client->SearchSocket());
    const std::string text = client->SearchText();  // the chain frees the client at its end
    const auto started = Clock::now();
    chain.Start();
    std::vector<GroupListener::Datagram> copies;
    for (const auto& d : listener.Collect(3000)) {
        if (d.port == port) copies.push_back(d);
    }
    chain.Stop();
    constexpr std::size_t kCopies = std::size(kSearchCopyDelaysMs);
    ASSERT_EQ(copies.size(), kCopies);
    for (const auto& copy : copies) EXPECT_EQ(copy.text, text);
    using std::chrono::milliseconds;
    EXPECT_LT(copies[0].at - started, milliseconds(500));
    // Never sooner than scheduled (a timer does not fire early; 30% of
    // slack for the receiving side), and the last ones a while apart, so
    // one burst of loss cannot take them all.
    for (std::size_t i = 1; i < kCopies; ++i) {
        EXPECT_GT(copies[i].at - copies[0].at, milliseconds(kSearchCopyDelaysMs[i] * 7 / 10)) << i;
    }
    EXPECT_GT(copies[kCopies - 1].at - copies[kCopies - 3].at, milliseconds(700));
}

TEST(SsdpSearch, LocationMustNameTheSenderRightAfterItsScheme) {
    Sightings sightings;
    SsdpClient client(kTarget, static_cast<int>(std::strlen(kTarget)), &Sightings::OnResult,
                      &sightings);
    const std::uint32_t sender = inet_addr("127.0.0.5");
    auto answer = [&](const std::string& location) {
        std::string datagram =
            "HTTP/1.1 200 OK\r\nLOCATION: " + location + "\r\nUSN: uuid:probe-1\r\n\r\n";
        client.HandleDatagram(datagram.data(), static_cast<int>(datagram.size()), sender);
    };
    auto notify = [&](const std::string& location) {
        std::string datagram = "NOTIFY * HTTP/1.1\r\nNT: " + std::string(kTarget) +
                               "\r\nNTS: ssdp:alive\r\nLOCATION: " + location +
                               "\r\nUSN: uuid:probe-2\r\n\r\n";
        client.HandleDatagram(datagram.data(), static_cast<int>(datagram.size()), sender);
    };
    for (const char* accepted : {"http://127.0.0.5:8080/d.xml", "HTTP://127.0.0.5/d.xml",
                                 "http://127.0.0.5", "http://127.0.0.5:49152"}) {
        answer(accepted);
        notify(accepted);
    }
    // No scheme: no absolute URL. A later "://" must not stand in for the host.
    for (const char* refused :
         {"127.0.0.5:8080/d.xml", "127.0.0.5", "/127.0.0.5/d.xml",
          "http://127.0.0.9/go?to=http://127.0.0.5/d.xml", "http://127.0.0.55/d.xml",
          "http://127.0.0.5.evil/d.xml", "http:/127.0.0.5/d.xml", ""}) {
        answer(refused);
        notify(refused);
    }
    EXPECT_EQ(sightings.seen,
              std::vector<std::string>(
                  {"probe-1|http://127.0.0.5:8080/d.xml|1", "probe-2|http://127.0.0.5:8080/d.xml|2",
                   "probe-1|HTTP://127.0.0.5/d.xml|1", "probe-2|HTTP://127.0.0.5/d.xml|2",
                   "probe-1|http://127.0.0.5|1", "probe-2|http://127.0.0.5|2",
                   "probe-1|http://127.0.0.5:49152|1", "probe-2|http://127.0.0.5:49152|2"}));
}

// Counts the chain's passes.
class PassCounter : public ChainedObject {
  public:
    void OnReady(int, const SocketSet&, const SocketSet&, const SocketSet&) override { ++passes; }
    int passes = 0;
};

// The stack clock of the burst tests: it moves only when a datagram handler
// moves it (`msPerDatagram`), so the drain bound is met after exactly so
// many datagrams, however fast the machine.
struct BurstClock {
    static std::atomic<std::uint32_t>& Ticks() {
        static std::atomic<std::uint32_t> ticks{1000};
        return ticks;
    }
    static std::uint32_t Read() { return Ticks().load(); }
    BurstClock() { StackClock_SetTickSource(&Read); }
    ~BurstClock() { StackClock_SetTickSource(nullptr); }
};

// Sends `count` datagrams at once to a UDP socket on a chain and runs the
// chain until the last one is in. Reports the pass of the last datagram and
// how many datagrams were in when a timer of 2 ms, due after the first
// wake, ran.
struct Burst {
    int datagrams = 0;
    int passAtLast = -1;
    int datagramsAtTimer = -1;
    int count = 0;
    std::uint32_t msPerDatagram = 0;
    PassCounter* counter = nullptr;
    EventChain* chain = nullptr;

    void Run() {
        BurstClock clock;
        chain = EventChain_Create();
        auto onData = [](UdpSocket*, char*, int, std::uint32_t, int, void* user, void*, int*) {
            auto* b = static_cast<Burst*>(user);
            BurstClock::Ticks() += b->msPerDatagram;
            if (++b->datagrams < b->count) return;
            b->passAtLast = b->counter->passes;
            EventChain_RequestStop(b->chain);
        };
        UdpSocket* socket = UdpSocket_Create(chain, 4096, inet_addr("127.0.0.1"), 50000, 65500, 0,
                                             onData, nullptr, this);
        ASSERT_NE(socket, nullptr);
        ASSERT_GE(UdpSocket_SetReceiveBuffer(socket, 1024 * 1024), 512 * 1024);
        counter = new PassCounter;
        EventChain_AddObject(chain, counter);
        LifetimeMonitor_Add(
            EventChain_Timers(chain), this, 2,
            [](void* b) {
                static_cast<Burst*>(b)->datagramsAtTimer = static_cast<Burst*>(b)->datagrams;
            },
            nullptr);
        const int device = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = Endpoint("127.0.0.1", UdpSocket_GetLocalPort(socket));
        for (int i = 0; i < count; ++i) {
            const std::string answer =
                "HTTP/1.1 200 OK\r\nUSN: uuid:" + std::to_string(i) + "\r\n\r\n";
            sendto(device, answer.data(), answer.size(), 0,
                   reinterpret_cast<const sockaddr*>(&target), sizeof target);
        }
        close(device);
        EventChain_Run(chain);  // returns once the last datagram is in
    }
};

TEST(UdpSocketBurst, OneWakeTakesEveryReadyDatagramForAtMostFiveMilliseconds) {
    // Handled in no time: a burst of 400 answers is taken in one wake.
    Burst quick;
    quick.count = 400;
    quick.Run();
    EXPECT_EQ(quick.datagrams, 400);
    EXPECT_LE(quick.passAtLast, 1) << "the burst took several wakes";
    // 1 ms each: the wake ends after 5 ms, and the timer gets its turn long
    // before the flood is taken.
    Burst slow;
    slow.count = 100;
    slow.msPerDatagram = 1;
    slow.Run();
    EXPECT_EQ(slow.datagrams, 100);
    EXPECT_GE(slow.datagramsAtTimer, kMaxDrainMsPerWake);
    EXPECT_LE(slow.datagramsAtTimer, kMaxDrainMsPerWake + 1);
}

TEST(AddressWatcher, ReadsOnlyWholeIpv4AddressAndLinkMessages) {
    auto message = [](std::uint16_t type, unsigned char family) {
        std::vector<unsigned char> bytes(NLMSG_SPACE(sizeof(ifaddrmsg)), 0);
        nlmsghdr header{};
        header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
        header.nlmsg_type = type;
        std::memcpy(bytes.data(), &header, sizeof header);
        ifaddrmsg address{};
        address.ifa_family = family;
        std::memcpy(bytes.data() + NLMSG_HDRLEN, &address, sizeof address);
        return bytes;
    };
    // Exactly sized copies, so a read past the end is caught.
    auto check = [](const std::vector<unsigned char>& bytes) {
        std::vector<unsigned char> copy(bytes);
        return IsAddressChange(copy.data(), static_cast<int>(copy.size()));
    };
    EXPECT_TRUE(check(message(RTM_NEWADDR, AF_INET)));
    EXPECT_TRUE(check(message(RTM_DELADDR, AF_INET)));
    EXPECT_FALSE(check(message(RTM_NEWADDR, AF_INET6)));
    EXPECT_FALSE(check(message(RTM_NEWROUTE, AF_INET)));
    EXPECT_TRUE(check(message(RTM_DELLINK, AF_UNSPEC)));
    std::vector<unsigned char> two = message(RTM_NEWROUTE, AF_INET);
    const std::vector<unsigned char> address = message(RTM_DELADDR, AF_INET);
    two.insert(two.end(), address.begin(), address.end());
    EXPECT_TRUE(check(two));
    // Every cut of the address message: never a change, never a read outside.
    for (std::size_t cut = 0; cut < address.size(); ++cut) {
        std::vector<unsigned char> part(address.begin(),
                                        address.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(check(part)) << cut;
    }
    std::vector<unsigned char> lying = message(RTM_NEWADDR, AF_INET);
    reinterpret_cast<nlmsghdr*>(lying.data())->nlmsg_len = 4000;  // longer than the datagram
    EXPECT_FALSE(check(lying));
}

class SsdpAddressChanges : public NothingLeftOpen {
  protected:
    void TearDown() override {
        SetInterfaceAllowList({});
        Shell("ip link del nvA");
        NothingLeftOpen::TearDown();
    }
};

TEST_F(SsdpAddressChanges, NewAddressIsSearchedAtOnceAndItsSocketClosesWhenItGoes) {
    if (!Shell("ip link add nvA type veth peer name nvB && ip link set nvA up && "
               "ip link set nvB up")) {
        GTEST_SKIP() << "no veth pair can be made here";
    }
    SetInterfaceAllowList({"nvA"});
    GroupListener onA(if_nametoindex("nvA"));
    GroupListener onB(if_nametoindex("nvB"));
    ASSERT_TRUE(onA.Joined() && onB.Joined());
    Sightings sightings;
    ChainThread chain;
    SsdpClient* client =
        SsdpClient_Create(chain.chain(), kTarget, static_cast<int>(std::strlen(kTarget)),
                          &Sightings::OnResult, &sightings);
    chain.Start();
    onA.Collect(200);  // the first search (loopback only) is out

    ASSERT_TRUE(Shell("ip addr add 10.78.0.1/24 dev nvA"));
    const auto added = Clock::now();
    std::vector<GroupListener::Datagram> heard;
    for (const auto& d : onA.Collect(1000)) {
        if (d.from == "10.78.0.1") heard.push_back(d);
    }
    ASSERT_FALSE(heard.empty()) << "no search from the new address";
    EXPECT_LT(heard.front().at - added, std::chrono::milliseconds(1000));
    EXPECT_EQ(heard.front().text, client->SearchText());
    EXPECT_TRUE(UdpSocketBoundTo("10.78.0.1"));

    // The allow-list still applies to addresses that come later.
    ASSERT_TRUE(Shell("ip addr add 10.79.0.1/24 dev nvB"));
    for (const auto& d : onB.Collect(1200)) EXPECT_NE(d.from, "10.79.0.1");
    EXPECT_FALSE(UdpSocketBoundTo("10.79.0.1"));

    ASSERT_TRUE(Shell("ip addr del 10.78.0.1/24 dev nvA"));
    bool closed = false;
    for (int i = 0; i < 50 && !closed; ++i) {
        closed = !UdpSocketBoundTo("10.78.0.1");
        if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(closed) << "the vanished address keeps its socket";
    std::vector<std::uint32_t> addresses;
    chain.Post([&] { addresses = client->InterfaceAddresses(); });
    EXPECT_TRUE(addresses.empty());

    // The address comes back: a search from it again, on a reused socket.
    ASSERT_TRUE(Shell("ip addr add 10.78.0.1/24 dev nvA"));
    bool again = false;
    for (const auto& d : onA.Collect(1000)) again = again || d.from == "10.78.0.1";
    EXPECT_TRUE(again);
    chain.Stop();
}
