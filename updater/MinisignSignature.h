#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace norvale::updater {

// A detached minisign signature (a ".minisig" file), as read by
// MinisignSignatureParser.
struct MinisignSignature {
    enum class Algorithm {
        Legacy,     // "Ed": Ed25519 over the file's bytes
        Prehashed,  // "ED": Ed25519 over the BLAKE2b-512 hash of the file
    };
    Algorithm algorithm = Algorithm::Prehashed;
    std::array<std::uint8_t, 8> keyId{};
    std::array<std::uint8_t, 64> signature{};
    // The trusted comment's text, without "trusted comment: " and the line end.
    std::string trustedComment;
    // Ed25519 over signature || trustedComment, with the same key.
    std::array<std::uint8_t, 64> globalSignature{};
};

}  // namespace norvale::updater
