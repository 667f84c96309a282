#include "updater/BackgroundHasher.h"

#include <algorithm>
#include <utility>

namespace norvale::updater {
namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;
constexpr std::size_t kMaxWaiting = 8;

}  // namespace

BackgroundHasher::BackgroundHasher() {
    block_.reserve(kBlockBytes);
    thread_ = std::thread([this] { Run(); });
}

BackgroundHasher::~BackgroundHasher() {
    if (thread_.joinable()) Stop(true);
}

void BackgroundHasher::Add(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const std::size_t taken = std::min(length, kBlockBytes - block_.size());
        block_.insert(block_.end(), bytes, bytes + taken);
        bytes += taken;
        length -= taken;
        if (block_.size() == kBlockBytes) HandOver();
    }
}

ArchiveHasher::Hash BackgroundHasher::Final() {
    if (!block_.empty()) HandOver();
    Stop(false);
    return hasher_.Final();
}

void BackgroundHasher::HandOver() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < kMaxWaiting; });
    waiting_.push_back(std::move(block_));
    changed_.notify_all();
    if (spare_.empty()) {
        block_ = {};
        block_.reserve(kBlockBytes);
    } else {
        block_ = std::move(spare_.back());
        spare_.pop_back();
    }
}

void BackgroundHasher::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
        if (waiting_.empty() || discard_) return;
        std::vector<unsigned char> block = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        hasher_.Update(block.data(), block.size());
        block.clear();
        lock.lock();
        spare_.push_back(std::move(block));
        changed_.notify_all();
    }
}

void BackgroundHasher::Stop(bool discard) {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        discard_ = discard;
    }
    changed_.notify_all();
    thread_.join();
}

}  // namespace norvale::updater
