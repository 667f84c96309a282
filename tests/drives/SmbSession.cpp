// The real-stack share tests run as root under a private D-Bus session (for
// GVfs) with a scratch home and runtime folder. This main starts itself once
// more inside dbus-run-session, waits, then ends what the session left
// running and removes the scratch folders.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "PrivateSmbd.h"

namespace {

constexpr const char* kInSession = "NORVALE_SMB_TEST_IN_SESSION";

// Processes whose environment carries our scratch runtime folder: the GVfs
// daemons and the bus the session started.
std::vector<pid_t> SessionProcesses(const std::string& marker) {
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == getpid()) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::stringstream text;
        text << environ.rdbuf();
        if (text.str().find(marker) != std::string::npos) pids.push_back(pid);
    }
    return pids;
}

void DetachMountsUnder(const std::string& root) {
    std::ifstream mounts("/proc/self/mounts");
    std::string device, point, rest;
    std::vector<std::string> points;
    while (mounts >> device >> point && std::getline(mounts, rest)) {
        if (point.rfind(root, 0) == 0) points.push_back(point);
    }
    for (const std::string& p : points) umount2(p.c_str(), MNT_DETACH);
}

int RunInSession(int argc, char** argv) {
    char scratch[] = "/tmp/norvale-smb-test-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    const std::string home = std::string(scratch) + "/home";
    const std::string run = std::string(scratch) + "/run";
    mkdir(home.c_str(), 0700);
    mkdir(run.c_str(), 0700);
    const pid_t child = fork();
    if (child == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        setenv(kInSession, "1", 1);
        std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string marker = "XDG_RUNTIME_DIR=" + run;
    for (int round = 0; round < 60; ++round) {
        const std::vector<pid_t> left = SessionProcesses(marker);
        if (left.empty()) break;
        for (pid_t pid : left) kill(pid, round < 40 ? SIGTERM : SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    DetachMountsUnder(scratch);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        std::fprintf(stderr, "dbus-run-session could not be started\n");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (PrivateSmbd::CanRun() && !std::getenv(kInSession)) return RunInSession(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
