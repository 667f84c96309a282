// The skinned scroll bar's pixels and mouse handling, and the wrapper that
// puts skinned bars on a scrollable widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "SkinTestImages.h"
#include "skin/CLuListBox.h"
#include "skin/CLuScrollBar.h"
#include "skin/CLuScrollWnd.h"

namespace {

// A bitmap of 9 x 3 cells of 26 in which every pixel differs from its
// neighbours, so a copied pixel tells where it came from.
QImage SkinBitmap() {
    return MakePattern(234, 78);
}

QRgb CellPixel(const QImage& bitmap, int column, int row, int x, int y) {
    return bitmap.pixel(column * 26 + x, row * 26 + y);
}

ScrollState State(int min, int max, int page, int pos) {
    ScrollState state;
    state.min = min;
    state.max = max;
    state.page = page;
    state.pos = pos;
    return state;
}

// A vertical bar 26 x 200: arrows [0, 26) and [174, 200); with 100 items and a
// page of 10 the thumb is 14 long, starting at 26 + 134 * pos / 90.
class CLuScrollBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bar.SetBitmap(bitmap);
        bar.resize(26, 200);
        bar.SetScrollInfo(State(0, 99, 10, 0));
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        // The owner answers every request by moving the position.
        QObject::connect(&bar, &CLuScrollBar::scrollRequested, [this](int code, int position) {
            ScrollState state = bar.ScrollInfo();
            const int range = bar.Geometry().Range();
            if (code == kScrollFirstArrow) state.pos = std::max(0, state.pos - 1);
            if (code == kScrollSecondArrow) state.pos = std::min(range, state.pos + 1);
            if (code == kScrollTrackAfter) state.pos = std::min(range, state.pos + state.page);
            if (code == kScrollThumbPosition) state.pos = position;
            bar.SetScrollInfo(state);
        });
    }
    QImage bitmap = SkinBitmap();
    CLuScrollBar bar{Qt::Vertical};
};

}  // namespace

TEST_F(CLuScrollBarTest, ThumbCapsTheTiledMiddleTrackAndArrowsComeFromTheirCells) {
    EXPECT_EQ(bar.width(), 26);
    const QImage shot = Shot(bar);
    for (int x = 0; x < 26; x += 5) {
        // Arrows copied from column 0 and 1, row 0.
        EXPECT_EQ(shot.pixel(x, 0), CellPixel(bitmap, 0, 0, x, 0));
        EXPECT_EQ(shot.pixel(x, 25), CellPixel(bitmap, 0, 0, x, 25));
        EXPECT_EQ(shot.pixel(x, 174), CellPixel(bitmap, 1, 0, x, 0));
        // Thumb [26, 40): 3-pixel caps from the cell's ends, middle tiled
        // from the cell's middle rows.
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(shot.pixel(x, 26 + y), CellPixel(bitmap, 2, 0, x, y));
            EXPECT_EQ(shot.pixel(x, 37 + y), CellPixel(bitmap, 2, 0, x, 23 + y));
        }
        EXPECT_EQ(shot.pixel(x, 29), CellPixel(bitmap, 2, 0, x, 3));
        EXPECT_EQ(shot.pixel(x, 36), CellPixel(bitmap, 2, 0, x, 10));
        // Track after the thumb [40, 174): the cell repeated without scaling,
        // the last copy cut at the arrow.
        for (int y = 40; y < 174; y += 7) {
            ASSERT_EQ(shot.pixel(x, y), CellPixel(bitmap, 3, 0, x, (y - 40) % 26)) << y;
        }
        EXPECT_EQ(shot.pixel(x, 173), CellPixel(bitmap, 3, 0, x, (173 - 40) % 26));
    }
}

TEST_F(CLuScrollBarTest, LongThumbTilesItsMiddleAndTrackBeforeStartsAtTheArrow) {
    bar.SetScrollInfo(State(0, 9, 5, 5));  // thumb 74 long at [100, 174)
    const QImage shot = Shot(bar);
    EXPECT_EQ(shot.pixel(4, 26), CellPixel(bitmap, 3, 0, 4, 0));
    EXPECT_EQ(shot.pixel(4, 99), CellPixel(bitmap, 3, 0, 4, 73 % 26));
    EXPECT_EQ(shot.pixel(4, 103), CellPixel(bitmap, 2, 0, 4, 3));
    EXPECT_EQ(shot.pixel(4, 103 + 20), CellPixel(bitmap, 2, 0, 4, 3));  // the middle repeats
    EXPECT_EQ(shot.pixel(4, 171), CellPixel(bitmap, 2, 0, 4, 23));
}

TEST_F(CLuScrollBarTest, PressedArrowShowsRowTwoSendsOneRequestAndHoverShowsRowOne) {
    QSignalSpy requests(&bar, &CLuScrollBar::scrollRequested);
    QTest::mouseMove(&bar, QPoint(10, 180));
    EXPECT_EQ(bar.HighlightedPart(), kScrollSecondArrow);
    EXPECT_EQ(Shot(bar).pixel(10, 180), CellPixel(bitmap, 1, 1, 10, 6));

    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 180));
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].toInt(), kScrollSecondArrow);
    EXPECT_EQ(Shot(bar).pixel(10, 180), CellPixel(bitmap, 1, 2, 10, 6));
    // Outside the pressed arrow it looks normal again.
    QTest::mouseMove(&bar, QPoint(10, 100));
    EXPECT_EQ(Shot(bar).pixel(10, 180), CellPixel(bitmap, 1, 0, 10, 6));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 100));
    EXPECT_EQ(bar.PressedPart(), kScrollNone);
    EXPECT_EQ(requests.count(), 1);
    EXPECT_EQ(bar.ScrollInfo().pos, 1);
}

TEST_F(CLuScrollBarTest, DraggingTracksThePointerStopsAtTheEndsAndEndsWithThumbPosition) {
    QSignalSpy requests(&bar, &CLuScrollBar::scrollRequested);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 30));
    EXPECT_TRUE(bar.IsDragging());
    QTest::mouseMove(&bar, QPoint(10, 30 + 67));  // half the free track
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].toInt(), kScrollThumbTrack);
    EXPECT_EQ(requests[0][1].toInt(), 45);
    EXPECT_EQ(bar.ScrollInfo().trackPos, 45);
    EXPECT_EQ(bar.ScrollInfo().pos, 0);  // the owner moves only at the end
    // The dragged thumb sits at 26 + 67 in the pressed row.
    EXPECT_EQ(Shot(bar).pixel(5, 93), CellPixel(bitmap, 2, 2, 5, 0));

    QTest::mouseMove(&bar, QPoint(10, 1000));
    EXPECT_EQ(requests.last()[1].toInt(), 90);
    QTest::mouseMove(&bar, QPoint(10, -500));
    EXPECT_EQ(requests.last()[1].toInt(), 0);
    QTest::mouseMove(&bar, QPoint(10, 30 + 134));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 30 + 134));
    EXPECT_EQ(requests.last()[0].toInt(), kScrollThumbPosition);
    EXPECT_EQ(requests.last()[1].toInt(), 90);
    EXPECT_FALSE(bar.IsDragging());
    EXPECT_EQ(bar.ScrollInfo().trackPos, -1);
    EXPECT_EQ(bar.ScrollInfo().pos, 90);
}

TEST_F(CLuScrollBarTest, HeldArrowRepeatsUntilTheEndAndPausesOutside) {
    bar.SetRepeatTiming(1, 1);
    bar.SetScrollInfo(State(0, 99, 10, 80));
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 180));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar.IsRepeating() && bar.ScrollInfo().pos == 90; }));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 180));

    QSignalSpy requests(&bar, &CLuScrollBar::scrollRequested);
    bar.SetRepeatTiming(50, 1);
    bar.SetScrollInfo(State(0, 99, 10, 50));
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(&bar, QPoint(10, 120));  // off the pressed arrow
    QTest::qWait(120);
    EXPECT_EQ(requests.count(), 1);  // only the press itself
    QTest::mouseMove(&bar, QPoint(10, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests.count() > 3; }));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 5));
    EXPECT_FALSE(bar.IsRepeating());
}

TEST_F(CLuScrollBarTest, HeldTrackRepeatsUntilTheThumbReachesThePointer) {
    bar.SetRepeatTiming(1, 1);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 120));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar.IsRepeating(); }));
    // Pages of 10 move the thumb 14.9 pixels: at 60 it covers [115, 129).
    EXPECT_EQ(bar.ScrollInfo().pos, 60);
    EXPECT_EQ(bar.Geometry().HitTest(120), kScrollThumbTrack);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 120));
}

namespace {

class CLuScrollWndTest : public ::testing::Test {
  protected:
    void SetUp() override { parent.resize(300, 300); }

    // A list of count rows in a 200 x 150 box at (20, 30), wrapped.
    CLuScrollWnd* WrapList(QAbstractItemView* view, int count) {
        view->setParent(&parent);
        view->setGeometry(20, 30, 200, 150);
        for (int i = 0; i < count; ++i) {
            static_cast<QListWidget*>(view)->addItem(QStringLiteral("row %1").arg(i));
        }
        CLuScrollWnd* frame = AttachSkinScrollBars(view, bitmap);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
        QApplication::processEvents();
        return frame;
    }
    QImage bitmap = SkinBitmap();
    QWidget parent;
};

}  // namespace

TEST_F(CLuScrollWndTest, FrameTakesThePlaceAndAListShorterThanItsPageDisablesTheBar) {
    auto* list = new QListWidget;
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CLuScrollWnd* frame = WrapList(list, 3);
    EXPECT_EQ(frame->parentWidget(), &parent);
    EXPECT_EQ(frame->geometry(), QRect(20, 30, 200, 150));
    EXPECT_EQ(list->parentWidget(), frame);
    EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(frame->VerticalBar()->isVisible());
    EXPECT_FALSE(frame->VerticalBar()->isEnabled());
    EXPECT_EQ(frame->VerticalBar()->geometry(), QRect(174, 0, 26, 150));
    EXPECT_EQ(list->geometry(), QRect(0, 0, 174, 150));
    EXPECT_FALSE(frame->HorizontalBar()->isVisible());

    for (int i = 3; i < 40; ++i) list->addItem(QStringLiteral("row %1").arg(i));
    QApplication::processEvents();
    EXPECT_TRUE(frame->VerticalBar()->isEnabled());
}

TEST_F(CLuScrollWndTest, AsNeededBarShowsOnlyWhenTheContentDoesNotFit) {
    auto* list = new CLuListBox;
    CLuScrollWnd* frame = WrapList(list, 3);
    EXPECT_FALSE(frame->VerticalBar()->isVisible());
    EXPECT_EQ(list->width(), 200);
    for (int i = 0; i < 10; ++i) list->AddString(QStringLiteral("more %1").arg(i));
    QApplication::processEvents();
    EXPECT_TRUE(frame->VerticalBar()->isVisible());
    EXPECT_EQ(list->width(), 174);
}

TEST_F(CLuScrollWndTest, WheelKeysAndSkinnedRequestsKeepTheBarAndTheListInStep) {
    auto* list = new CLuListBox;
    CLuScrollWnd* frame = WrapList(list, 30);  // 5 rows of 29 visible
    CLuScrollBar* bar = frame->VerticalBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->ScrollInfo().page, list->verticalScrollBar()->pageStep());
    EXPECT_EQ(bar->Geometry().Range(), list->verticalScrollBar()->maximum());
    const int topAtStart = bar->Geometry().ThumbStart();

    QWheelEvent wheel(QPointF(50, 50), list->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    EXPECT_GT(bar->ScrollInfo().pos, 0);
    EXPECT_EQ(bar->ScrollInfo().pos, list->verticalScrollBar()->value());
    EXPECT_GT(bar->Geometry().ThumbStart(), topAtStart);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    QApplication::processEvents();
    EXPECT_EQ(bar->ScrollInfo().pos, bar->Geometry().Range());

    // A click on the bar's first arrow scrolls the list one row up.
    const int before = list->verticalScrollBar()->value();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(10, 5));
    EXPECT_EQ(list->verticalScrollBar()->value(), before - 1);
    EXPECT_EQ(bar->ScrollInfo().pos, before - 1);

    // While the thumb is dragged the list follows but does not feed back.
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(10, bar->Geometry().ThumbStart() + 2));
    QTest::mouseMove(bar, QPoint(10, -200));
    EXPECT_EQ(list->verticalScrollBar()->value(), 0);
    EXPECT_EQ(bar->ScrollInfo().pos, before - 1);
    EXPECT_EQ(bar->ScrollInfo().trackPos, 0);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(10, -200));
    EXPECT_EQ(bar->ScrollInfo().pos, 0);
}

TEST_F(CLuScrollWndTest, BothBarsPaintTheCornerCell) {
    auto* list = new QListWidget;
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CLuScrollWnd* frame = WrapList(list, 3);
    ASSERT_TRUE(frame->CornerShown());
    EXPECT_EQ(frame->HorizontalBar()->geometry(), QRect(0, 124, 174, 26));
    const QImage shot = Shot(*frame);
    EXPECT_EQ(shot.pixel(174, 124), CellPixel(bitmap, 8, 0, 0, 0));
    EXPECT_EQ(shot.pixel(199, 149), CellPixel(bitmap, 8, 0, 25, 25));
}

TEST_F(CLuScrollWndTest, DestroyingTheWrappedWidgetLeavesTheParentAsBefore) {
    auto* sibling = new QWidget(&parent);
    const QObjectList before = parent.children();
    auto* list = new CLuListBox(&parent);
    QPointer<CLuScrollWnd> frame = WrapList(list, 30);
    EXPECT_NE(parent.children(), before);
    delete list;
    EXPECT_EQ(parent.children(), before);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_EQ(sibling->parentWidget(), &parent);
}

TEST_F(CLuScrollWndTest, FrameTakesTheWidgetsSlotInTheLayout) {
    auto* layout = new QVBoxLayout(&parent);
    auto* above = new QWidget;
    auto* list = new CLuListBox;
    layout->addWidget(above);
    layout->addWidget(list);
    CLuScrollWnd* frame = AttachSkinScrollBars(list, bitmap);
    EXPECT_EQ(layout->indexOf(frame), 1);
    EXPECT_EQ(layout->indexOf(list), -1);
    EXPECT_EQ(list->parentWidget(), frame);
}

TEST_F(CLuScrollWndTest, FrameKeepsTheWidgetsVisibility) {
    QWidget hiddenParent;
    auto* shown = new QListWidget(&hiddenParent);
    auto* hidden = new QListWidget(&hiddenParent);
    hidden->hide();
    CLuScrollWnd* shownFrame = AttachSkinScrollBars(shown, bitmap);
    CLuScrollWnd* hiddenFrame = AttachSkinScrollBars(hidden, bitmap);
    hiddenParent.show();
    EXPECT_TRUE(shownFrame->isVisible());
    EXPECT_FALSE(hiddenFrame->isVisible());
}

TEST_F(CLuScrollWndTest, DeletingTheParentTakesFrameAndWidgetAlong) {
    auto* owner = new QWidget;
    auto* list = new CLuListBox(owner);
    QPointer<CLuListBox> watchList = list;
    QPointer<CLuScrollWnd> frame = AttachSkinScrollBars(list, bitmap);
    delete owner;
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(watchList.isNull());
}
