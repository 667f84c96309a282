// Key line: base64 (original alphabet, with padding) of 42 bytes,
//   offset 0  2 bytes  signature algorithm "Ed"
//   offset 2  8 bytes  key id
//   offset 10 32 bytes Ed25519 public key
// which is always 56 characters starting "RW".
#include "updater/MinisignPublicKey.h"

#include <sodium.h>

#include <algorithm>
#include <string>

namespace norvale::updater {
namespace {

constexpr std::size_t kKeyBytes = 42;
constexpr std::size_t kKeyLineLength = 56;
constexpr std::string_view kUntrustedComment = "untrusted comment:";

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<MinisignPublicKey> MinisignPublicKey::Parse(std::string_view line) {
    line = Trim(line);
    if (line.size() != kKeyLineLength) return std::nullopt;
    std::array<std::uint8_t, kKeyBytes> bytes{};
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != kKeyBytes || bytes[0] != 'E' || bytes[1] != 'd')
        return std::nullopt;
    MinisignPublicKey key;
    std::copy_n(bytes.begin() + 2, key.keyId.size(), key.keyId.begin());
    std::copy_n(bytes.begin() + 10, key.key.size(), key.key.begin());
    return key;
}

std::optional<std::vector<MinisignPublicKey>> MinisignPublicKey::ParseList(std::string_view text) {
    std::vector<MinisignPublicKey> keys;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#' ||
            line.substr(0, kUntrustedComment.size()) == kUntrustedComment)
            continue;
        const std::optional<MinisignPublicKey> key = Parse(line);
        if (!key) return std::nullopt;
        keys.push_back(*key);
    }
    if (keys.empty()) return std::nullopt;
    return keys;
}

}  // namespace norvale::updater
