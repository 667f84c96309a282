#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "updater/ReleaseVersion.h"

namespace norvale::updater {

// What a release's signature vouches for besides the archive's bytes: the
// trusted comment of its minisign signature,
//     version=1.2.2026.342 expires=2027-01-01T00:00:00Z
// The version says which release the archive is (an older one signed long
// ago cannot be offered as new); the optional expiry ends the offer (an
// offer cannot be replayed for ever to hold users on a release).
struct ReleaseComment {
    ReleaseVersion version;
    // Seconds since 1970-01-01T00:00:00Z; none: the signature never expires.
    std::optional<std::int64_t> expires;

    // The comment as the signing tool writes it.
    std::string Text() const;

    // Exactly "version=A.B.C.D", optionally followed by one blank and
    // "expires=YYYY-MM-DDThh:mm:ssZ" (a real date and time of day, UTC).
    // None for anything else: other words, other spacing, a missing version.
    static std::optional<ReleaseComment> Parse(std::string_view text);

    // "YYYY-MM-DDThh:mm:ssZ" (years 1970 to 9999) as seconds since 1970;
    // none when malformed or not a real date.
    static std::optional<std::int64_t> ParseTime(std::string_view text);
    static std::string FormatTime(std::int64_t seconds);
};

}  // namespace norvale::updater
