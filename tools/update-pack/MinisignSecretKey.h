#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvale::updatepack {

// An Ed25519 signing key read from a minisign secret key file made without a
// password (`minisign -G -W`).
struct MinisignSecretKey {
    std::array<std::uint8_t, 8> keyId{};
    std::array<std::uint8_t, 64> secretKey{};  // seed (32) | public key (32)

    // The file's text; none with `*error` (not null) saying why: not a
    // minisign key, a key protected by a password, or a damaged key.
    static std::optional<MinisignSecretKey> Parse(std::string_view text, std::string* error);

    // The matching public key line ("RW..."), as in a minisign .pub file.
    std::string PublicKeyLine() const;
};

}  // namespace norvale::updatepack
