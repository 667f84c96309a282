#include "TestServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace norvale::updater::test {
namespace {

const char* const kProxyVariables[] = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                       "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

bool MakeCertificates(const std::string& dir) {
    const std::string q = Quote(dir);
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string commands[] = {
        "openssl req -x509" + ec + " -keyout " + q + "/ca.key -out " + q +
            "/ca.pem -days 2 -subj '/CN=Norvale Test CA'",
        "openssl req -x509" + ec + " -keyout " + q + "/other.key -out " + q +
            "/other.pem -days 2 -subj '/CN=Someone Else CA'",
        "openssl req" + ec + " -keyout " + q + "/server.key -out " + q +
            "/server.csr -subj /CN=127.0.0.1",
        "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > " + q + "/san.cnf",
        "openssl x509 -req -in " + q + "/server.csr -CA " + q + "/ca.pem -CAkey " + q +
            "/ca.key -CAcreateserial -out " + q + "/server.pem -days 2 -extfile " + q + "/san.cnf",
    };
    for (const std::string& command : commands)
        if (Shell(command + " >/dev/null 2>&1") != 0) return false;
    return true;
}

std::string NginxConfig(const std::string& dir) {
    std::ostringstream c;
    c << "worker_processes 1;\npid " << dir << "/nginx.pid;\nerror_log " << dir
      << "/nginx-error.log;\n";
    if (::geteuid() == 0) c << "user root;\n";
    c << "events { worker_connections 64; }\nhttp {\n  access_log " << dir << "/access.log;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        c << "  " << temp << "_temp_path " << dir << "/" << temp << ";\n";
    c << "  default_type application/octet-stream;\n  server {\n"
      << "    listen 127.0.0.1:" << TestSite::kHttpsPort << " ssl;\n"
      << "    listen 127.0.0.1:" << TestSite::kHttpPort << ";\n"
      << "    ssl_certificate " << dir << "/server.pem;\n"
      << "    ssl_certificate_key " << dir << "/server.key;\n"
      << "    root " << dir << "/www;\n"
      << "    error_page 404 /pages/notfound.html;\n"
      << "    location = /firmware/list.asp { default_type text/html;"
         " try_files /pages/$arg_fw.html =404; }\n"
      << "    location = /headers { default_type text/plain; return 200"
         " \"$http_user_agent|$http_accept|$http_cache_control|$http_pragma\"; }\n"
      << "    location = /to-http { return 302 http://127.0.0.1:" << TestSite::kHttpPort
      << "/files/small.bin; }\n  }\n}\n";
    return c.str();
}

std::string TinyproxyConfig(const std::string& dir) {
    std::ostringstream c;
    c << "Port " << TestSite::kProxyPort << "\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\n"
      << "PidFile \"" << dir << "/tinyproxy.pid\"\nLogFile \"" << dir << "/tinyproxy.log\"\n"
      << "LogLevel Info\nBasicAuth alice secret\n";
    return c.str();
}

class SiteEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        site_.folder = scratch_.Path();
        site_.docRoot = scratch_ / "www";
        site_.caFile = scratch_ / "ca.pem";
        site_.otherCaFile = scratch_ / "other.pem";
        MakeFolder(site_.docRoot + "/pages");
        MakeFolder(site_.docRoot + "/files");
        ASSERT_TRUE(MakeCertificates(scratch_.Path())) << "openssl could not make the test CA";
        WriteFile(scratch_ / "nginx.conf", NginxConfig(scratch_.Path()));
        WriteFile(scratch_ / "tinyproxy.conf", TinyproxyConfig(scratch_.Path()));
        ASSERT_TRUE(nginx_.Start({"nginx", "-p", scratch_.Path(), "-c", scratch_ / "nginx.conf",
                                  "-e", scratch_ / "nginx-error.log", "-g", "daemon off;"},
                                 scratch_ / "nginx.out"));
        ASSERT_TRUE(proxy_.Start({"tinyproxy", "-d", "-c", scratch_ / "tinyproxy.conf"},
                                 scratch_ / "tinyproxy.out"));
        ASSERT_TRUE(WaitForPort(TestSite::kHttpsPort) && WaitForPort(TestSite::kHttpPort))
            << ReadFile(scratch_ / "nginx-error.log");
        ASSERT_TRUE(WaitForPort(TestSite::kProxyPort)) << ReadFile(scratch_ / "tinyproxy.log");
        for (const char* name : kProxyVariables) ::unsetenv(name);
        ::setenv("CURL_CA_BUNDLE", site_.caFile.c_str(), 1);
        ::setenv("NORVALE_UPDATE_SERVER",
                 ("https://127.0.0.1:" + std::to_string(TestSite::kHttpsPort)).c_str(), 1);
    }
    void TearDown() override {
        proxy_.Stop();
        nginx_.Stop();
    }
    static const TestSite& Get() { return site_; }

  private:
    static TestSite site_;
    ScratchFolder scratch_;
    ChildProcess nginx_;
    ChildProcess proxy_;
};

TestSite SiteEnvironment::site_;

[[maybe_unused]] ::testing::Environment* const kSiteEnvironment =
    ::testing::AddGlobalTestEnvironment(new SiteEnvironment);

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logFile) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (log >= 0) ::close(log);
    return pid_ > 0;
}

void ChildProcess::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool WaitForPort(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (up) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

const TestSite& Site() {
    return SiteEnvironment::Get();
}

std::string TestSite::HttpsUrl(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(kHttpsPort) + path;
}

std::string TestSite::HttpUrl(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(kHttpPort) + path;
}

void TestSite::Serve(const std::string& path, const std::string& bytes) const {
    WriteFile(docRoot + "/" + path, bytes, 0644);
}

// One accepted connection, over TLS or plain.
class ScriptedHttpServer::Connection {
  public:
    Connection(int fd, bool tls) : fd_(fd) {
        if (!tls) return;
        const std::string folder = Site().folder;
        context_ = SSL_CTX_new(TLS_server_method());
        ok_ = context_ &&
              SSL_CTX_use_certificate_chain_file(context_, (folder + "/server.pem").c_str()) == 1 &&
              SSL_CTX_use_PrivateKey_file(context_, (folder + "/server.key").c_str(),
                                          SSL_FILETYPE_PEM) == 1 &&
              (ssl_ = SSL_new(context_)) != nullptr && SSL_set_fd(ssl_, fd_) == 1 &&
              SSL_accept(ssl_) == 1;
    }
    ~Connection() {
        if (ssl_) SSL_free(ssl_);
        if (context_) SSL_CTX_free(context_);
        ::close(fd_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Ok() const { return ok_; }
    ssize_t Receive(char* buffer, std::size_t size) {
        if (!ssl_) return ::recv(fd_, buffer, size, 0);
        return SSL_read(ssl_, buffer, static_cast<int>(size));
    }
    bool Send(const std::string& bytes) {
        if (!ssl_) return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0;
        return bytes.empty() || SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) > 0;
    }

  private:
    int fd_;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    bool ok_ = true;
};

ScriptedHttpServer::ScriptedHttpServer(std::vector<Piece> answer, Scheme scheme) : scheme_(scheme) {
    ::signal(SIGPIPE, SIG_IGN);  // a client that went away fails the write, nothing more
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("scripted server cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, answer = std::move(answer)] { Run(answer); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    stopping_ = true;
    Release();
    thread_.join();
    ::close(listenFd_);
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
    return std::string(scheme_ == Scheme::Https ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedHttpServer::Serve(const std::string& path, const std::string& body) {
    std::lock_guard lock(mutex_);
    served_[path] = body;
}

void ScriptedHttpServer::Release() {
    std::lock_guard lock(mutex_);
    isReleased_ = true;
    released_.notify_all();
}

void ScriptedHttpServer::Run(const std::vector<Piece>& answer) {
    while (!stopping_) {
        pollfd wait{listenFd_, POLLIN, 0};
        if (::poll(&wait, 1, 50) != 1) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Connection connection(fd, scheme_ == Scheme::Https);
        if (connection.Ok()) Answer(connection, answer);
    }
}

void ScriptedHttpServer::Answer(Connection& connection, const std::vector<Piece>& answer) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = connection.Receive(buffer, sizeof buffer);
        if (got <= 0) return;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    // "GET <path> HTTP/1.1"
    const std::size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    {
        std::unique_lock lock(mutex_);
        if (const auto found = served_.find(path); found != served_.end()) {
            const std::string body = found->second;
            lock.unlock();
            connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\nConnection: close\r\n\r\n" + body);
            return;
        }
    }
    for (const Piece& piece : answer) {
        if (stopping_ || !connection.Send(piece.bytes)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(piece.pauseMs));
        if (piece.hold) {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return isReleased_; });
        }
    }
}

std::vector<ScriptedHttpServer::Piece> ScriptedHttpServer::ChunkedAnswer(
    const std::string& body, const std::vector<std::size_t>& chunkSizes,
    const std::vector<std::size_t>& cuts) {
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    std::size_t at = 0;
    for (std::size_t i = 0; at < body.size(); ++i) {
        const std::size_t size = std::min(chunkSizes[i % chunkSizes.size()], body.size() - at);
        char hex[32];
        std::snprintf(hex, sizeof hex, "%zx\r\n", size);
        wire += hex + body.substr(at, size) + "\r\n";
        at += size;
    }
    wire += "0\r\n\r\n";
    std::vector<Piece> pieces;
    for (std::size_t i = 0, from = 0; from < wire.size(); ++i) {
        const std::size_t size = std::min(cuts[i % cuts.size()], wire.size() - from);
        pieces.push_back({wire.substr(from, size)});
        from += size;
    }
    return pieces;
}

}  // namespace norvale::updater::test
