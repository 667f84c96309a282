#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

namespace norvale::updater {

// The firmware-list page as the server answers it: text in which the words
// "upgrade file" mark an offered update, and whose first link is the
// update archive, written as
//   <a href="ADDRESS">upgrade file
// Only the first 29,999 bytes of a page are kept; the rest is never read.
class ListPage {
  public:
    static constexpr std::size_t kMaxPageBytes = 29999;
    static constexpr int kMaxLinkLength = 199;

    // Appends up to `length` bytes; `*consumed` tells how many were kept
    // (fewer than `length` only once the page is full).
    void Feed(const char* data, std::size_t length, std::size_t* consumed);
    bool IsFull() const { return text_.size() >= static_cast<qsizetype>(kMaxPageBytes); }
    const QByteArray& Text() const { return text_; }

    // The upgrade link of the page text, or nullopt when there is none.
    std::optional<QString> UpgradeLink() const { return FindLink(text_); }

    // The address between the first start marker and the first end marker
    // of the first 29,999 bytes of `page`. None when "upgrade file" is
    // missing, either marker is missing, the end marker comes before the
    // address starts, the address is longer than 199 characters, or it is
    // not an http(s) address of printable characters without blanks, quotes
    // or angle brackets.
    static std::optional<QString> FindLink(const QByteArray& page);

  private:
    QByteArray text_;
};

}  // namespace norvale::updater
