#include "zip/AutoBuffer.h"

namespace norvale::zip {

void CAutoBuffer::Allocate(std::size_t size) {
    if (size == size_ && data_) return;
    Release();
    if (size == 0) return;
    data_.reset(new std::uint8_t[size]);
    size_ = size;
}

void CAutoBuffer::Release() {
    data_.reset();
    size_ = 0;
}

}  // namespace norvale::zip
