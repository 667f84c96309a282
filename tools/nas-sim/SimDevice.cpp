// A simulated device's sockets and SSDP behaviour. Its HTTP answers are in SimDeviceHttp.cpp.

#include "tools/nas-sim/SimDevice.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tools/nas-sim/HttpShape.h"
#include "tools/nas-sim/SoapResponder.h"

namespace nassim {

namespace {

sockaddr_in endpoint(const std::string& address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return a;
}

std::string describe(const sockaddr_in& a) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

bool fail(std::string* error, const std::string& what) {
    *error = what + ": " + std::strerror(errno);
    return false;
}

}  // namespace

SimDevice::SimDevice(RootDef def, DeviceHooks hooks)
    : def_(std::move(def)), hooks_(std::move(hooks)) {}

SimDevice::~SimDevice() {
    stop();
}

void SimDevice::stop() {
    for (uint64_t id : scheduleTimers_) hooks_.loop.cancel(id);
    for (uint64_t id : searchTimers_) hooks_.loop.cancel(id);
    scheduleTimers_.clear();
    searchTimers_.clear();
    if (notifyTimer_) hooks_.loop.cancel(notifyTimer_);
    notifyTimer_ = 0;
    announcing_ = false;
    connections_.clear();
    closeListener();
    if (udpFd_ >= 0) close(udpFd_);
    udpFd_ = -1;
}

bool SimDevice::start(std::string* error) {
    udpFd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (udpFd_ < 0) return fail(error, "udp socket");
    sockaddr_in self = endpoint(def_.address, 0);
    if (bind(udpFd_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0)
        return fail(error, "bind udp " + def_.address);
    in_addr loopback{};
    inet_pton(AF_INET, "127.0.0.1", &loopback);
    unsigned char ttl = 2;
    if (setsockopt(udpFd_, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback) != 0 ||
        setsockopt(udpFd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0)
        return fail(error, "multicast options");
    if (!openListener(def_.port, error)) return false;
    if (def_.ssdp.announceAtStart) sendNotify(true);
    armPeriodicNotify();
    for (const ScheduleEntry& e : def_.schedule) {
        std::string line = e.verb + " " + def_.device.udn + (e.args.empty() ? "" : " " + e.args);
        scheduleTimers_.push_back(
            hooks_.loop.after(e.atMs, [this, line] { hooks_.command(line); }));
    }
    return true;
}

bool SimDevice::openListener(uint16_t port, std::string* error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(error, "tcp socket");
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in self = endpoint(def_.address, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 || listen(fd, 128) != 0) {
        fail(error, "listen " + describe(self));
        close(fd);
        return false;
    }
    closeListener();
    listenFd_ = fd;
    hooks_.loop.watch(fd, POLLIN, [this](short) { acceptConnections(); });
    return true;
}

void SimDevice::closeListener() {
    if (listenFd_ < 0) return;
    hooks_.loop.unwatch(listenFd_);
    close(listenFd_);
    listenFd_ = -1;
}

void SimDevice::acceptConnections() {
    for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        auto router = [this](const HttpRequest& r) { return route(r); };
        std::weak_ptr<bool> alive = alive_;
        auto finished = [this, fd, alive] {
            if (alive.lock()) connections_.erase(fd);
        };
        connections_[fd] = std::make_unique<HttpConnection>(hooks_.loop, fd, router, finished);
    }
}

std::string SimDevice::location() const {
    const std::string& host =
        def_.ssdp.locationHost.empty() ? def_.address : def_.ssdp.locationHost;
    return "http://" + host + ":" + std::to_string(def_.port) + def_.descriptionPath;
}

std::string SimDevice::cacheControl() const {
    if (!def_.ssdp.cacheControl.empty()) return def_.ssdp.cacheControl;
    return "max-age=" + std::to_string(def_.maxAge);
}

DeviceDef* SimDevice::findNode(const std::string& key) {
    std::function<DeviceDef*(DeviceDef&)> visit = [&](DeviceDef& d) -> DeviceDef* {
        if (d.name == key || d.udn == key || d.udn == "uuid:" + key || d.friendlyName == key)
            return &d;
        for (DeviceDef& e : d.embedded)
            if (DeviceDef* found = visit(e)) return found;
        return nullptr;
    };
    return visit(def_.device);
}

void SimDevice::onSearch(const SsdpMessage& search, const sockaddr_in& from) {
    if (!announcing_ || !def_.ssdp.answerSearch) return;
    std::vector<SsdpTarget> targets =
        searchTargets(def_.device, *search.header("ST"), def_.ssdp.usnForm);
    if (targets.empty()) return;
    if (searchesIgnored_ < def_.ssdp.ignoreSearches ||
        (def_.ssdp.answerLimit >= 0 && searchesAnswered_ >= def_.ssdp.answerLimit)) {
        ++searchesIgnored_;
        hooks_.log.line("ssdp ignored " + name() + " " + *search.header("ST") + " from " +
                        describe(from));
        return;
    }
    ++searchesAnswered_;
    hooks_.log.line("ssdp response " + name() + " " + *search.header("ST") + " to " +
                    describe(from) + " count " + std::to_string(targets.size()));
    auto send = [this, targets, from] {
        for (const SsdpTarget& t : targets) {
            if (hooks_.dropAnswer && hooks_.dropAnswer()) {
                hooks_.log.line("ssdp dropped " + name() + " " + t.type + " to " + describe(from));
                continue;
            }
            hooks_.send(udpFd_, searchResponse(t, location(), cacheControl()), from);
        }
    };
    const int delayMs =
        def_.ssdp.searchDelayMs + (hooks_.answerDelayMs ? hooks_.answerDelayMs() : 0);
    if (delayMs <= 0) return send();
    auto id = std::make_shared<uint64_t>(0);
    *id = hooks_.loop.after(delayMs, [this, send, id] {
        searchTimers_.erase(*id);
        send();
    });
    searchTimers_.insert(*id);
}

void SimDevice::sendNotify(bool alive) {
    sockaddr_in group = endpoint("239.255.255.250", 1900);
    std::vector<SsdpTarget> targets = announcementTargets(def_.device, def_.ssdp.usnForm);
    for (int i = 0; i < def_.ssdp.notifyRepeat; ++i)
        for (const SsdpTarget& t : targets)
            hooks_.send(udpFd_, notifyMessage(t, location(), cacheControl(), alive), group);
    hooks_.log.line(std::string("ssdp ") + (alive ? "alive " : "byebye ") + name() + " " +
                    location());
}

void SimDevice::armPeriodicNotify() {
    if (notifyTimer_) hooks_.loop.cancel(notifyTimer_);
    notifyTimer_ = 0;
    int64_t period = def_.notifyPeriodMs < 0 ? int64_t(def_.maxAge) * 500 : def_.notifyPeriodMs;
    if (period <= 0 || !announcing_) return;
    notifyTimer_ = hooks_.loop.after(period, [this] {
        notifyTimer_ = 0;
        sendNotify(true);
        armPeriodicNotify();
    });
}

void SimDevice::byebye() {
    sendNotify(false);
    silence();
}

void SimDevice::alive() {
    announcing_ = true;
    sendNotify(true);
    armPeriodicNotify();
}

void SimDevice::silence() {
    announcing_ = false;
    armPeriodicNotify();
}

bool SimDevice::relocate(uint16_t port, const std::string& path, std::string* error) {
    if (port != def_.port && !openListener(port, error)) return false;
    def_.port = port;
    if (!path.empty()) def_.descriptionPath = path;
    if (announcing_) sendNotify(true);
    return true;
}

bool SimDevice::setHttp(bool on, std::string* error) {
    if (!on) {
        closeListener();
        return true;
    }
    return listenFd_ >= 0 || openListener(def_.port, error);
}

void SimDevice::mergeQuirks(const nlohmann::json& quirks) {
    if (quirks.contains("http")) {
        for (const auto& [key, quirk] : quirks["http"].items()) HttpShape().apply(quirk);
        def_.http.update(quirks["http"]);
    }
    if (quirks.contains("soap")) {
        SoapQuirk::fromJson(quirks["soap"]);
        def_.soap = quirks["soap"];
    }
    if (quirks.contains("ssdp")) {
        nlohmann::json s = quirks["ssdp"];
        if (s.contains("answerSearch")) def_.ssdp.answerSearch = s["answerSearch"].get<bool>();
        if (s.contains("usnForm")) {
            std::string form = s["usnForm"].get<std::string>();
            if (form != "standard" && form != "bare" && form != "none")
                throw std::runtime_error("ssdp.usnForm: expected standard, bare or none");
            def_.ssdp.usnForm = form;
        }
        if (s.contains("cacheControl"))
            def_.ssdp.cacheControl = s["cacheControl"].get<std::string>();
        if (s.contains("locationHost"))
            def_.ssdp.locationHost = s["locationHost"].get<std::string>();
        if (s.contains("searchDelayMs")) def_.ssdp.searchDelayMs = s["searchDelayMs"].get<int>();
        if (s.contains("ignoreSearches")) def_.ssdp.ignoreSearches = s["ignoreSearches"].get<int>();
        if (s.contains("answerLimit")) def_.ssdp.answerLimit = s["answerLimit"].get<int>();
    }
}

}  // namespace nassim
