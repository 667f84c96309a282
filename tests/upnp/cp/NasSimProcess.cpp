#include "NasSimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

extern char** environ;

namespace norvale::cp::testing {

std::string NasSimProcess::Program() {
    const char* bin = std::getenv("NORVALE_BIN_DIR");
    const std::string path = std::string(bin == nullptr ? "bin" : bin) + "/nas-sim";
    return access(path.c_str(), X_OK) == 0 ? path : "";
}

NasSimProcess::NasSimProcess(const std::vector<std::string>& arguments,
                             const std::string& scenario) {
    const std::string program = Program();
    if (program.empty()) return;
    std::vector<std::string> args{program};
    if (!scenario.empty()) {
        char path[] = "/tmp/cp-nassim-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0) return;
        [[maybe_unused]] ssize_t n = write(fd, scenario.data(), scenario.size());
        close(fd);
        scenarioPath_ = path;
        args.insert(args.end(), {"--scenario", scenarioPath_});
    }
    args.insert(args.end(), arguments.begin(), arguments.end());
    args.insert(args.end(), {"--log", "/dev/null"});
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    if (rc != 0) {
        pid_ = -1;
        return;
    }
    for (std::string line = ReadLine(10000); !line.empty(); line = ReadLine(10000)) {
        if (line.rfind("device ", 0) == 0) devices_.push_back(line);
        if (line.rfind("ready", 0) == 0) {
            started_ = true;
            break;
        }
    }
}

NasSimProcess::~NasSimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (!scenarioPath_.empty()) unlink(scenarioPath_.c_str());
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
    if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
    return ReadLine(10000);
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
        if (poll(&p, 1, timeoutMs) <= 0) return "";
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return "";
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace norvale::cp::testing
