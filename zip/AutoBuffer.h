#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace norvale::zip {

// An owned byte buffer. Allocate() replaces the contents (not preserved);
// an empty buffer has Data() == nullptr. Not copyable.
class CAutoBuffer {
  public:
    CAutoBuffer() = default;
    explicit CAutoBuffer(std::size_t size) { Allocate(size); }
    CAutoBuffer(const CAutoBuffer&) = delete;
    CAutoBuffer& operator=(const CAutoBuffer&) = delete;
    CAutoBuffer(CAutoBuffer&&) = default;
    CAutoBuffer& operator=(CAutoBuffer&&) = default;

    // Makes the buffer `size` bytes long (uninitialised); 0 releases it.
    void Allocate(std::size_t size);
    void Release();

    std::uint8_t* Data() { return data_.get(); }
    const std::uint8_t* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }
    bool IsAllocated() const { return data_ != nullptr; }

  private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
};

}  // namespace norvale::zip
