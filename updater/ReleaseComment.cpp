// Trusted comment of a release signature:
//   comment = "version=" version [ " expires=" time ]
//   time    = 4DIGIT "-" 2DIGIT "-" 2DIGIT "T" 2DIGIT ":" 2DIGIT ":" 2DIGIT "Z"
// (version as in ReleaseVersion; the time in UTC, seconds 00 to 59).
#include "updater/ReleaseComment.h"

#include <array>
#include <cstdio>

namespace norvale::updater {
namespace {

constexpr std::string_view kVersionKey = "version=";
constexpr std::string_view kExpiresKey = " expires=";
constexpr std::size_t kTimeLength = 20;

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = year / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool IsLeap(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr std::array<unsigned, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                       31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// The digits at [at, at + count) of text as a number; none if any is not one.
std::optional<unsigned> Digits(std::string_view text, std::size_t at, std::size_t count) {
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::int64_t> ReleaseComment::ParseTime(std::string_view text) {
    if (text.size() != kTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2),
               second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*year < 1970 || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month) || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    return DaysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string ReleaseComment::FormatTime(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    // Civil date from a day count (the inverse of DaysFromCivil).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), month, day, static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

std::string ReleaseComment::Text() const {
    std::string text = std::string(kVersionKey) + version.Text();
    if (expires) text += std::string(kExpiresKey) + FormatTime(*expires);
    return text;
}

std::optional<ReleaseComment> ReleaseComment::Parse(std::string_view text) {
    if (text.substr(0, kVersionKey.size()) != kVersionKey) return std::nullopt;
    text.remove_prefix(kVersionKey.size());
    const std::size_t blank = text.find(' ');
    ReleaseComment comment;
    const std::optional<ReleaseVersion> version = ReleaseVersion::Parse(text.substr(0, blank));
    if (!version) return std::nullopt;
    comment.version = *version;
    if (blank == std::string_view::npos) return comment;
    text.remove_prefix(blank);
    if (text.substr(0, kExpiresKey.size()) != kExpiresKey) return std::nullopt;
    comment.expires = ParseTime(text.substr(kExpiresKey.size()));
    if (!comment.expires) return std::nullopt;
    return comment;
}

}  // namespace norvale::updater
