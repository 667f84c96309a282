#pragma once

#include <atomic>
#include <cstdint>

namespace norvale::updater {

// How far the worker has come, for a progress display: written by the
// worker, read from any thread (each counter on its own; read the phase
// first). Reset by the worker when it starts.
struct UpdateProgress {
    enum class Phase : int { Idle, Checking, Downloading, Verifying, Unpacking, Installing, Done };

    std::atomic<Phase> phase{Phase::Idle};
    std::atomic<std::uint64_t> bytesReceived{0};  // of the archive
    std::atomic<std::uint64_t> bytesExpected{0};  // 0 while the server has not said
    std::atomic<std::uint32_t> filesInstalled{0};
    std::atomic<std::uint32_t> filesToInstall{0};

    void Reset() {
        phase = Phase::Idle;
        bytesReceived = 0;
        bytesExpected = 0;
        filesInstalled = 0;
        filesToInstall = 0;
    }
};

// The process's one progress record.
UpdateProgress& Progress();

}  // namespace norvale::updater
