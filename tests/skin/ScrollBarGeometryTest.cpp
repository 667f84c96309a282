// The skinned scroll bar's geometry: thumb size and place, arrows, hit-testing
// and dragging, without a window.
#include <gtest/gtest.h>

#include "skin/ScrollBarGeometry.h"

namespace {

ScrollState State(int min, int max, int page, int pos, int trackPos = -1) {
    ScrollState state;
    state.min = min;
    state.max = max;
    state.page = page;
    state.pos = pos;
    state.trackPos = trackPos;
    return state;
}

struct SizeCase {
    int length;
    ScrollState state;
    int track, arrow, range, thumb, drawnThumb, thumbStart;
};

}  // namespace

TEST(ScrollBarGeometryTest, TrackThumbArrowsAndOffsetFollowTheStateAndLength) {
    const SizeCase cases[] = {
        // 100 long, cells of 26: track 48; thumb 10 * 48 / 100 = 4 raised to 6.
        {100, State(0, 99, 10, 0), 48, 26, 90, 6, 6, 26},
        {100, State(0, 99, 10, 90), 48, 26, 90, 6, 6, 68},
        {100, State(0, 99, 10, 45), 48, 26, 90, 6, 6, 47},
        // Half the content visible: thumb half the track.
        {200, State(0, 9, 5, 5), 148, 26, 5, 74, 74, 100},
        // The track position wins over the position while dragging.
        {100, State(0, 99, 10, 0, 90), 48, 26, 90, 6, 6, 68},
        // A track of 5 pixels has no thumb; the arrows keep their cell.
        {57, State(0, 99, 10, 50), 5, 26, 90, 0, 0, 28},
        // No track: the arrows share the length equally.
        {40, State(0, 99, 10, 50), 0, 20, 90, 0, 0, 20},
        {52, State(0, 99, 10, 50), 0, 26, 90, 0, 0, 26},
        // Everything fits (R = 0): the thumb fills the track and is not drawn.
        {100, State(0, 9, 10, 0), 48, 26, 0, 48, 0, 26},
        // More page than content (R < 0): same, never outside the track.
        {100, State(0, 2, 10, 0), 48, 26, -7, 48, 0, 26},
        // A position past R keeps the thumb inside the track.
        {100, State(0, 99, 10, 500), 48, 26, 90, 6, 6, 68},
        // A minimum above 0.
        {100, State(5, 104, 10, 5), 48, 26, 90, 6, 6, 28},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length << " pos " << c.state.pos
                                        << " page " << c.state.page);
        const ScrollBarGeometry g(c.length, 26, c.state);
        EXPECT_EQ(g.Track(), c.track);
        EXPECT_EQ(g.ArrowLength(), c.arrow);
        EXPECT_EQ(g.Range(), c.range);
        EXPECT_EQ(g.ThumbLength(), c.thumb);
        EXPECT_EQ(g.DrawnThumbLength(), c.drawnThumb);
        EXPECT_EQ(g.ThumbStart(), c.thumbStart);
    }
}

TEST(ScrollBarGeometryTest, HitTestingAtEveryBoundary) {
    // Arrows [0, 26) and [74, 100); thumb [47, 53).
    const ScrollBarGeometry g(100, 26, State(0, 99, 10, 45));
    const std::pair<int, int> cases[] = {
        {-1, kScrollNone},        {0, kScrollFirstArrow},   {25, kScrollFirstArrow},
        {26, kScrollTrackBefore}, {46, kScrollTrackBefore}, {47, kScrollThumbTrack},
        {52, kScrollThumbTrack},  {53, kScrollTrackAfter},  {73, kScrollTrackAfter},
        {74, kScrollSecondArrow}, {99, kScrollSecondArrow}, {100, kScrollNone},
    };
    for (auto [along, part] : cases) EXPECT_EQ(g.HitTest(along), part) << "at " << along;

    // Without a track the two arrows meet in the middle.
    const ScrollBarGeometry shared(41, 26, State(0, 99, 10, 0));
    EXPECT_EQ(shared.HitTest(19), kScrollFirstArrow);
    EXPECT_EQ(shared.HitTest(20), kScrollTrackAfter);  // the odd pixel between them
    EXPECT_EQ(shared.HitTest(21), kScrollSecondArrow);
    EXPECT_EQ(shared.HitTest(40), kScrollSecondArrow);

    // At the top the thumb starts where the first arrow ends.
    const ScrollBarGeometry top(100, 26, State(0, 99, 10, 0));
    EXPECT_EQ(top.HitTest(25), kScrollFirstArrow);
    EXPECT_EQ(top.HitTest(26), kScrollThumbTrack);
}

TEST(ScrollBarGeometryTest, DragMovesByRangePerFreeTrackAndStopsAtMinAndRange) {
    // 42 free pixels carry 90 positions.
    const ScrollBarGeometry g(100, 26, State(0, 99, 10, 45));
    EXPECT_EQ(g.DragPosition(45, 0), 45);
    EXPECT_EQ(g.DragPosition(45, 7), 60);
    EXPECT_EQ(g.DragPosition(45, -7), 30);
    EXPECT_EQ(g.DragPosition(45, 21), 90);
    EXPECT_EQ(g.DragPosition(45, 1000), 90);
    EXPECT_EQ(g.DragPosition(45, -1000), 0);

    const ScrollBarGeometry shifted(100, 26, State(5, 104, 10, 50));
    EXPECT_EQ(shifted.DragPosition(50, -1000), 5);
    EXPECT_EQ(shifted.DragPosition(50, 1000), 90);

    // A thumb that fills the track does not move.
    const ScrollBarGeometry full(100, 26, State(0, 9, 10, 0));
    EXPECT_EQ(full.DragPosition(0, 30), 0);
}
