#include "zip/AsyncFileWriter.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

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

std::exception_ptr WriteFailure(int error) {
    try {
        CZipException::Throw(CZipException::kSystem,
                             std::string("cannot write: ") + std::strerror(error));
    } catch (...) {
        return std::current_exception();
    }
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

void CAsyncFileWriter::Queue(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void CAsyncFileWriter::BeginFile(Create create) {
    ++begun_;
    Queue({Kind::kBegin, std::move(create), {}, nullptr, 0});
}

std::uint8_t* CAsyncFileWriter::AcquireBuffer() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    std::uint8_t* buffer = free_.back();
    free_.pop_back();
    return buffer;
}

void CAsyncFileWriter::Submit(std::uint8_t* buffer, std::size_t length) {
    Queue({Kind::kData, {}, {}, buffer, length});
}

void CAsyncFileWriter::EndFile(Complete complete) {
    Queue({Kind::kEnd, {}, std::move(complete), nullptr, 0});
}

void CAsyncFileWriter::WaitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

std::uint32_t CAsyncFileWriter::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
    if (failure_) std::rethrow_exception(failure_);
    return crc_;
}

void CAsyncFileWriter::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
}

void CAsyncFileWriter::Fail(std::exception_ptr failure) {
    failure_ = std::move(failure);
    failedFile_.store(writing_, std::memory_order_release);
}

// Writer thread only.
void CAsyncFileWriter::Perform(Job& job) {
    switch (job.kind) {
        case Kind::kBegin:
            file_.Reset();
            ++writing_;
            crc_ = 0;
            failure_ = nullptr;
            try {
                file_ = job.create();
            } catch (...) {
                Fail(std::current_exception());
            }
            break;
        case Kind::kData:
            if (failure_ || job.length == 0) break;
            crc_ = static_cast<std::uint32_t>(crc32(crc_, job.data, static_cast<uInt>(job.length)));
            if (int error = WriteAll(file_.Get(), job.data, job.length)) Fail(WriteFailure(error));
            break;
        case Kind::kEnd:
            if (file_.IsValid() && job.complete) job.complete(file_.Get());
            file_.Reset();
            break;
    }
}

void CAsyncFileWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping with nothing left
        Job job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        Perform(job);
        lock.lock();
        if (job.kind == Kind::kData) free_.push_back(job.data);
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace norvale::zip
