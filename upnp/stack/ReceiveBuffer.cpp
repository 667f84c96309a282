#include "upnp/stack/ReceiveBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace norvale::stack {

ReceiveBuffer::ReceiveBuffer(int initialSize)
    : initialSize_(initialSize > 0 ? initialSize : kGrowStep) {
    Reset();
}

ReceiveBuffer::~ReceiveBuffer() {
    Release();
}

void ReceiveBuffer::Reset() {
    begin_ = end_ = 0;
    if (data_ != nullptr && size_ == initialSize_) return;
    char* fresh = static_cast<char*>(std::realloc(data_, static_cast<std::size_t>(initialSize_)));
    if (fresh == nullptr) std::abort();  // out of memory
    data_ = fresh;
    size_ = initialSize_;
}

void ReceiveBuffer::Release() {
    std::free(data_);
    data_ = nullptr;
    size_ = begin_ = end_ = 0;
}

void ReceiveBuffer::Consume(int bytes) {
    begin_ += bytes;
    if (begin_ >= end_) begin_ = end_ = 0;
}

bool ReceiveBuffer::MakeRoom(int maxSize, std::ptrdiff_t* compacted, std::ptrdiff_t* grown) {
    *compacted = *grown = 0;
    if (begin_ == end_) begin_ = end_ = 0;
    if (begin_ > 0) {
        std::memmove(data_, data_ + begin_, static_cast<std::size_t>(end_ - begin_));
        *compacted = -begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (size_ - end_ >= kMinimumRoom) return true;
    int larger = size_ + kGrowStep;
    if (maxSize > 0 && larger > maxSize) larger = maxSize;
    if (larger <= size_) return end_ < size_;
    char* moved = static_cast<char*>(std::realloc(data_, static_cast<std::size_t>(larger)));
    if (moved == nullptr) return end_ < size_;
    *grown = static_cast<std::ptrdiff_t>(reinterpret_cast<std::uintptr_t>(moved) -
                                         reinterpret_cast<std::uintptr_t>(data_));
    data_ = moved;
    size_ = larger;
    return true;
}

}  // namespace norvale::stack
