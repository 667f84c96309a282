// Reads the firmware-list page. The page is plain ASCII; each byte is one
// character. Three markers are searched in it:
//   word marker   upgrade file
//   start marker  <a href="            (9 characters)
//   end marker    ">upgrade file        (14 characters)
// The link is the text from just after the FIRST start marker up to the
// FIRST end marker; the server puts the upgrade link first on the page.
#include "updater/ListPage.h"

#include <algorithm>
#include <cstring>

namespace norvale::updater {
namespace {

constexpr char kWordMarker[] = "upgrade file";
constexpr char kStartMarker[] = "<a href=\"";
constexpr char kEndMarker[] = "\">upgrade file";

// Printable ASCII without blanks and without the characters that may not
// stand in an address unencoded, starting with an http(s) scheme: the link
// becomes a request address and must not smuggle anything else in.
bool IsSafeAddress(const QByteArray& link) {
    if (!link.startsWith("https://") && !link.startsWith("http://")) return false;
    return std::all_of(link.begin(), link.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F && !std::strchr("\"<>\\^`{|}", c);
    });
}

}  // namespace

void ListPage::Feed(const char* data, std::size_t length, std::size_t* consumed) {
    const std::size_t room = kMaxPageBytes - static_cast<std::size_t>(text_.size());
    const std::size_t kept = std::min(room, length);
    text_.append(data, static_cast<qsizetype>(kept));
    if (consumed) *consumed = kept;
}

std::optional<QString> ListPage::FindLink(const QByteArray& whole) {
    const QByteArray page = whole.left(static_cast<qsizetype>(kMaxPageBytes));
    if (!page.contains(kWordMarker)) return std::nullopt;
    const qsizetype start = page.indexOf(kStartMarker);
    const qsizetype end = page.indexOf(kEndMarker);
    if (start < 0 || end < 0) return std::nullopt;
    const qsizetype first = start + static_cast<qsizetype>(sizeof(kStartMarker) - 1);
    if (end < first || end - first > kMaxLinkLength) return std::nullopt;
    const QByteArray link = page.mid(first, end - first);
    if (!IsSafeAddress(link)) return std::nullopt;
    return QString::fromLatin1(link);
}

}  // namespace norvale::updater
