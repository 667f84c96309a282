// Rules of the skin that need no window: strips, paging, layout, fading,
// message box slots, text trimming, string tables.
#include <gtest/gtest.h>

#include <QFile>
#include <QResource>

#include "SkinTestImages.h"
#include "skin/ListPaging.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"
#include "skin/StaticLayout.h"
#include "skin/StringTable.h"

TEST(ImageStripTest, FourCellStripOf400PixelsGives100PixelCellsWithCellTwoAt200) {
    FaceSlots faces;
    ASSERT_TRUE(
        faces.SetImages(MakeStrip({kRed, kGreen, kBlue, kYellow}, 400, 20), 0, 0, 400, 20, 4));
    EXPECT_EQ(faces.FaceSize(), QSize(100, 20));
    EXPECT_EQ(faces.Slot(2).source, QRect(200, 0, 100, 20));
    EXPECT_FALSE(faces.Slot(4).IsSet());
}

TEST(ImageStripTest, SixCellsOrNoCellsChangeNothing) {
    FaceSlots faces;
    faces.SetImages(MakeStrip({kRed, kGreen}, 40, 10), 0, 0, 40, 10, 2);
    const QImage other = MakeStrip({kBlue}, 60, 10);
    EXPECT_FALSE(faces.SetImages(other, 0, 0, 60, 10, 6));
    EXPECT_FALSE(faces.SetImages(other, 0, 0, 60, 10, 0));
    EXPECT_EQ(faces.Slot(1).source, QRect(20, 0, 20, 10));
    EXPECT_EQ(faces.Slot(1).image.pixel(25, 5), kGreen);
}

TEST(ImageStripTest, ComboKeepsFourSlotsAndIgnoresAFifthCell) {
    FaceSlots faces(4);
    EXPECT_TRUE(faces.SetImages(MakeStrip({kRed}, 500, 10), 10, 5, 500, 10, 5));
    EXPECT_EQ(faces.Slot(3).source, QRect(310, 5, 100, 10));
    EXPECT_FALSE(faces.Slot(4).IsSet());
}

TEST(ImageStripTest, StateSlotPrefersDisabledThenPressedThenHovered) {
    EXPECT_EQ(FaceSlots::SlotFor(true, true, true), FaceSlots::kDisabled);
    EXPECT_EQ(FaceSlots::SlotFor(false, true, true), FaceSlots::kPressed);
    EXPECT_EQ(FaceSlots::SlotFor(false, false, true), FaceSlots::kHover);
    EXPECT_EQ(FaceSlots::SlotFor(false, false, false), FaceSlots::kNormal);
}

TEST(ListPagingTest, TenItemsFourRowsPageDownTwiceThenUpTwice) {
    ListPaging paging;
    paging.SetVisibleRows(4);
    EXPECT_TRUE(paging.PageDown(10));
    EXPECT_EQ(paging.TopOffset(), 3);
    EXPECT_FALSE(paging.PageDown(10));
    EXPECT_EQ(paging.TopOffset(), 6);
    EXPECT_TRUE(paging.PageUp());
    EXPECT_EQ(paging.TopOffset(), 3);
    EXPECT_FALSE(paging.PageUp());
    EXPECT_EQ(paging.TopOffset(), 0);
}

TEST(ListPagingTest, HitTestFindsOnlyRowsShowingAnItem) {
    ListPaging paging;
    paging.SetVisibleRows(4);
    EXPECT_EQ(paging.RowAt(130, 60, 10), 2);
    EXPECT_EQ(paging.RowAt(-1, 60, 10), -1);
    paging.PageDown(10);
    paging.PageDown(10);  // top 6: rows 0-3 show items 6-9
    EXPECT_EQ(paging.RowAt(190, 60, 10), 3);
    EXPECT_EQ(paging.RowAt(250, 60, 10), -1);  // row 4 would be item 10
    EXPECT_EQ(paging.RowAt(70, 60, 1), -1);
}

TEST(ListPagingTest, ShortListOrNoRowsNeverGetANegativeOffset) {
    ListPaging paging;
    paging.SetVisibleRows(5);
    EXPECT_FALSE(paging.PageDown(3));
    EXPECT_EQ(paging.TopOffset(), 0);
    ListPaging empty;
    EXPECT_FALSE(empty.PageDown(10));
    EXPECT_EQ(empty.TopOffset(), 0);
}

TEST(ListPagingTest, VisibleRowsCountWholeRowsWithGap) {
    EXPECT_EQ(ListPaging::CountVisibleRows(300, 60, 0), 5);
    EXPECT_EQ(ListPaging::CountVisibleRows(329, 60, 0), 5);
    EXPECT_EQ(ListPaging::CountVisibleRows(300, 60, 5), 4);  // 300 = 4 * 65 + 40
    EXPECT_EQ(ListPaging::CountVisibleRows(320, 60, 5), 5);  // 4 * 65 + 60: the last row fits
    EXPECT_EQ(ListPaging::CountVisibleRows(120, 0, 0), 12);  // row height h / 12
    EXPECT_EQ(ListPaging::CountVisibleRows(5, 0, 0), 0);
}

TEST(ListPagingTest, SelectionFollowsItsItemAcrossInsertionsAndDeletions) {
    ListPaging paging;
    EXPECT_FALSE(paging.Select(0, 0));
    EXPECT_FALSE(paging.Select(10, 10));
    ASSERT_TRUE(paging.Select(5, 10));
    paging.ItemsInserted(5, 1);  // at the selected item
    EXPECT_EQ(paging.Selected(), 6);
    paging.ItemsInserted(7, 2);  // after it
    EXPECT_EQ(paging.Selected(), 6);
    paging.ItemsRemoved(0, 2);  // before it
    EXPECT_EQ(paging.Selected(), 4);
    paging.ItemsRemoved(5, 3);  // after it
    EXPECT_EQ(paging.Selected(), 4);
    paging.ItemsRemoved(3, 2);  // a range holding it
    EXPECT_EQ(paging.Selected(), -1);
}

TEST(StaticLayoutTest, HiddenPictureGivesTheTextTheWholeWidth) {
    const StaticPictureLayout layout =
        LayoutStaticPicture(QRect(0, 0, 200, 40), false, 30, 20, true);
    EXPECT_TRUE(layout.picture.isEmpty());
    EXPECT_EQ(layout.textArea, QRect(0, 0, 200, 40));
}

TEST(StaticLayoutTest, SmallPictureIsCentredVerticallyAndOptionallyHorizontally) {
    StaticPictureLayout layout = LayoutStaticPicture(QRect(0, 0, 200, 40), true, 30, 20, false);
    EXPECT_EQ(layout.picture, QRect(0, 10, 30, 20));
    EXPECT_EQ(layout.textArea, QRect(30, 0, 170, 40));
    layout = LayoutStaticPicture(QRect(0, 0, 200, 40), true, 30, 20, true);
    EXPECT_EQ(layout.picture, QRect(85, 10, 30, 20));
}

TEST(StaticLayoutTest, TallPictureIsCutToTheHeightAndNarrowedInProportion) {
    // 40 high in a 20-high label: half the height, so 30 * 0.5 + 0.5 = 15.
    StaticPictureLayout layout = LayoutStaticPicture(QRect(0, 0, 100, 20), true, 30, 40, false);
    EXPECT_EQ(layout.picture, QRect(0, 0, 15, 20));
    layout = LayoutStaticPicture(QRect(0, 0, 10, 20), true, 30, 20, false);
    EXPECT_EQ(layout.picture, QRect(0, 0, 10, 20));
    EXPECT_EQ(layout.textArea.width(), 0);
}

TEST(FadedCopyTest, AlphaIsScaledWithIntegerDivisionAndColoursKept) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 200));
    image.setPixel(1, 0, qRgba(255, 0, 0, 255));
    image.setPixel(2, 0, qRgba(1, 2, 3, 0));
    const QImage faded = MakeFadedCopy(image, 128);
    ASSERT_EQ(faded.format(), QImage::Format_ARGB32);
    EXPECT_EQ(faded.pixel(0, 0), qRgba(10, 20, 30, 100));  // 200 * 128 / 255 = 100.39
    EXPECT_EQ(faded.pixel(1, 0), qRgba(255, 0, 0, 128));
    EXPECT_EQ(qAlpha(faded.pixel(2, 0)), 0);
    EXPECT_EQ(qAlpha(MakeFadedCopy(image, 0).pixel(1, 0)), 0);
}

namespace {

int ExpectedLeft(int set, int index) {
    // Slots from the right in the order Cancel, OK, No, Yes.
    int count = 0;
    for (int i = 0; i < 4; ++i) count += (set >> i) & 1;
    if (count == 1) return 244;
    int slot = 0;
    for (int i = 3; i > index; --i) slot += (set >> i) & 1;
    return 452 - slot * 142;
}

}  // namespace

TEST(MessageBoxPlanTest, EveryButtonSetFillsTheSlotsFromTheRight) {
    for (int set = 1; set < 16; ++set) {
        const MessageBoxButtonPlan plan = PlanMessageBoxButtons(set, QSize(448, 36));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "set " << set << " button " << i);
            ASSERT_EQ(plan.shown[i], ((set >> i) & 1) != 0);
            if (plan.shown[i]) {
                EXPECT_EQ(plan.rects[i], QRect(ExpectedLeft(set, i), 178, 112, 36));
            }
        }
    }
}

TEST(MessageBoxPlanTest, EmptySetShowsOkAloneAtTheRightmostSlot) {
    const MessageBoxButtonPlan plan = PlanMessageBoxButtons(0, QSize(448, 36));
    EXPECT_EQ(plan.shown, (std::array<bool, 4>{false, false, true, false}));
    EXPECT_EQ(plan.rects[2], QRect(452, 178, 112, 36));
}

TEST(SkinTextTest, LongTextEndsInAnEllipsisOnTheLastWholeLine) {
    const QFont font = SkinFont(QStringLiteral("Tahoma"), 12);
    const QString text = QString(QStringLiteral("word ")).repeated(200);
    const QRectF area(0, 0, 515, 100);
    const std::vector<TextLine> lines = SkinText::Layout(text, font, area, TextFormat{});
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size() * LineMetricsFor(font).lineSpacing, 100.0);
    EXPECT_TRUE(lines.back().text.endsWith(QChar(0x2026)));
    for (const TextLine& line : lines) EXPECT_LE(line.width, 515.0);
}

TEST(SkinTextTest, NoWrapKeepsOneLineCutWithAnEllipsis) {
    const QFont font = SkinFont(QStringLiteral("Tahoma"), 13);
    TextFormat format;
    format.noWrap = true;
    format.horizontal = StringAlign::Center;
    const std::vector<TextLine> lines =
        SkinText::Layout(QString(80, QChar('x')), font, QRectF(0, 0, 100, 200), format);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].text.endsWith(QChar(0x2026)));
    const std::vector<TextLine> shortLine =
        SkinText::Layout(QStringLiteral("ok"), font, QRectF(0, 0, 100, 200), format);
    EXPECT_NEAR(shortLine[0].baseline.x(), (100 - shortLine[0].width) / 2, 0.01);
}

TEST(SkinTextTest, LinesAreSpacedLikeGdiPlusSoACaptionAreaHoldsOneLine) {
    // GDI+ spaces lines by the Windows ascent plus descent (about 1.2 em for
    // Tahoma), not by the tighter typographic values.
    const QFont font = SkinFont(QStringLiteral("Tahoma"), 12);
    EXPECT_GT(LineMetricsFor(font).lineSpacing, 17.0);
    const auto lines = SkinText::Layout(
        QStringLiteral("Norvale Discovery - Fortschritt der automatischen Aktualisierung"), font,
        QRectF(5, 2, 300, 32), TextFormat{});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].text.endsWith(QChar(0x2026)));
}

TEST(SkinTextTest, TextWithoutSpacesWrapsBetweenCharactersAndIsNeverCutWhenItFits) {
    // Japanese has no spaces; its lines end between characters, and a line
    // that fits must not lose its last character to an ellipsis.
    const QFont font = SkinFont(QStringLiteral("Tahoma"), 11);
    const QString text = QString::fromUtf8(
        "ネットワークデバイスが見つかりませんでした。デバイスの電源が入っていること、"
        "およびローカルエリアネットワークに正しく接続されていることを確認してください。");
    for (int width = 200; width <= 560; ++width) {
        const auto lines = SkinText::Layout(text, font, QRectF(0, 0, width, 0), TextFormat{});
        QString joined;
        for (const TextLine& line : lines) joined += line.text;
        ASSERT_EQ(joined, text) << "width " << width;
        ASSERT_GE(lines.size(), 2u);
    }
}

TEST(SkinTextTest, LineFeedsStartNewLines) {
    const QFont font = SkinFont(QStringLiteral("Tahoma"), 12);
    const auto lines = SkinText::Layout(QStringLiteral("a\n\nb"), font, QRectF(0, 0, 300, 300), {});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].text, QStringLiteral("b"));
}

TEST(StringTableTest, ParsesEscapesAndSkipsMalformedLines) {
    QHash<int, QString> table;
    const int bad = StringTable::Parse(
        "# comment\n\n"
        "57 \"\\\"%s\\\"\\n\\nThe network path was not found.\"\n"
        "60 \"back\\\\slash\"\r\n"
        "x1 \"not a number\"\n"
        "61 missing quotes\n"
        "62 \"unterminated\n",
        table);
    EXPECT_EQ(bad, 3);
    EXPECT_EQ(table.value(57), QStringLiteral("\"%s\"\n\nThe network path was not found."));
    EXPECT_EQ(table.value(60), QStringLiteral("back\\slash"));
    EXPECT_EQ(table.size(), 2);
}

TEST(StringTableTest, ProgramTablesHoldEveryTextAndEveryUpdaterLanguage) {
    StringTable& strings = StringTable::Instance();
    strings.SetLanguageRoot(QString());
    strings.Reload();
    EXPECT_EQ(strings.Get(55).left(36), QStringLiteral("No Network Devices were discovered -"));
    EXPECT_TRUE(strings.Get(46).contains(QStringLiteral("\n\nClick \"No\" to map")));
    for (int base = 0; base <= 800; base += 100) {
        for (int n : {102, 103, 104, 105, 106, 107, 108, 110, 111, 112, 113}) {
            EXPECT_FALSE(strings.Get(base + n).isEmpty()) << base + n;
        }
        EXPECT_TRUE(strings.Get(base + 102).contains(QStringLiteral("Norvale Discovery")));
    }
    EXPECT_TRUE(strings.Get(62).contains(QStringLiteral("GVfs")));
    EXPECT_TRUE(strings.Get(63).isEmpty());
}

TEST(StringTableTest, LanguageResourcesComeFirstButNeverLendImages) {
    ASSERT_TRUE(QFile::exists(QStringLiteral(NORVALE_TEST_LANGUAGE_RCC)));
    StringTable& strings = StringTable::Instance();
    EXPECT_EQ(strings.Get(47), QStringLiteral("Yes"));  // read before the language arrives
    EXPECT_FALSE(strings.RegisterLanguageFile(QStringLiteral("/nonexistent/RES_X.rcc"),
                                              QStringLiteral("/lang")));
    ASSERT_TRUE(strings.RegisterLanguageFile(QStringLiteral(NORVALE_TEST_LANGUAGE_RCC),
                                             QStringLiteral("/lang")));
    EXPECT_EQ(strings.Get(47), QStringLiteral("Ja"));
    EXPECT_EQ(strings.Get(48), QStringLiteral("No"));
    EXPECT_EQ(strings.Get(900), QStringLiteral("nur in der Sprache"));
    // The language file carries a 4 x 2 PNG 131; the program's image (or none) wins.
    EXPECT_FALSE(QImage(QStringLiteral(":/lang/png/131.png")).isNull());
    EXPECT_NE(LoadPngResource(131).size(), QSize(4, 2));
    EXPECT_TRUE(LoadPngResource(99999).isNull());
    strings.SetLanguageRoot(QString());
    EXPECT_EQ(strings.Get(47), QStringLiteral("Yes"));
    QResource::unregisterResource(QStringLiteral(NORVALE_TEST_LANGUAGE_RCC),
                                  QStringLiteral("/lang"));
}
