#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvale::updater {

// The four numbers of a release, major.minor.patch.build. Ordered number by
// number from the left, so 1.2.2026.342 is newer than 1.2.2026.341 and
// 1.10.0.0 newer than 1.9.9999.999.
struct ReleaseVersion {
    std::array<std::uint32_t, 4> parts{};

    auto operator<=>(const ReleaseVersion&) const = default;

    // "A.B.C.D" without leading zeros; also the name of the release's
    // folder in an installation.
    std::string Text() const;

    // "A.B.C.D": four decimal numbers of 1 to 9 digits each, nothing else.
    static std::optional<ReleaseVersion> Parse(std::string_view text);

    // The version part of the updater's command line, "VER:%d.%d0.%04d.%03d":
    // the minor number is written with a literal 0 after it, so
    // "VER:1.20.2026.341" is 1.2.2026.341 and "VER:1.610.0932.001" is
    // 1.61.932.1. None for anything else.
    static std::optional<ReleaseVersion> FromVersionToken(std::string_view token);
};

}  // namespace norvale::updater
