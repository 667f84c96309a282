#include "tests/tools/nas-sim/NasSimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace norvale::testing {

std::string NasSimProcess::Program() {
    const char* bin = std::getenv("NORVALE_BIN_DIR");
    const std::string path = std::string(bin == nullptr ? "bin" : bin) + "/nas-sim";
    return access(path.c_str(), X_OK) == 0 ? path : "";
}

NasSimProcess::NasSimProcess(const std::vector<std::string>& arguments,
                             const std::string& scenario) {
    const std::string program = Program();
    if (program.empty()) return;
    char folder[] = "/tmp/nas-sim-test.XXXXXX";
    if (mkdtemp(folder) == nullptr) return;
    dir_ = folder;
    std::vector<std::string> args{program};
    if (!scenario.empty()) {
        std::ofstream(dir_ + "/scenario.json") << scenario;
        args.insert(args.end(), {"--scenario", dir_ + "/scenario.json"});
    }
    args.insert(args.end(), arguments.begin(), arguments.end());
    args.insert(args.end(), {"--log", dir_ + "/log"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {  // only async-signal-safe calls from here on
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    if (pid_ < 0) return;
    for (std::string line = ReadLine(10000); !line.empty(); line = ReadLine(10000)) {
        if (line.rfind("device ", 0) == 0) devices_.push_back(line);
        if (line.rfind("ready", 0) == 0) {
            ready_ = line;
            started_ = true;
            break;
        }
    }
}

NasSimProcess::~NasSimProcess() {
    Terminate();
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::string NasSimProcess::Location(const std::string& name) const {
    for (const std::string& line : devices_) {
        std::istringstream words(line);
        std::string verb, device, address, location;
        words >> verb >> device >> address >> location;
        if (device == name) return location;
    }
    return "";
}

std::string NasSimProcess::Command(const std::string& line) {
    const std::string text = line + "\n";
    if (in_ < 0 || write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return "";
    return ReadLine(10000);
}

std::string NasSimProcess::WaitForLine(const std::string& prefix, int timeoutMs) {
    for (std::string line = ReadLine(timeoutMs); !line.empty(); line = ReadLine(timeoutMs)) {
        if (line.rfind(prefix, 0) == 0) return line;
    }
    return "";
}

std::vector<std::string> NasSimProcess::Log() const {
    std::ifstream in(dir_ + "/log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int NasSimProcess::Terminate() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

std::string NasSimProcess::ReadLine(int timeoutMs) {
    while (true) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        pollfd p{out_, POLLIN, 0};
        if (out_ < 0 || poll(&p, 1, timeoutMs) <= 0) return "";
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return "";
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace norvale::testing
