#include "zip/AsyncFileWriter.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

// errno of the failure, 0 when everything was written.
int WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

CAsyncFileWriter::CAsyncFileWriter(std::size_t bufferSize, std::size_t bufferCount)
    : bufferSize_(bufferSize) {
    buffers_.resize(bufferCount);
    for (auto& buffer : buffers_) {
        buffer.Allocate(bufferSize);
        free_.push_back(buffer.Data());
    }
    thread_ = std::thread([this] { Run(); });
}

CAsyncFileWriter::~CAsyncFileWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::uint8_t* CAsyncFileWriter::AcquireBuffer() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    std::uint8_t* buffer = free_.back();
    free_.pop_back();
    return buffer;
}

void CAsyncFileWriter::Submit(int fd, std::uint8_t* buffer, std::size_t length) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({fd, buffer, length});
    }
    changed_.notify_all();
}

void CAsyncFileWriter::WaitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

std::uint32_t CAsyncFileWriter::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
    const std::uint32_t crc = crc_;
    const int error = error_;
    crc_ = 0;
    error_ = 0;
    if (error != 0)
        CZipException::Throw(CZipException::kSystem,
                             std::string("cannot write: ") + std::strerror(error));
    return crc;
}

void CAsyncFileWriter::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
    crc_ = 0;
    error_ = 0;
}

void CAsyncFileWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping with nothing left
        const Chunk chunk = queue_.front();
        queue_.pop_front();
        busy_ = true;
        std::uint32_t crc = crc_;
        int error = error_;
        lock.unlock();
        crc = static_cast<std::uint32_t>(crc32(crc, chunk.data, static_cast<uInt>(chunk.length)));
        if (error == 0) error = WriteAll(chunk.fd, chunk.data, chunk.length);
        lock.lock();
        crc_ = crc;
        error_ = error;
        free_.push_back(chunk.data);
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace norvale::zip
