#include "updater/ArchiveHasher.h"

namespace norvale::updater {

ArchiveHasher::ArchiveHasher() {
    // Picks the processor's fastest code for the hash (once per process;
    // safe from any thread). Below zero only when libsodium cannot start at
    // all, and then every signature check fails.
    [[maybe_unused]] const int started = sodium_init();
    crypto_generichash_init(&state_, nullptr, 0, kHashBytes);
}

void ArchiveHasher::Update(const void* data, std::size_t length) {
    crypto_generichash_update(&state_, static_cast<const unsigned char*>(data),
                              static_cast<unsigned long long>(length));
}

ArchiveHasher::Hash ArchiveHasher::Final() {
    Hash hash{};
    crypto_generichash_final(&state_, hash.data(), hash.size());
    return hash;
}

}  // namespace norvale::updater
