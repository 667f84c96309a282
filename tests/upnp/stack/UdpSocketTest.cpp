#include <gtest/gtest.h>
#include <sched.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/upnp/stack/NothingLeftOpen.h"
#include "tests/upnp/stack/SocketTestSupport.h"
#include "upnp/stack/AsyncSocket.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/LocalAddresses.h"
#include "upnp/stack/UdpSocket.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

const std::uint32_t kSsdpGroup = htonl(0xEFFFFFFAu);  // 239.255.255.250

struct Datagram {
    std::string text;
    std::uint32_t sender;
    int senderPort;
};

// Collects datagrams that begin with `marker` (others, e.g. searches of
// tests running alongside, are ignored); stops the chain once `wanted` came.
struct Inbox {
    EventChain* chain;
    std::size_t wanted;
    std::vector<Datagram> got;
    std::string marker;

    static void OnData(UdpSocket*, char* buffer, int length, std::uint32_t sender, int port,
                       void* user, void* reserved, int*) {
        auto* inbox = static_cast<Inbox*>(user);
        EXPECT_EQ(reserved, nullptr);
        if (std::string(buffer, length).rfind(inbox->marker, 0) != 0) return;
        inbox->got.push_back(Datagram{std::string(buffer, length), sender, port});
        if (inbox->got.size() == inbox->wanted) EventChain_RequestStop(inbox->chain);
    }
};

UdpSocket* Open(EventChain* chain, std::uint32_t local, int low, int high, int reuse,
                Inbox* inbox = nullptr) {
    return UdpSocket_Create(chain, 4096, local, low, high, reuse, inbox ? Inbox::OnData : nullptr,
                            nullptr, inbox);
}

class UdpSocketTest : public NothingLeftOpen {};
class LocalAddressesTest : public NothingLeftOpen {};

}  // namespace

TEST_F(UdpSocketTest, TwoSocketsWithReuseShareAPortAndAFixedTakenPortFails) {
    EventChain* chain = EventChain_Create();
    UdpSocket* first = Open(chain, 0, 1900, 1900, 1);
    UdpSocket* second = Open(chain, 0, 1900, 1900, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(UdpSocket_GetLocalPort(first), 1900);
    EXPECT_EQ(UdpSocket_GetLocalPort(second), 1900);
    EXPECT_EQ(Open(chain, Loopback(), 1900, 1900, 0), nullptr);
    EventChain_RequestStop(chain);
    EventChain_Run(chain);
}

TEST_F(UdpSocketTest, RandomPortsStayBelowTheUpperBoundAndAFullRangeFails) {
    std::set<int> drawn;
    for (int i = 0; i < 20000; ++i) drawn.insert(UdpSocket_RandomPort(50000, 50003));
    EXPECT_EQ(drawn, (std::set<int>{50000, 50001, 50002}));

    EventChain* chain = EventChain_Create();
    std::set<int> bound;
    for (int i = 0; i < 3; ++i) {
        UdpSocket* socket = Open(chain, Loopback(), 40100, 40103, 0);
        ASSERT_NE(socket, nullptr);
        bound.insert(UdpSocket_GetLocalPort(socket));
    }
    EXPECT_EQ(bound, (std::set<int>{40100, 40101, 40102}));
    EXPECT_EQ(Open(chain, Loopback(), 40100, 40103, 0), nullptr);  // every port taken
    EventChain_RequestStop(chain);
    EventChain_Run(chain);
}

TEST_F(UdpSocketTest, MulticastReachesAGroupMemberWithTheSendersAddress) {
    EventChain* chain = EventChain_Create();
    Inbox inbox{chain, 1, {}, "norvale multicast test"};
    UdpSocket* receiver = Open(chain, 0, 1900, 1900, 1, &inbox);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(UdpSocket_JoinGroup(receiver, Loopback(), kSsdpGroup), 0);
    EXPECT_EQ(AsyncSocket_GetLocalInterface(receiver), Loopback());
    UdpSocket* sender = Open(chain, Loopback(2), 50000, 65500, 0);
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(UdpSocket_SetMulticastInterface(sender, Loopback()), 0);
    EXPECT_EQ(UdpSocket_SetMulticastTtl(sender, 4), 0);
    const std::string text = inbox.marker + " from 127.0.0.2";
    EXPECT_EQ(
        AsyncSocket_SendTo(sender, text.data(), int(text.size()), kSsdpGroup, 1900, kBufferCopy),
        kSendComplete);
    ASSERT_TRUE(RunChain(chain, 5000));
    ASSERT_EQ(inbox.got.size(), 1u);
    EXPECT_EQ(inbox.got[0].text, text);
    EXPECT_EQ(AddressToText(inbox.got[0].sender), "127.0.0.2");
    EXPECT_GE(inbox.got[0].senderPort, 50000);
}

// An empty datagram, or a send that the system refuses, must not close the
// socket: either would end discovery for good.
TEST_F(UdpSocketTest, EmptyDatagramsAndRefusedSendsLeaveTheSocketOpen) {
    EventChain* chain = EventChain_Create();
    Inbox inbox{chain, 1, {}, ""};
    UdpSocket* receiver = Open(chain, Loopback(), 50200, 50300, 0, &inbox);
    UdpSocket* sender = Open(chain, Loopback(), 50300, 50400, 0);
    ASSERT_NE(receiver, nullptr);
    ASSERT_NE(sender, nullptr);
    const int port = UdpSocket_GetLocalPort(receiver);
    const int senderPort = UdpSocket_GetLocalPort(sender);
    std::vector<char> huge(70000, 'x');  // larger than any datagram
    EXPECT_EQ(
        AsyncSocket_SendTo(sender, huge.data(), int(huge.size()), Loopback(), port, kBufferCopy),
        kSendClosed);
    EXPECT_EQ(AsyncSocket_SendTo(sender, "", 0, Loopback(), port, kBufferStatic), kSendComplete);
    After(chain, 30,
          [&] { AsyncSocket_SendTo(sender, "after", 5, Loopback(), port, kBufferStatic); });
    ASSERT_TRUE(RunChain(chain, 5000));
    ASSERT_EQ(inbox.got.size(), 1u);
    EXPECT_EQ(inbox.got[0].text, "after");
    EXPECT_EQ(inbox.got[0].senderPort, senderPort);
}

TEST_F(UdpSocketTest, DatagramLongerThanTheBufferIsCutAndTheNextArrivesWhole) {
    EventChain* chain = EventChain_Create();
    Inbox inbox{chain, 2, {}, ""};
    UdpSocket* receiver = Open(chain, Loopback(), 50400, 50500, 0, &inbox);  // 4096-byte buffer
    UdpSocket* sender = Open(chain, Loopback(), 50500, 50600, 0);
    ASSERT_NE(receiver, nullptr);
    ASSERT_NE(sender, nullptr);
    const int port = UdpSocket_GetLocalPort(receiver);
    std::string big;
    for (int i = 0; big.size() < 6000; ++i) big += std::to_string(i) + ",";
    EXPECT_EQ(
        AsyncSocket_SendTo(sender, big.data(), int(big.size()), Loopback(), port, kBufferCopy),
        kSendComplete);
    After(chain, 30,
          [&] { AsyncSocket_SendTo(sender, "after", 5, Loopback(), port, kBufferStatic); });
    ASSERT_TRUE(RunChain(chain, 5000));
    ASSERT_EQ(inbox.got.size(), 2u);
    // The first is the datagram's own beginning, no longer than the buffer;
    // its rest is gone and does not come before the next datagram.
    EXPECT_GE(inbox.got[0].text.size(), 1024u);
    EXPECT_LE(inbox.got[0].text.size(), 4096u);
    EXPECT_EQ(inbox.got[0].text, big.substr(0, inbox.got[0].text.size()));
    EXPECT_EQ(inbox.got[1].text, "after");
}

// Runs `body` on a thread of its own in a fresh network namespace (only a
// loopback interface); false when the system does not allow one.
bool InFreshNamespace(const std::function<void()>& body) {
    bool allowed = false;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0) return;
        allowed = std::system("ip link set lo up") == 0;
        if (allowed) body();
    }).join();
    return allowed;
}

TEST_F(LocalAddressesTest, ListsEveryUpInterfaceAddressInOrderThenLoopbackHonouringTheAllowList) {
    std::vector<std::uint32_t> plain, withDummy, restricted, byAddress, many;
    std::vector<LocalInterface> interfaces;
    bool dummyAdded = false;
    const bool isolated = InFreshNamespace([&] {
        GetLocalAddresses(plain);
        // A dummy interface, or one end of a veth pair where the kernel has no
        // dummy driver; the other end stays down and unlisted.
        dummyAdded = std::system(
                         "{ ip link add dummy0 type dummy 2>/dev/null || "
                         "ip link add dummy0 type veth peer name dummy1; } && "
                         "ip addr add 10.99.0.1/24 dev dummy0 && "
                         "ip link set dummy0 up") == 0;
        if (!dummyAdded) return;
        interfaces = ListLocalInterfaces();
        GetLocalAddresses(withDummy);
        SetInterfaceAllowList({"eth7"});
        GetLocalAddresses(restricted);
        SetInterfaceAllowList({"10.99.0.1"});
        GetLocalAddresses(byAddress);
        SetInterfaceAllowList({});
        // Far more addresses than seven, added out of order.
        for (int last = 12; last >= 2; --last) {
            const std::string add =
                "ip addr add 10.99.0." + std::to_string(last) + "/24 dev dummy0";
            if (std::system(add.c_str()) != 0) return;
        }
        GetLocalAddresses(many);
    });
    if (!isolated) GTEST_SKIP() << "no private network namespace allowed here";
    EXPECT_EQ(plain, std::vector<std::uint32_t>{Loopback()});
    if (!dummyAdded) GTEST_SKIP() << "no dummy interface allowed here";
    const std::uint32_t dummy = htonl(0x0A630001u);
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_EQ(interfaces[0].name, "dummy0");
    EXPECT_EQ(withDummy, (std::vector<std::uint32_t>{dummy, Loopback()}));
    EXPECT_EQ(restricted, std::vector<std::uint32_t>{Loopback()});
    EXPECT_EQ(byAddress, (std::vector<std::uint32_t>{dummy, Loopback()}));
    std::vector<std::uint32_t> expected;
    for (std::uint32_t last = 1; last <= 12; ++last) expected.push_back(htonl(0x0A630000u + last));
    expected.push_back(Loopback());
    EXPECT_EQ(many, expected);
}
