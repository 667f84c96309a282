#pragma once

// Test peers for the HTTP and SSDP tests: a chain running on its own thread,
// scripted raw TCP servers, and a private nginx instance. Everything binds
// 127.0.0.x addresses (the tests run in a loopback-only namespace).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "upnp/stack/EventChain.h"
#include "upnp/stack/LifetimeMonitor.h"

namespace norvale::stack::testing {

inline sockaddr_in Endpoint(const char* address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address, &result.sin_addr);
    return result;
}

// Runs an EventChain on a thread of its own; work for the chain thread goes
// through Post (a 0 ms timer on the chain's own timer service).
class ChainThread {
  public:
    ChainThread() : chain_(EventChain_Create()) {}
    ~ChainThread() { Stop(); }
    EventChain* chain() const { return chain_; }
    void Start() {
        thread_ = std::thread([chain = chain_] { EventChain_Run(chain); });
    }
    // The stop is asked on the chain thread itself, so no other thread
    // touches the chain while its run ends and frees it.
    void Stop() {
        if (!thread_.joinable()) return;
        Post([chain = chain_] { EventChain_RequestStop(chain); });
        thread_.join();
    }
    // Runs `work` on the chain thread and waits for it.
    void Post(std::function<void()> work) {
        std::promise<void> finished;
        auto* job =
            new std::pair<std::function<void()>, std::promise<void>*>(std::move(work), &finished);
        LifetimeMonitor_Add(
            EventChain_Timers(chain_), job, 0,
            [](void* data) {
                auto* j = static_cast<std::pair<std::function<void()>, std::promise<void>*>*>(data);
                j->first();
                j->second->set_value();
                delete j;
            },
            [](void* data) {
                auto* j = static_cast<std::pair<std::function<void()>, std::promise<void>*>*>(data);
                j->second->set_value();
                delete j;
            });
        finished.get_future().wait();
    }

  private:
    EventChain* chain_;
    std::thread thread_;
};

// Waits (up to a generous limit) until `ready` holds under `mutex`.
template <typename Ready>
bool WaitUntil(std::mutex& mutex, std::condition_variable& changed, Ready ready, int seconds = 20) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(seconds), ready);
}

inline void WriteAll(int fd, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t sent = send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return;
        at += static_cast<std::size_t>(sent);
    }
}

// Reads one request head (up to CRLF CRLF); empty when the peer closed.
inline std::string ReadHead(int fd) {
    std::string head;
    char c;
    while (head.size() < 65536 && recv(fd, &c, 1, 0) == 1) {
        head += c;
        if (head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0) return head;
    }
    return {};
}

// A TCP server on `address` whose every accepted connection runs `script`
// (on the server's thread, one connection after another).
class ScriptedServer {
  public:
    using Script = std::function<void(int fd, int connectionIndex)>;
    ScriptedServer(const char* address, Script script) : script_(std::move(script)) {
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in bound = Endpoint(address, 0);
        bind(listenFd_, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
        listen(listenFd_, 16);
        socklen_t length = sizeof bound;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
        port_ = ntohs(bound.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        shutdown(listenFd_, SHUT_RDWR);
        close(listenFd_);
        thread_.join();
    }
    int port() const { return port_; }
    int connections() const { return connections_.load(); }

  private:
    void Serve() {
        for (;;) {
            const int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            script_(fd, connections_++);
            close(fd);
        }
    }
    Script script_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// A free TCP port on `address` (bound and released at once).
inline int FreePort(const char* address) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in bound = Endpoint(address, 0);
    bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    close(fd);
    return ntohs(bound.sin_port);
}

inline bool CanConnect(const char* address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in target = Endpoint(address, port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
    close(fd);
    return ok;
}

// A private nginx serving `files` (name -> content) from a temporary folder
// on address:port; stopped and removed with the object.
class Nginx {
  public:
    Nginx(const char* address, const std::vector<std::pair<std::string, std::string>>& files)
        : address_(address) {
        char pattern[] = "/tmp/norvale-nginx.XXXXXX";
        dir_ = mkdtemp(pattern);
        std::filesystem::create_directories(dir_ + "/www");
        for (const auto& [name, content] : files) std::ofstream(dir_ + "/www/" + name) << content;
        port_ = FreePort(address);
        std::ofstream(dir_ + "/nginx.conf")
            << "daemon off; master_process off; worker_processes 1;\n"
            << "pid " << dir_ << "/nginx.pid; error_log " << dir_ << "/error.log;\n"
            << "events { worker_connections 256; }\n"
            << "http { access_log off; default_type text/plain; keepalive_requests 100000;\n"
            << "  client_body_temp_path " << dir_ << "/body; proxy_temp_path " << dir_
            << "/proxy;\n"
            << "  fastcgi_temp_path " << dir_ << "/fcgi; uwsgi_temp_path " << dir_ << "/uwsgi;\n"
            << "  scgi_temp_path " << dir_ << "/scgi;\n"
            << "  server { listen " << address << ":" << port_ << "; root " << dir_
            << "/www; } }\n";
        pid_ = fork();
        if (pid_ == 0) {
            execl("/usr/sbin/nginx", "nginx", "-p", dir_.c_str(), "-c",
                  (dir_ + "/nginx.conf").c_str(), "-e", (dir_ + "/error.log").c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 500 && !CanConnect(address, port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Nginx() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove_all(dir_);
    }
    int port() const { return port_; }
    bool running() const { return CanConnect(address_.c_str(), port_); }

  private:
    std::string address_;
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace norvale::stack::testing
