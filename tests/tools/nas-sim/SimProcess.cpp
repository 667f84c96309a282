#include "SimProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace nassim::test {

namespace {

std::string binary() {
    const char* dir = std::getenv("NORVALE_BIN_DIR");
    return std::string(dir ? dir : ".") + "/nas-sim";
}

size_t headEnd(const std::string& data) {
    size_t end = data.find("\r\n\r\n");
    return end == std::string::npos ? end : end + 4;
}

// Decodes a chunked body (extensions and trailers ignored); false while incomplete.
bool dechunk(const std::string& raw, std::string* body) {
    body->clear();
    size_t at = 0;
    for (;;) {
        size_t nl = raw.find("\r\n", at);
        if (nl == std::string::npos) return false;
        size_t size = std::strtoul(raw.substr(at, nl - at).c_str(), nullptr, 16);
        at = nl + 2;
        if (size == 0) return raw.find("\r\n\r\n", nl) != std::string::npos;
        if (raw.size() < at + size + 2) return false;
        body->append(raw, at, size);
        at += size + 2;
    }
}

}  // namespace

SimProcess::SimProcess(const std::string& scenarioJson) {
    char templ[] = "/tmp/nas-sim-test.XXXXXX";
    dir_ = mkdtemp(templ);
    std::ofstream(dir_ + "/scenario.json") << scenarioJson;
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        std::string exe = binary(), scenario = dir_ + "/scenario.json", log = dir_ + "/log";
        execl(exe.c_str(), exe.c_str(), "--scenario", scenario.c_str(), "--log", log.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
}

SimProcess::~SimProcess() {
    terminate();
    std::system(("rm -rf " + dir_).c_str());
}

std::string SimProcess::waitForLine(const std::string& prefix, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs;) {
        size_t nl;
        while ((nl = buffered_.find('\n')) != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            if (line.compare(0, prefix.size(), prefix) == 0) return line;
        }
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) {
            waited += 50;
            continue;
        }
        char chunk[4096];
        ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) return "";
        buffered_.append(chunk, static_cast<size_t>(n));
    }
    return "";
}

std::string SimProcess::command(const std::string& line) {
    std::string text = line + "\n";
    if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
    return waitForLine("");
}

std::vector<std::string> SimProcess::log() const {
    std::ifstream in(dir_ + "/log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int SimProcess::terminate() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(in_);
    close(out_);
    return status;
}

RawResponse httpExchange(const std::string& address, int port, const std::string& request) {
    RawResponse response;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        close(fd);
        return response;
    }
    std::string data;
    for (;;) {
        size_t end = headEnd(data);
        if (end != std::string::npos) {
            response.head = data.substr(0, end);
            response.rawBody = data.substr(end);
            size_t cl = response.head.find("Content-Length: ");
            if (cl != std::string::npos &&
                response.rawBody.size() >= std::stoul(response.head.substr(cl + 16)))
                break;
            if (response.head.find("chunked") != std::string::npos &&
                dechunk(response.rawBody, &response.body))
                break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 3000) <= 0) break;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            response.closedByPeer = true;
            break;
        }
        data.append(chunk, static_cast<size_t>(n));
    }
    size_t end = headEnd(data);
    if (end != std::string::npos) {
        response.head = data.substr(0, end);
        response.rawBody = data.substr(end);
        if (response.head.find("chunked") == std::string::npos) response.body = response.rawBody;
    }
    close(fd);
    return response;
}

}  // namespace nassim::test
