#include "zip/AsyncFileWriter.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/FileWriting.h"
#include "zip/ZipException.h"

namespace norvale::zip {
namespace {

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

std::uint64_t CAsyncFileWriter::BeginFile(Create create) {
    Queue({Kind::kBegin, std::move(create), {}, nullptr, 0});
    return ++begun_;
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

void CAsyncFileWriter::WaitFile(std::uint64_t file) {
    if (file == 0 || file > begun_) throw std::invalid_argument("no such file");
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, file] { return ended_ >= file; });
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->first != file) continue;
        std::exception_ptr failure = it->second;
        failures_.erase(it);
        std::rethrow_exception(failure);
    }
}

void CAsyncFileWriter::Fail(std::exception_ptr failure) {
    failure_ = std::move(failure);
    failedFile_.store(writing_, std::memory_order_release);
}

// Writer thread only. The result is the outcome of a file's end.
std::exception_ptr CAsyncFileWriter::Perform(Job& job) {
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
            if (!common::WriteAll(file_.Get(), job.data, job.length)) Fail(WriteFailure(errno));
            break;
        case Kind::kEnd: {
            std::exception_ptr outcome = failure_;
            if (!outcome && job.complete) {
                try {
                    job.complete(file_.Get(), crc_);
                } catch (...) {
                    outcome = std::current_exception();
                }
            }
            file_.Reset();
            return outcome;
        }
    }
    return nullptr;
}

void CAsyncFileWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping with nothing left
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::exception_ptr outcome = Perform(job);
        lock.lock();
        if (job.kind == Kind::kData) free_.push_back(job.data);
        if (job.kind == Kind::kEnd) {
            if (outcome && job.complete) failures_.emplace_back(writing_, std::move(outcome));
            ended_ = writing_;
        }
        changed_.notify_all();
    }
}

}  // namespace norvale::zip
