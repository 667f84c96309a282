#include "tools/nas-sim/Simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/nas-sim/SsdpMessages.h"

namespace nassim {

namespace {

int g_signalWrite = -1;

void onSignal(int) {
    char c = 's';
    if (g_signalWrite >= 0) (void)!write(g_signalWrite, &c, 1);
}

std::string describe(const sockaddr_in& a) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

Simulator::Simulator(Scenario scenario, std::string baseAddress, Logger& log, std::FILE* out)
    : scenario_(std::move(scenario)), baseAddress_(std::move(baseAddress)), log_(log), out_(out) {}

Simulator::~Simulator() {
    devices_.clear();
    if (ssdpFd_ >= 0) close(ssdpFd_);
    g_signalWrite = -1;
    for (int fd : signalPipe_)
        if (fd >= 0) close(fd);
}

bool Simulator::openSsdpListener(std::string* error) {
    ssdpFd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(ssdpFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(1900);
    ip_mreq group{};
    inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
    inet_pton(AF_INET, "127.0.0.1", &group.imr_interface);
    if (bind(ssdpFd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
        setsockopt(ssdpFd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
        *error = std::string("ssdp listener on 0.0.0.0:1900: ") + std::strerror(errno);
        return false;
    }
    loop_.watch(ssdpFd_, POLLIN, [this](short) { readSsdp(); });
    return true;
}

std::unique_ptr<SimDevice> Simulator::makeDevice(RootDef def) {
    DeviceHooks hooks{
        loop_,
        log_,
        [this](int fd, std::string bytes, sockaddr_in to) { send(fd, std::move(bytes), to); },
        [this](const std::string& line) { log_.line("schedule " + line + " -> " + execute(line)); },
        {},
        {}};
    if (scenario_.searchSpreadMs > 0) {
        hooks.answerDelayMs = [this] {
            return std::uniform_int_distribution<int>(0, scenario_.searchSpreadMs)(random_);
        };
    }
    if (scenario_.searchDropRate > 0) {
        hooks.dropAnswer = [this] {
            return std::uniform_real_distribution<double>(0, 1)(random_) < scenario_.searchDropRate;
        };
    }
    return std::make_unique<SimDevice>(std::move(def), hooks);
}

bool Simulator::start(std::string* error) {
    if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = "pipe failed";
        return false;
    }
    g_signalWrite = signalPipe_[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    loop_.watch(signalPipe_[0], POLLIN, [this](short) { loop_.stop(); });
    if (!openSsdpListener(error)) return false;
    for (RootDef& def : scenario_.devices) {
        devices_.push_back(makeDevice(std::move(def)));
        if (!devices_.back()->start(error)) return false;
    }
    scenario_.devices.clear();
    for (const auto& d : devices_) std::fprintf(out_, "%s\n", deviceLine(*d).c_str());
    std::fprintf(out_, "ready %zu devices\n", devices_.size());
    std::fflush(out_);
    return true;
}

void Simulator::run(bool quitOnEof) {
    quitOnEof_ = quitOnEof;
    loop_.watch(STDIN_FILENO, POLLIN, [this](short) { readStdin(); });
    loop_.run();
    shutdownDevices();
}

void Simulator::shutdownDevices() {
    for (auto& d : devices_)
        if (d->announcing()) d->byebye();
    // Whatever is still queued goes out now, waiting briefly when a socket buffer is full.
    for (int round = 0; round < 1000 && !queue_.empty(); ++round) {
        drainQueue();
        if (!queue_.empty()) poll(nullptr, 0, 1);
    }
    devices_.clear();
}

void Simulator::readSsdp() {
    char buffer[4096];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(ssdpFd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
        if (n < 0) return;
        SsdpMessage message;
        if (!parseSsdp(buffer, static_cast<size_t>(n), &message) || !message.isSearch()) continue;
        const std::string* mx = message.header("MX");
        log_.line("ssdp search " + *message.header("ST") + " from " + describe(from) + " mx " +
                  (mx ? *mx : "-"));
        for (auto& d : devices_) d->onSearch(message, from);
    }
}

void Simulator::readStdin() {
    char buffer[65536];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        loop_.unwatch(STDIN_FILENO);
        if (quitOnEof_) loop_.stop();
        return;
    }
    stdinBuffer_.append(buffer, static_cast<size_t>(n));
    size_t nl;
    while ((nl = stdinBuffer_.find('\n')) != std::string::npos) {
        std::string line = stdinBuffer_.substr(0, nl);
        stdinBuffer_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::string reply = execute(line);
        if (reply.empty()) continue;
        std::fprintf(out_, "%s\n", reply.c_str());
        std::fflush(out_);
    }
    // A command is one short line: input without a line end for this long
    // (binary junk, /dev/zero) is dropped instead of piling up.
    constexpr size_t kMaxCommandLine = 65536;
    if (stdinBuffer_.size() > kMaxCommandLine) stdinBuffer_.clear();
}

void Simulator::send(int fd, std::string bytes, const sockaddr_in& to) {
    queue_.push_back(Datagram{fd, std::move(bytes), to});
    if (scenario_.udpPacePerMs == 0)
        drainQueue();
    else if (!queueTimer_)
        queueTimer_ = loop_.after(0, [this] {
            queueTimer_ = 0;
            drainQueue();
        });
}

void Simulator::drainQueue() {
    int budget = scenario_.udpPacePerMs > 0 ? scenario_.udpPacePerMs : 1 << 30;
    while (!queue_.empty() && budget-- > 0) {
        Datagram& d = queue_.front();
        ssize_t n = sendto(d.fd, d.bytes.data(), d.bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&d.to), sizeof d.to);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) break;
        if (n < 0) log_.line(std::string("udp send failed: ") + std::strerror(errno));
        queue_.pop_front();
    }
    if (!queue_.empty() && !queueTimer_)
        queueTimer_ = loop_.after(1, [this] {
            queueTimer_ = 0;
            drainQueue();
        });
}

SimDevice* Simulator::findDevice(const std::string& key, DeviceDef** node) {
    for (auto& d : devices_) {
        DeviceDef* found =
            d->def().address == key ? d->findNode(d->def().device.udn) : d->findNode(key);
        if (!found) continue;
        if (node) *node = found;
        return d.get();
    }
    return nullptr;
}

std::string Simulator::deviceLine(const SimDevice& d) const {
    return "device " + d.name() + " " + d.def().address + " " + d.location() + " " +
           d.def().device.udn;
}

std::string Simulator::addDevice(const std::string& json) {
    RootDef def = parseRootDevice(nlohmann::json::parse(json));
    std::vector<std::string> taken;
    for (auto& d : devices_) taken.push_back(d->def().address);
    finishDevice(def, baseAddress_, taken);
    auto device = makeDevice(std::move(def));
    std::string error;
    if (!device->start(&error)) return "error " + error;
    devices_.push_back(std::move(device));
    std::fprintf(out_, "%s\n", deviceLine(*devices_.back()).c_str());
    return "ok add " + devices_.back()->name();
}

std::string Simulator::removeDevice(const std::string& key) {
    SimDevice* device = findDevice(key);
    if (!device) return "error no device " + key;
    if (device->announcing()) device->byebye();
    // Its queued datagrams (the byebye) leave now, before its socket closes.
    int fd = device->udpFd();
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [fd](const Datagram& d) {
                                    if (d.fd != fd) return false;
                                    sendto(fd, d.bytes.data(), d.bytes.size(), 0,
                                           reinterpret_cast<const sockaddr*>(&d.to), sizeof d.to);
                                    return true;
                                }),
                 queue_.end());
    std::string name = device->name();
    device->stop();
    // A scheduled command of the device itself may be running: free it after this round.
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [device](const auto& d) { return d.get() == device; });
    std::shared_ptr<SimDevice> doomed(std::move(*it));
    devices_.erase(it);
    loop_.defer([doomed] {});
    return "ok remove " + name;
}

}  // namespace nassim
