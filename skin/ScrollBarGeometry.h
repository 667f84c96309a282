#pragma once

// Scroll state of a skinned scroll bar, in the platform's scroll-info terms:
// the content runs from min to max, page is the visible amount, positions run
// from min to the range R = max - min - page + 1. trackPos is the position
// the thumb is being dragged to, -1 when no drag is in progress.
struct ScrollState {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
    int trackPos = -1;

    bool SameScroll(const ScrollState& other) const {
        return min == other.min && max == other.max && page == other.page && pos == other.pos;
    }
};

// Parts of a scroll bar. Their codes are also the scroll request codes a bar
// sends: line up/down for the arrows, page up/down for the track, thumb
// position when a drag ends and thumb track while it moves.
enum ScrollPart : int {
    kScrollNone = -1,
    kScrollFirstArrow = 0,
    kScrollSecondArrow = 1,
    kScrollTrackBefore = 2,
    kScrollTrackAfter = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
};

// The geometry of a skinned bar along its length, without a window. For a
// bar of length L and cell size c: track T = L - 2c (at least 0); arrows c
// long, or L / 2 each when T is 0; the thumb page * T / (max - min + 1) long
// and at least 6, or no thumb when T <= 5. Offsets count from the bar's
// start (top or left). A value type: cheap to build for every event.
class ScrollBarGeometry {
  public:
    ScrollBarGeometry(int length, int cell, const ScrollState& state);

    int Length() const { return length_; }
    int Track() const { return track_; }
    int ArrowLength() const { return arrow_; }
    // R: the largest position; 0 or less when everything fits.
    int Range() const { return range_; }
    // The thumb length used for hit-testing and dragging.
    int ThumbLength() const { return thumb_; }
    // The thumb length that is drawn: also 0 when R is 0 or less.
    int DrawnThumbLength() const { return range_ > 0 ? thumb_ : 0; }
    // Where the thumb starts, from the bar's start: the first arrow, then
    // (T - thumb) * p / R with p the track position while dragging and the
    // position otherwise, or (T - thumb) / 2 when R is 0 or less.
    int ThumbStart() const { return thumbStart_; }
    int TrackEnd() const { return length_ - arrow_; }

    // The part at distance `along` from the bar's start: kScrollNone before
    // the start or past the end, else an arrow, a track part or
    // kScrollThumbTrack for the thumb.
    int HitTest(int along) const;

    // The position a drag that started at startPos reaches after the pointer
    // moved `delta` pixels along the bar: startPos + delta * R / (T - thumb)
    // (no movement when the thumb fills the track), kept at min when below it
    // and at R when above it.
    int DragPosition(int startPos, int delta) const;

  private:
    int length_;
    int min_;
    int track_;
    int arrow_;
    int range_;
    int thumb_;
    int thumbStart_;
};
