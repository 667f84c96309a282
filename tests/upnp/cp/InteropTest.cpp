// The control point against real UPnP software from the distribution:
// gmediarender (a MediaRenderer, which refuses loopback and so runs on the
// veth pair nv0/nv1 of a namespace of its own) and minidlna (a MediaServer
// on loopback). The program re-runs itself under `netns-run --veth` when
// started without nv0; every test skips when its peer is not installed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "CpHarness.h"
#include "upnp/cp/ModelRules.h"

extern char** environ;

namespace norvale::cp::testing {
namespace {

const std::vector<const char*> kTargets{"urn:schemas-upnp-org:device:LuNAS:1",
                                        "urn:schemas-upnp-org:device:MediaRenderer:1"};

bool Installed(const char* path) {
    return access(path, X_OK) == 0;
}

// A peer program, stopped with SIGTERM when the test ends.
class Peer {
  public:
    explicit Peer(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Peer() { Stop(); }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

// Waits until a TCP connection to address:port succeeds (up to `seconds`).
bool WaitForPort(const char* address, int port, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, address, &to.sin_addr);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        close(fd);
        if (ok) return true;
        usleep(100000);
    }
    return false;
}

// Sends one M-SEARCH for `target` over `interface` and collects the answers
// that arrive within `ms`.
std::vector<std::string> Search(const std::string& target, int ms,
                                const char* interface = "127.0.0.1") {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    in_addr local{};
    inet_pton(AF_INET, interface, &local);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    const std::string text = "M-SEARCH * HTTP/1.1\r\nMX: 1\r\nST: " + target +
                             "\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(1900);
    inet_pton(AF_INET, "239.255.255.250", &group.sin_addr);
    sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    std::vector<std::string> answers;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, ms) > 0) {
        char buffer[2048];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) answers.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answers;
}

std::string Header(const std::string& message, const std::string& name) {
    std::size_t at = 0;
    while ((at = message.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (strncasecmp(message.c_str() + at, (name + ":").c_str(), name.size() + 1) != 0) continue;
        std::size_t from = at + name.size() + 1;
        while (from < message.size() && message[from] == ' ') ++from;
        return message.substr(from, message.find("\r\n", from) - from);
    }
    return "";
}

int CountActions(const UPnPService* service) {
    int n = 0;
    for (const UPnPAction* a = service->actions; a != nullptr; a = a->next) ++n;
    return n;
}

TEST(Interop, GmediarenderTreeReachesTheApplicationWithItsServices) {
    if (!Installed("/usr/bin/gmediarender")) GTEST_SKIP() << "gmediarender is not installed";
    if (if_nametoindex("nv0") == 0) GTEST_SKIP() << "no veth pair (run under netns-run --veth)";
    Peer renderer({"/usr/bin/gmediarender", "-I", "nv0", "-p", "49494", "-u",
                   "5a1e0000-0000-4000-8000-00000000c0de", "-f", "Interop Renderer",
                   "--gstout-audiosink=fakesink", "--gstout-videosink=fakesink"});
    ASSERT_TRUE(WaitForPort("10.77.0.1", 49494, 30));
    // Its SSDP side comes up after its web server; the control point searches once.
    bool answering = false;
    for (int i = 0; i < 40 && !answering; ++i) {
        answering = !Search(kTargets[1], 500, "10.77.0.1").empty();
    }
    ASSERT_TRUE(answering) << "gmediarender answers no search";
    Recorder recorder;
    ChainThread chain(&recorder, {}, kTargets);
    ASSERT_TRUE(recorder.WaitNames(
        [](const auto& n) {
            return std::find(n.begin(), n.end(), "added Interop Renderer") != n.end();
        },
        20))
        << ::testing::PrintToString(recorder.Names());
    UPnPDevice* device = recorder.Device(0);
    ASSERT_NE(nullptr, device);
    EXPECT_STREQ("urn:schemas-upnp-org:device:MediaRenderer:1", device->deviceType.get());
    EXPECT_STREQ("5a1e0000-0000-4000-8000-00000000c0de", device->udn.get());
    EXPECT_EQ(0, std::string(device->location.get()).rfind("http://10.77.0.1:49494/", 0));
    std::set<std::string> services;
    for (UPnPService* s = device->firstService; s != nullptr; s = s->next) {
        services.insert(s->serviceType.get());
        EXPECT_GT(CountActions(s), 0) << s->serviceType.get();
        EXPECT_NE(nullptr, s->stateVariables) << s->serviceType.get();
        EXPECT_EQ(0, std::string(s->controlURL.get()).rfind("http://10.77.0.1:49494/", 0));
    }
    EXPECT_EQ((std::set<std::string>{"urn:schemas-upnp-org:service:AVTransport:1",
                                     "urn:schemas-upnp-org:service:ConnectionManager:1",
                                     "urn:schemas-upnp-org:service:RenderingControl:1"}),
              services);
    EXPECT_EQ(0, IsSupportedModel(device));  // not one of the maker's models
    // Leaving (byebye on SIGTERM) is reported.
    renderer.Stop();
    EXPECT_TRUE(recorder.WaitNames(
        [](const auto& n) {
            return std::find(n.begin(), n.end(), "removed Interop Renderer") != n.end();
        },
        10))
        << "gmediarender sent no byebye the control point understood";
}

TEST(Interop, MinidlnaIsReadButNeverAnnounced) {
    if (!Installed("/usr/sbin/minidlnad")) GTEST_SKIP() << "minidlna is not installed";
    char dir[] = "/tmp/cp-minidlna-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string base = dir;
    mkdir((base + "/media").c_str(), 0700);
    mkdir((base + "/db").c_str(), 0700);
    std::ofstream(base + "/minidlna.conf")
        << "media_dir=" << base << "/media\ndb_dir=" << base << "/db\nlog_dir=" << base
        << "\nnetwork_interface=lo\nport=8200\nfriendly_name=Interop Server\n"
        << "notify_interval=2\ninotify=no\n";
    Peer server(
        {"/usr/sbin/minidlnad", "-S", "-f", base + "/minidlna.conf", "-P", base + "/minidlna.pid"});
    ASSERT_TRUE(WaitForPort("127.0.0.1", 8200, 20));

    // What it answers: only its own types (and ssdp:all), never our targets.
    const std::vector<std::string> all = Search("ssdp:all", 1500);
    ASSERT_FALSE(all.empty()) << "minidlna answered no search";
    const std::string location = Header(all.front(), "LOCATION");
    std::string udn = Header(all.front(), "USN").substr(5);
    udn = udn.substr(0, udn.find("::"));
    for (const std::string& answer : all) {
        std::printf("minidlna answers ST %s USN %s\n", Header(answer, "ST").c_str(),
                    Header(answer, "USN").c_str());
    }
    EXPECT_TRUE(Search(kTargets[0], 700).empty());
    EXPECT_TRUE(Search(kTargets[1], 700).empty());

    Recorder recorder;
    ChainThread chain(&recorder, {}, kTargets);
    // Even its description, once read, holds no device the application hears of.
    chain.Ssdp(udn, -1, location, 1800, 2);
    EXPECT_TRUE(chain.Until([](ControlPoint* cp) {
        return cp->PendingTableCount() == 0 && cp->DeviceTableCount() >= 1;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));  // a notify round
    EXPECT_TRUE(recorder.Names().empty()) << ::testing::PrintToString(recorder.Names());
    server.Stop();
    std::system(("rm -rf " + base).c_str());
}

}  // namespace
}  // namespace norvale::cp::testing

// Without the veth pair, re-run inside a namespace of its own that has it.
int main(int argc, char** argv) {
    if (if_nametoindex("nv0") == 0 && std::getenv("NORVALE_INTEROP_INSIDE") == nullptr) {
        const char* source = std::getenv("NORVALE_SOURCE_DIR");
        const std::string netns =
            std::string(source == nullptr ? "." : source) + "/../shared/tools/netns-run";
        if (access(netns.c_str(), X_OK) == 0) {
            setenv("NORVALE_INTEROP_INSIDE", "1", 1);
            std::vector<char*> args{const_cast<char*>(netns.c_str()), const_cast<char*>("--veth")};
            char self[4096];
            const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
            self[n > 0 ? n : 0] = '\0';
            args.push_back(self);
            for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
            args.push_back(nullptr);
            execv(args[0], args.data());
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
