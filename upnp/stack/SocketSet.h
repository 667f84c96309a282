#pragma once

#include <bitset>
#include <cstddef>

namespace norvale::stack {

// A set of socket descriptors with the classic select() rules: it holds at
// most kCapacity distinct descriptors, adding a present one changes
// nothing, and adding to a full set is refused. The chain replaces each set
// by its ready subset after the wait. The capacity leaves room for two
// control points with their HTTP pools, event listeners and a search socket
// per local address, on a host with many addresses. Descriptors below
// kIndexed are found in constant time.
class SocketSet {
  public:
    static constexpr int kCapacity = 256;

    // Adds `fd`; false when the set is full (an fd already present is true).
    bool Add(int fd) {
        if (Contains(fd)) return true;
        if (count_ >= kCapacity) return false;
        fds_[count_++] = fd;
        if (Indexed(fd)) present_.set(static_cast<std::size_t>(fd));
        return true;
    }
    bool Contains(int fd) const {
        if (Indexed(fd)) return present_.test(static_cast<std::size_t>(fd));
        for (int i = 0; i < count_; ++i) {
            if (fds_[i] == fd) return true;
        }
        return false;
    }
    void Remove(int fd) {
        for (int i = 0; i < count_; ++i) {
            if (fds_[i] == fd) {
                fds_[i] = fds_[--count_];
                if (Indexed(fd)) present_.reset(static_cast<std::size_t>(fd));
                return;
            }
        }
    }
    void Clear() {
        for (int i = 0; i < count_; ++i) {
            if (Indexed(fds_[i])) present_.reset(static_cast<std::size_t>(fds_[i]));
        }
        count_ = 0;
    }
    int Count() const { return count_; }
    bool IsFull() const { return count_ >= kCapacity; }
    int At(int index) const { return fds_[index]; }

  private:
    static constexpr int kIndexed = 4096;
    static bool Indexed(int fd) { return fd >= 0 && fd < kIndexed; }

    int count_ = 0;
    int fds_[kCapacity] = {};
    std::bitset<kIndexed> present_;
};

}  // namespace norvale::stack
