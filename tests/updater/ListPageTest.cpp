#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "updater/ListPage.h"

namespace norvale::updater {
namespace {

std::optional<QString> LinkOf(const std::string& page) {
    return ListPage::FindLink(QByteArray::fromStdString(page));
}

std::string Anchor(const std::string& address) {
    return "<a href=\"" + address + "\">upgrade file</a>";
}

TEST(ListPageTest, FirstLinkOfAnOfferingPageIsTheUpgradeLink) {
    const std::string page = "<html><body>" + Anchor("https://h/fw/Norvale.zip") +
                             "<a href=\"https://h/notes.html\">notes</a></body></html>";
    EXPECT_EQ(LinkOf(page), QString("https://h/fw/Norvale.zip"));
}

TEST(ListPageTest, PagesWithoutACompleteOfferGiveNoLink) {
    // No "upgrade file" at all, though there is a link.
    EXPECT_EQ(LinkOf("<a href=\"https://h/a.zip\">download</a>"), std::nullopt);
    // "upgrade file" but no start marker.
    EXPECT_EQ(LinkOf("<p>https://h/a.zip\">upgrade file</p>"), std::nullopt);
    // Start marker but no end marker.
    EXPECT_EQ(LinkOf("upgrade file <a href=\"https://h/a.zip\">other</a>"), std::nullopt);
    // The end marker comes first: nothing, not a negative-length copy.
    EXPECT_EQ(LinkOf("\">upgrade file <a href=\"https://h/a.zip\">x</a>"), std::nullopt);
    // The start and end markers share their quote.
    EXPECT_EQ(LinkOf("<a href=\">upgrade file"), std::nullopt);
    EXPECT_EQ(LinkOf(""), std::nullopt);
}

TEST(ListPageTest, FirstLinkRuleTakesTheFirstStartMarkerEvenWhenItIsAnotherLink) {
    // The server must list the upgrade link first; an earlier link swallows it.
    const std::string page = "<a href=\"https://h/a.html\">home</a>" + Anchor("https://h/a.zip");
    // The text between the markers then holds markup, which is no address.
    EXPECT_EQ(LinkOf(page), std::nullopt);
}

TEST(ListPageTest, LinkLengthIsLimitedTo199Characters) {
    const std::string base = "https://h/";
    const std::string exact = base + std::string(199 - base.size(), 'a');
    EXPECT_EQ(LinkOf(Anchor(exact)), QString::fromStdString(exact));
    EXPECT_EQ(LinkOf(Anchor(exact + "b")), std::nullopt);
    EXPECT_EQ(LinkOf(Anchor(base + std::string(240, 'a'))), std::nullopt);  // 250 characters
}

TEST(ListPageTest, OnlyPlainHttpAddressesCount) {
    EXPECT_EQ(LinkOf(Anchor("file:///etc/passwd")), std::nullopt);
    EXPECT_EQ(LinkOf(Anchor("https://h/a b.zip")), std::nullopt);
    EXPECT_EQ(LinkOf(Anchor("https://h/a\r\nX: y")), std::nullopt);
    EXPECT_EQ(LinkOf(Anchor("https://h/\x80.zip")), std::nullopt);
    EXPECT_EQ(LinkOf(Anchor("http://h/a.zip")), QString("http://h/a.zip"));
}

TEST(ListPageTest, OnlyTheFirst29999BytesAreRead) {
    const std::string filler(29999 - 30, 'x');
    const std::string link = Anchor("https://h/a.zip");
    // The page ends (after the cut) inside the end marker: no link.
    const std::string cutInside = filler + link + std::string(10000, 'y');
    EXPECT_EQ(LinkOf(cutInside), std::nullopt);
    // A 40 KB page whose link lies before the cut still offers it.
    EXPECT_EQ(LinkOf(link + std::string(40000, 'z')), QString("https://h/a.zip"));
    // Whatever lies after the cut is never seen.
    EXPECT_EQ(LinkOf(std::string(29999, ' ') + link), std::nullopt);
}

TEST(ListPageTest, FeedingKeepsAtMost29999BytesAndSplitsDoNotMatter) {
    const std::string page = "head " + Anchor("https://h/a.zip") + std::string(30000, '.');
    for (std::size_t split = 0; split < 64; ++split) {
        ListPage fed;
        std::size_t consumed = 0;
        fed.Feed(page.data(), split, &consumed);
        EXPECT_EQ(consumed, split);
        fed.Feed(page.data() + split, page.size() - split, &consumed);
        EXPECT_EQ(consumed, ListPage::kMaxPageBytes - split);
        EXPECT_TRUE(fed.IsFull());
        fed.Feed("more", 4, &consumed);
        EXPECT_EQ(consumed, 0u);
        EXPECT_EQ(fed.Text().size(), static_cast<qsizetype>(ListPage::kMaxPageBytes));
        EXPECT_EQ(fed.UpgradeLink(), QString("https://h/a.zip"));
    }
}

TEST(ListPageTest, LinkSplitAtEveryByteIsFound) {
    const std::string page = "<html>" + Anchor("https://h/Norvale.zip") + "</html>";
    for (std::size_t split = 0; split <= page.size(); ++split) {
        ListPage fed;
        std::size_t consumed = 0;
        fed.Feed(page.data(), split, &consumed);
        fed.Feed(page.data() + split, page.size() - split, &consumed);
        EXPECT_EQ(fed.UpgradeLink(), QString("https://h/Norvale.zip")) << split;
    }
}

}  // namespace
}  // namespace norvale::updater
