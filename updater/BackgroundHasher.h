#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "updater/ArchiveHasher.h"

namespace norvale::updater {

// Hashes (ArchiveHasher) the bytes handed to it, in order, on a thread of
// its own, so that the thread that downloads an archive goes on receiving
// while the bytes before are hashed, and the hash is ready about when the
// last byte is in. Add copies the bytes into blocks of a quarter megabyte;
// when eight blocks wait, Add waits. Final hands over the rest, waits for
// the thread and gives the hash. Used from one thread (besides its own);
// dropped without Final, it stops its thread and discards what waits.
class BackgroundHasher {
  public:
    BackgroundHasher();
    ~BackgroundHasher();
    BackgroundHasher(const BackgroundHasher&) = delete;
    BackgroundHasher& operator=(const BackgroundHasher&) = delete;

    void Add(const void* data, std::size_t length);
    // Once only.
    ArchiveHasher::Hash Final();

  private:
    void HandOver();
    void Run();
    void Stop(bool discard);

    ArchiveHasher hasher_;              // the thread's until it ends
    std::vector<unsigned char> block_;  // the caller's, being filled
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<unsigned char>> waiting_;  // guarded by mutex_
    std::vector<std::vector<unsigned char>> spare_;   // guarded by mutex_: hashed blocks, reused
    bool closing_ = false;                            // guarded by mutex_
    bool discard_ = false;                            // guarded by mutex_
    std::thread thread_;                              // last: starts once the rest is made
};

}  // namespace norvale::updater
