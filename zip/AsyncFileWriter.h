#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "zip/AutoBuffer.h"
#include "zip/UniqueFd.h"

namespace norvale::zip {

// Creates, writes and closes extracted files on a second thread, computing
// the CRC-32 of what it writes, while the caller inflates the next chunk.
// Owns a few buffers of one size; the caller takes a free one, fills it and
// submits it to the file begun last. Used by one extracting thread at a
// time; not copyable.
class CAsyncFileWriter {
  public:
    // Makes the file on the writer thread; what it throws ends the file.
    using Create = std::function<CUniqueFd()>;
    // Runs on the writer thread with the file's descriptor and the CRC-32 of
    // its bytes once they are all written; what it throws is the file's failure.
    using Complete = std::function<void(int fd, std::uint32_t crc)>;

    explicit CAsyncFileWriter(std::size_t bufferSize, std::size_t bufferCount = 4);
    ~CAsyncFileWriter();
    CAsyncFileWriter(const CAsyncFileWriter&) = delete;
    CAsyncFileWriter& operator=(const CAsyncFileWriter&) = delete;

    std::size_t BufferSize() const { return bufferSize_; }
    // Queues a new file and returns its number (1, 2, ...): `create` runs on
    // the writer thread, the chunks submitted afterwards go to its descriptor.
    std::uint64_t BeginFile(Create create);
    // A free buffer of BufferSize() bytes; waits while all are queued.
    std::uint8_t* AcquireBuffer();
    // Queues `length` bytes of `buffer` (from AcquireBuffer) for the current
    // file; a length of 0 just gives the buffer back.
    void Submit(std::uint8_t* buffer, std::size_t length);
    // True once the current file could not be created or written: later
    // chunks are dropped.
    bool Failed() const { return failedFile_.load(std::memory_order_acquire) == begun_; }
    // Queues the end of the current file: unless it failed, `complete` runs,
    // then the file is closed. An empty `complete` abandons the file: its
    // outcome is not kept. Does not wait.
    void EndFile(Complete complete);
    // Waits until file `file` (a BeginFile result whose end is queued) is
    // closed and forgets it;
    // rethrows what its creation or `complete` threw, or throws
    // CZipException (kSystem) when a write failed.
    void WaitFile(std::uint64_t file);

  private:
    enum class Kind { kBegin, kData, kEnd };
    struct Job {
        Kind kind;
        Create create;
        Complete complete;
        std::uint8_t* data = nullptr;
        std::size_t length = 0;
    };
    void Queue(Job job);
    void Run();
    std::exception_ptr Perform(Job& job);
    void Fail(std::exception_ptr failure);

    const std::size_t bufferSize_;
    std::vector<CAutoBuffer> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t*> free_;
    std::deque<Job> queue_;
    bool stopping_ = false;
    // The current file and its state: writer thread only.
    CUniqueFd file_;
    std::uint32_t crc_ = 0;
    std::exception_ptr failure_;
    std::uint64_t writing_ = 0;                 // number of the current file, writer thread
    std::atomic<std::uint64_t> failedFile_{0};  // number of the last failed file
    std::uint64_t begun_ = 0;                   // files begun, caller's thread
    std::uint64_t ended_ = 0;                   // files closed so far
    // Failed files nobody waited for yet.
    std::vector<std::pair<std::uint64_t, std::exception_ptr>> failures_;
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace norvale::zip
