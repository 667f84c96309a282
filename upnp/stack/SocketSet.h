#pragma once

#include <cstddef>

namespace norvale::stack {

// A set of socket descriptors that keeps the classic select() rules: it holds
// at most 64 distinct descriptors, adding a present one changes nothing, and
// adding to a full set is refused. The chain replaces each set by its ready
// subset after the wait.
class SocketSet {
  public:
    static constexpr int kCapacity = 64;

    // Adds `fd`; false when the set is full (an fd already present is true).
    bool Add(int fd) {
        if (Contains(fd)) return true;
        if (count_ >= kCapacity) return false;
        fds_[count_++] = fd;
        return true;
    }
    bool Contains(int fd) const {
        for (int i = 0; i < count_; ++i) {
            if (fds_[i] == fd) return true;
        }
        return false;
    }
    void Remove(int fd) {
        for (int i = 0; i < count_; ++i) {
            if (fds_[i] == fd) {
                fds_[i] = fds_[--count_];
                return;
            }
        }
    }
    void Clear() { count_ = 0; }
    int Count() const { return count_; }
    bool IsFull() const { return count_ >= kCapacity; }
    int At(int index) const { return fds_[index]; }

  private:
    int count_ = 0;
    int fds_[kCapacity] = {};
};

}  // namespace norvale::stack
