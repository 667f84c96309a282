#pragma once

#include <cstddef>

namespace norvale::stack {

// The receive buffer of a socket: unconsumed bytes sit in [Begin, End). Room
// is made by moving them to the start first and only then by growing in
// 4096-byte steps, up to an optional ceiling. Belongs to the chain thread.
class ReceiveBuffer {
  public:
    static constexpr int kGrowStep = 4096;
    static constexpr int kMinimumRoom = 1024;

    // `initialSize` <= 0 means one grow step.
    explicit ReceiveBuffer(int initialSize);
    ReceiveBuffer(const ReceiveBuffer&) = delete;
    ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;
    ~ReceiveBuffer();

    // Empty, at the initial size again.
    void Reset();
    // Frees the memory; Reset allocates it again.
    void Release();

    // Makes at least kMinimumRoom bytes of room after End (less at the
    // ceiling; `maxSize` 0 = none). `compacted` and `grown` receive how far
    // the unconsumed bytes moved by each step (0 when they did not). False
    // when the buffer is full at its ceiling.
    bool MakeRoom(int maxSize, std::ptrdiff_t* compacted, std::ptrdiff_t* grown);

    char* Data() const { return data_; }
    int Begin() const { return begin_; }
    int End() const { return end_; }
    int Size() const { return size_; }
    char* Unconsumed() const { return data_ + begin_; }
    int Length() const { return end_ - begin_; }
    char* Tail() const { return data_ + end_; }
    int Room() const { return size_ - end_; }

    // `bytes` were written at Tail.
    void Append(int bytes) { end_ += bytes; }
    // `bytes` of the unconsumed data were used; an emptied buffer starts over.
    void Consume(int bytes);
    void Clear() { begin_ = end_ = 0; }

  private:
    char* data_ = nullptr;
    int size_ = 0;
    int initialSize_;
    int begin_ = 0;
    int end_ = 0;
};

}  // namespace norvale::stack
