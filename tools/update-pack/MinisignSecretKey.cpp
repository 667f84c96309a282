// Secret key file: a line "untrusted comment: <text>", then one line of
// base64 (original alphabet) of 158 bytes:
//   offset   0   2  signature algorithm "Ed"
//   offset   2   2  key derivation: two zero bytes when there is no password
//                   ("Sc": scrypt, the key is encrypted)
//   offset   4   2  checksum algorithm "B2"
//   offset   6  32  key derivation salt        (unused without password)
//   offset  38   8  key derivation ops limit   (unused without password)
//   offset  46   8  key derivation mem limit   (unused without password)
//   offset  54   8  key id
//   offset  62  64  Ed25519 secret key: seed (32) | public key (32)
//   offset 126  32  checksum: BLAKE2b-256 of algorithm | key id | secret key,
//                   or all zeros as minisign 0.11 writes it without password
#include "tools/update-pack/MinisignSecretKey.h"

#include <sodium.h>

#include <algorithm>

namespace norvale::updatepack {
namespace {

constexpr std::size_t kKeyFileBytes = 158;
constexpr std::string_view kUntrusted = "untrusted comment:";

std::string_view NextLine(std::string_view* text) {
    const std::size_t end = text->find('\n');
    std::string_view line = text->substr(0, end);
    text->remove_prefix(end == std::string_view::npos ? text->size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

bool ChecksumMatches(const std::uint8_t* bytes) {
    const std::uint8_t* stored = bytes + 126;
    if (std::all_of(stored, stored + 32, [](std::uint8_t b) { return b == 0; })) return true;
    std::array<std::uint8_t, 2 + 8 + 64> covered{};
    std::copy_n(bytes, 2, covered.begin());
    std::copy_n(bytes + 54, 8 + 64, covered.begin() + 2);
    std::array<std::uint8_t, 32> sum{};
    crypto_generichash(sum.data(), sum.size(), covered.data(), covered.size(), nullptr, 0);
    return std::equal(sum.begin(), sum.end(), stored);
}

bool Decode(std::string_view line, std::array<std::uint8_t, kKeyFileBytes>* bytes,
            std::string* error) {
    std::size_t length = 0;
    if (sodium_base642bin(bytes->data(), bytes->size(), line.data(), line.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != kKeyFileBytes || (*bytes)[0] != 'E' || (*bytes)[1] != 'd' || (*bytes)[4] != 'B' ||
        (*bytes)[5] != '2')
        return Fail(error, "not a minisign secret key");
    if ((*bytes)[2] != 0 || (*bytes)[3] != 0)
        return Fail(error, "the key is protected by a password; make one with minisign -G -W");
    return true;
}

}  // namespace

std::optional<MinisignSecretKey> MinisignSecretKey::Parse(std::string_view text,
                                                          std::string* error) {
    if (sodium_init() < 0) return Fail(error, "libsodium cannot start"), std::nullopt;
    if (NextLine(&text).substr(0, kUntrusted.size()) != kUntrusted)
        return Fail(error, "not a minisign secret key"), std::nullopt;
    std::array<std::uint8_t, kKeyFileBytes> bytes{};
    if (!Decode(NextLine(&text), &bytes, error)) return std::nullopt;
    if (!ChecksumMatches(bytes.data()))
        return Fail(error, "the key's checksum does not match: damaged key"), std::nullopt;
    MinisignSecretKey key;
    std::copy_n(bytes.begin() + 54, key.keyId.size(), key.keyId.begin());
    std::copy_n(bytes.begin() + 62, key.secretKey.size(), key.secretKey.begin());
    // The public half must be the one the seed gives.
    std::array<std::uint8_t, 32> publicKey{};
    std::array<std::uint8_t, 64> derived{};
    crypto_sign_seed_keypair(publicKey.data(), derived.data(), key.secretKey.data());
    sodium_memzero(bytes.data(), bytes.size());
    const bool matches = derived == key.secretKey;
    sodium_memzero(derived.data(), derived.size());
    if (!matches)
        return Fail(error, "the key's two halves do not match: damaged key"), std::nullopt;
    return key;
}

std::string MinisignSecretKey::PublicKeyLine() const {
    std::array<std::uint8_t, 42> bytes{'E', 'd'};
    std::copy(keyId.begin(), keyId.end(), bytes.begin() + 2);
    std::copy(secretKey.begin() + 32, secretKey.end(), bytes.begin() + 10);
    char line[sodium_base64_ENCODED_LEN(42, sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(line, sizeof line, bytes.data(), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    return line;
}

}  // namespace norvale::updatepack
