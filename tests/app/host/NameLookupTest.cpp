// The map-name lookups: bounded, a few at a time, never holding up their
// owner, with resolvers of the test's own.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/NameLookup.h"

using namespace norvale::app;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Outcomes of submitted lookups, by name.
struct Outcomes {
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::string, bool> done;
    std::map<std::string, Clock::duration> after;
    std::atomic<std::size_t> count{0};  // what the wait tests (see NameLookup's Shared)
    Clock::time_point start = Clock::now();

    NameLookup::Done For(const std::string& name) {
        return [this, name](bool matches) {
            std::lock_guard<std::mutex> guard(lock);
            done[name] = matches;
            after[name] = Clock::now() - start;
            count = done.size();
            changed.notify_all();
        };
    }
    bool WaitFor(std::size_t wanted, std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, [&] { return count >= wanted; });
    }
};

bool TableResolver(const std::string& name, std::string* address) {
    if (name == "office") *address = "127.0.0.5";
    return name == "office";
}

// Names starting with "stuck" block until the gate opens.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> open{false};
    std::atomic<int> inside{0};
};
Gate& TheGate() {
    static Gate gate;
    return gate;
}

bool GatedResolver(const std::string& name, std::string* address) {
    if (name.rfind("stuck", 0) == 0) {
        Gate& gate = TheGate();
        std::unique_lock<std::mutex> guard(gate.lock);
        ++gate.inside;
        gate.changed.notify_all();
        gate.changed.wait(guard, [&] { return gate.open.load(); });
        --gate.inside;
        gate.changed.notify_all();
    }
    *address = "127.0.0.9";
    return true;
}

std::atomic<int> g_running{0};
std::atomic<int> g_mostAtOnce{0};

bool CountingResolver(const std::string&, std::string* address) {
    const int now = ++g_running;
    int most = g_mostAtOnce.load();
    while (now > most && !g_mostAtOnce.compare_exchange_weak(most, now)) {
    }
    std::this_thread::sleep_for(30ms);
    --g_running;
    *address = "127.0.0.9";
    return true;
}

}  // namespace

TEST(NameLookup, MatchesOnlyTheSameAddressIgnoringCaseAndRefusesEmptyNames) {
    Outcomes outcomes;
    NameLookup lookup(&TableResolver, 2, 1000ms);
    EXPECT_TRUE(lookup.Submit("office", "127.0.0.5", outcomes.For("same")));
    EXPECT_TRUE(lookup.Submit("office", "127.0.0.6", outcomes.For("other address")));
    EXPECT_TRUE(lookup.Submit("nowhere", "127.0.0.5", outcomes.For("unknown name")));
    EXPECT_FALSE(lookup.Submit("", "127.0.0.5", outcomes.For("empty")));
    ASSERT_TRUE(outcomes.WaitFor(3));
    EXPECT_EQ(outcomes.done,
              (std::map<std::string, bool>{
                  {"same", true}, {"other address", false}, {"unknown name", false}}));
}

void SetGate(bool open) {
    Gate& gate = TheGate();
    std::lock_guard<std::mutex> guard(gate.lock);
    gate.open = open;
    gate.changed.notify_all();
}

// Waits until `count` lookups are held in the gated resolver.
bool WaitInside(int count) {
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> guard(gate.lock);
    return gate.changed.wait_for(guard, 10s, [&] { return gate.inside.load() == count; });
}

TEST(NameLookup, ALateAnswerCountsAsNoMatchAndTheEndNeverWaitsForAStuckLookup) {
    Outcomes outcomes;
    SetGate(false);
    {
        NameLookup lookup(&GatedResolver, 2, 200ms);
        lookup.Submit("stuck-1", "127.0.0.9", outcomes.For("stuck-1"));
        lookup.Submit("stuck-2", "127.0.0.9", outcomes.For("stuck-2"));
        lookup.Submit("quick", "127.0.0.9", outcomes.For("quick"));
        ASSERT_TRUE(WaitInside(2));
        EXPECT_EQ(lookup.BusyThreads(), 2);
        std::this_thread::sleep_for(250ms);  // both held past their bound
        SetGate(true);
        ASSERT_TRUE(outcomes.WaitFor(3, 5s));
        // The right address, but too late.
        EXPECT_FALSE(outcomes.done["stuck-1"]);
        EXPECT_FALSE(outcomes.done["stuck-2"]);
        EXPECT_TRUE(outcomes.done["quick"]);
    }
    SetGate(false);
    auto lookup = std::make_unique<NameLookup>(&GatedResolver, 2, 200ms);
    // Every job holds the canary until its thread is done with it.
    auto canary = std::make_shared<int>(0);
    for (const char* name : {"stuck-3", "stuck-4", "stuck-5"}) {
        lookup->Submit(name, "127.0.0.9", [canary, done = outcomes.For(name)](bool m) { done(m); });
    }
    ASSERT_TRUE(WaitInside(2));
    // The end returns while both threads are still held in the resolver:
    // one that waited for them would wait here until the gate opens.
    auto ending = std::async(std::launch::async, [&] { lookup.reset(); });
    const bool ended = ending.wait_for(10s) == std::future_status::ready;
    SetGate(true);
    ending.wait();
    EXPECT_TRUE(ended) << "the end waited for a lookup";
    // The released threads finish without reporting.
    for (int i = 0; i < 1000 && canary.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(canary.use_count(), 1);
    std::lock_guard<std::mutex> seen(outcomes.lock);
    EXPECT_EQ(outcomes.done.count("stuck-3") + outcomes.done.count("stuck-4") +
                  outcomes.done.count("stuck-5"),
              0u)
        << "no report after the end";
}

TEST(NameLookup, NoMoreThanItsThreadsRunAtOnce) {
    Outcomes outcomes;
    NameLookup lookup(&CountingResolver, 3, 1000ms);
    for (int i = 0; i < 12; ++i) {
        lookup.Submit("device-" + std::to_string(i), "127.0.0.9",
                      outcomes.For("device-" + std::to_string(i)));
    }
    ASSERT_TRUE(outcomes.WaitFor(12));
    EXPECT_LE(g_mostAtOnce.load(), 3);
    EXPECT_GE(g_mostAtOnce.load(), 2);
}

TEST(NameLookup, OnlyHostNamesFromTheNetworkReachTheResolver) {
    for (const char* name : {"nas", "Office-NAS2", "nas.example.com", "192.168.1.5", "a.b-c.d"}) {
        EXPECT_TRUE(IsLookupName(name, false)) << name;
    }
    for (const std::string& name :
         std::vector<std::string>{"", "Office NAS", "nas;reboot", "nas\n", "-nas", "nas-", "a..b",
                                  ".nas", "nas.", "n\xc3\xa4s", "nas_1", std::string(64, 'a'),
                                  std::string(254, 'a'), "nas.local", "NAS.LOCAL"}) {
        EXPECT_FALSE(IsLookupName(name, false)) << name;
    }
    EXPECT_TRUE(IsLookupName("nas.local", true));  // a resolver that asks multicast DNS
    // What the service refuses never reaches its resolver.
    static std::atomic<int> asked{0};
    NameLookup lookup([](const std::string&, std::string*) { return ++asked, false; }, 1, 1000ms);
    Outcomes outcomes;
    EXPECT_FALSE(lookup.Submit("Office NAS", "127.0.0.5", outcomes.For("spaced")));
    EXPECT_FALSE(lookup.Submit("$(reboot)", "127.0.0.5", outcomes.For("shell")));
    EXPECT_TRUE(lookup.Submit("office", "127.0.0.5", outcomes.For("office")));
    ASSERT_TRUE(outcomes.WaitFor(1));
    EXPECT_EQ(asked.load(), 1);
}

// The system's resolver pointed at a name server that takes every query and
// never answers (this test's namespace only).
class SilentNameServer {
  public:
    SilentNameServer() {
        char config[] = "/tmp/norvale-resolv-XXXXXX";
        const int fd = mkstemp(config);
        if (fd < 0) return;
        const char text[] = "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
        const bool written = write(fd, text, sizeof text - 1) == sizeof text - 1;
        close(fd);
        path_ = config;
        socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in dns{};
        dns.sin_family = AF_INET;
        dns.sin_port = htons(53);
        dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ready_ = written && socket_ >= 0 &&
                 bind(socket_, reinterpret_cast<sockaddr*>(&dns), sizeof dns) == 0 &&
                 mount(config, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
        mounted_ = ready_;
    }
    ~SilentNameServer() {
        if (mounted_) umount2("/etc/resolv.conf", MNT_DETACH);
        if (socket_ >= 0) close(socket_);
        if (!path_.empty()) unlink(path_.c_str());
    }
    bool Ready() const { return ready_; }

  private:
    std::string path_;
    int socket_ = -1;
    bool ready_ = false;
    bool mounted_ = false;
};

TEST(NameLookup, ANameServerThatNeverAnswersHoldsALookupThreadNoLongerThanTheBound) {
    SilentNameServer dns;
    if (!dns.Ready()) GTEST_SKIP() << "cannot put a name server in place here (needs root)";
    Outcomes outcomes;
    NameLookup lookup(nullptr, 1, 300ms);  // the system's resolver, one thread
    ASSERT_TRUE(lookup.Submit("silent.example", "127.0.0.1", outcomes.For("silent")));
    ASSERT_TRUE(lookup.Submit("localhost", "127.0.0.1", outcomes.For("localhost")));
    // The query would take 30 s; the one thread is free again after 300 ms.
    ASSERT_TRUE(outcomes.WaitFor(2, 10s));
    EXPECT_FALSE(outcomes.done["silent"]);
    EXPECT_TRUE(outcomes.done["localhost"]);
}
