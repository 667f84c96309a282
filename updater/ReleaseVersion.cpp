// Version texts:
//   version  = number "." number "." number "." number
//   number   = 1*9DIGIT
//   token    = "VER:" number "." number "0" "." number "." number
// (the token's second number carries one extra trailing zero).
#include "updater/ReleaseVersion.h"

namespace norvale::updater {
namespace {

constexpr std::size_t kMaxDigits = 9;

// Reads one number at the front of `text` and drops it from there.
std::optional<std::uint32_t> TakeNumber(std::string_view& text, std::size_t maxDigits) {
    std::size_t length = 0;
    std::uint32_t value = 0;
    while (length < text.size() && text[length] >= '0' && text[length] <= '9') {
        if (length == maxDigits) return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(text[length] - '0');
        ++length;
    }
    if (length == 0) return std::nullopt;
    text.remove_prefix(length);
    return value;
}

bool TakeDot(std::string_view& text) {
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::string ReleaseVersion::Text() const {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::optional<ReleaseVersion> ReleaseVersion::Parse(std::string_view text) {
    ReleaseVersion version;
    for (std::size_t i = 0; i < version.parts.size(); ++i) {
        if (i > 0 && !TakeDot(text)) return std::nullopt;
        const std::optional<std::uint32_t> number = TakeNumber(text, kMaxDigits);
        if (!number) return std::nullopt;
        version.parts[i] = *number;
    }
    if (!text.empty()) return std::nullopt;
    return version;
}

std::optional<ReleaseVersion> ReleaseVersion::FromVersionToken(std::string_view token) {
    constexpr std::string_view kPrefix = "VER:";
    if (token.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    token.remove_prefix(kPrefix.size());
    // The second number with its extra zero: one digit more than the rest.
    const std::size_t dot = token.find('.');
    const std::size_t second = dot == std::string_view::npos ? dot : token.find('.', dot + 1);
    if (second == std::string_view::npos || second - dot < 3 || token[second - 1] != '0')
        return std::nullopt;
    std::string text(token);
    text.erase(second - 1, 1);
    return Parse(text);
}

}  // namespace norvale::updater
