#include "upnp/stack/KeyedTable.h"

#include <random>

namespace norvale::stack {
namespace {

unsigned char Fold(unsigned char byte, bool ignoreCase) {
    return (ignoreCase && byte >= 0x41 && byte <= 0x5A) ? static_cast<unsigned char>(byte + 32)
                                                        : byte;
}

// Up to four bytes starting at `key`, first byte lowest.
std::uint32_t Word(const char* key, std::size_t count, bool ignoreCase) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < count; ++i) {
        word |= static_cast<std::uint32_t>(Fold(static_cast<unsigned char>(key[i]), ignoreCase))
                << (8 * i);
    }
    return word;
}

std::uint64_t IndexSeed() {
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }();
    return seed;
}

}  // namespace

std::uint64_t KeyIndexHash(const char* key, std::size_t length, bool ignoreCase) {
    std::uint64_t hash = IndexSeed() ^ (length * 0x9E3779B97F4A7C15ull);
    for (std::size_t i = 0; i < length; ++i) {
        hash ^= Fold(static_cast<unsigned char>(key[i]), ignoreCase);
        hash *= 0x100000001B3ull;
    }
    // Final mix, so the low bits that pick the bucket depend on every byte.
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 33);
}

std::uint32_t KeyHash(const char* key, std::size_t length, bool ignoreCase) {
    if (length <= 4) return Word(key, length, ignoreCase);
    std::uint32_t hash = Word(key, 4, ignoreCase) ^ Word(key + length - 4, 4, ignoreCase);
    if (length >= 10) hash ^= Word(key + length / 2, 4, ignoreCase);
    return hash;
}

}  // namespace norvale::stack
