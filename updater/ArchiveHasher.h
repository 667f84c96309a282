#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace norvale::updater {

// The BLAKE2b-512 hash of an archive taken piece by piece, in order, while
// its bytes go by: what a prehashed ("ED") minisign signature signs. Feeding
// the download's pieces as they are written spares a second pass over the
// file. Final ends it; the object is then spent.
class ArchiveHasher {
  public:
    static constexpr std::size_t kHashBytes = 64;
    using Hash = std::array<std::uint8_t, kHashBytes>;

    ArchiveHasher();
    ArchiveHasher(const ArchiveHasher&) = delete;
    ArchiveHasher& operator=(const ArchiveHasher&) = delete;

    void Update(const void* data, std::size_t length);
    Hash Final();

  private:
    crypto_generichash_state state_;
};

}  // namespace norvale::updater
