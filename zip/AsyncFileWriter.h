#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "zip/AutoBuffer.h"

namespace norvale::zip {

// Writes extracted data and computes its CRC-32 on a second thread while the
// next chunk is being inflated. Owns a few buffers of one size; a caller
// takes a free one, fills it and submits it with the descriptor to write to.
// The caller keeps the descriptor open until Finish() or Drain() returned.
// Used by one extracting thread at a time; not copyable.
class CAsyncFileWriter {
  public:
    explicit CAsyncFileWriter(std::size_t bufferSize, std::size_t bufferCount = 4);
    ~CAsyncFileWriter();
    CAsyncFileWriter(const CAsyncFileWriter&) = delete;
    CAsyncFileWriter& operator=(const CAsyncFileWriter&) = delete;

    std::size_t BufferSize() const { return bufferSize_; }
    // A free buffer of BufferSize() bytes; waits while all are queued.
    std::uint8_t* AcquireBuffer();
    // Queues `length` bytes of `buffer` (from AcquireBuffer) for `fd`; a
    // length of 0 just gives the buffer back.
    void Submit(int fd, std::uint8_t* buffer, std::size_t length);
    // Waits until everything queued is written and returns the CRC-32 of the
    // bytes submitted since the last Finish/Drain. Throws CZipException
    // (kSystem) when a write failed; later chunks of that file were skipped.
    std::uint32_t Finish();
    // Like Finish, but forgets a write error.
    void Drain();

  private:
    struct Chunk {
        int fd;
        std::uint8_t* data;
        std::size_t length;
    };
    void Run();
    void WaitIdle(std::unique_lock<std::mutex>& lock);

    const std::size_t bufferSize_;
    std::vector<CAutoBuffer> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t*> free_;
    std::deque<Chunk> queue_;
    bool busy_ = false;  // the thread is writing a chunk
    bool stopping_ = false;
    std::uint32_t crc_ = 0;
    int error_ = 0;       // errno of the first failed write
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace norvale::zip
