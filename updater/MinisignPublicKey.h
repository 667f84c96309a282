#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace norvale::updater {

// A public key as minisign writes it: one base64 line ("RW..." ) of
//     "Ed" (2 bytes) | key id (8) | Ed25519 public key (32)
// The key id names the key a signature claims to be made with.
struct MinisignPublicKey {
    std::array<std::uint8_t, 8> keyId{};
    std::array<std::uint8_t, 32> key{};

    bool operator==(const MinisignPublicKey&) const = default;

    // One key line (surrounding blanks and a CR allowed); none when it is
    // not exactly the 56 base64 characters of an Ed25519 key.
    static std::optional<MinisignPublicKey> Parse(std::string_view line);

    // A key file: minisign public key files one after the other. Blank
    // lines, "#" lines and minisign's "untrusted comment:" lines are
    // skipped; every other line must be a key. None when a line is not, or
    // when there is no key at all.
    static std::optional<std::vector<MinisignPublicKey>> ParseList(std::string_view text);
};

}  // namespace norvale::updater
