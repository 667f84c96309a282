#include "skin/ScrollBarGeometry.h"

#include <algorithm>
#include <cstdint>

ScrollBarGeometry::ScrollBarGeometry(int length, int cell, const ScrollState& state)
    : length_(std::max(0, length)), min_(state.min) {
    track_ = std::max(0, length_ - 2 * std::max(0, cell));
    arrow_ = track_ == 0 ? length_ / 2 : cell;
    range_ = state.max - state.min - state.page + 1;
    const std::int64_t span = static_cast<std::int64_t>(state.max) - state.min + 1;
    if (track_ <= 5) {
        thumb_ = 0;
    } else if (span <= 0) {
        thumb_ = track_;
    } else {
        const std::int64_t length64 = std::max(0, state.page) * std::int64_t{track_} / span;
        thumb_ = static_cast<int>(std::clamp<std::int64_t>(length64, 6, track_));
    }
    const int free = track_ - thumb_;
    int offset = free / 2;
    if (range_ > 0) {
        const int p = state.trackPos >= 0 ? state.trackPos : state.pos;
        offset = static_cast<int>(std::int64_t{free} * p / range_);
    }
    thumbStart_ = arrow_ + std::clamp(offset, 0, free);
}

int ScrollBarGeometry::HitTest(int along) const {
    if (along < 0 || along >= length_) return kScrollNone;
    if (along < arrow_) return kScrollFirstArrow;
    if (along >= length_ - arrow_) return kScrollSecondArrow;
    if (along < thumbStart_) return kScrollTrackBefore;
    if (along < thumbStart_ + thumb_) return kScrollThumbTrack;
    return kScrollTrackAfter;
}

int ScrollBarGeometry::DragPosition(int startPos, int delta) const {
    const int free = track_ - thumb_;
    std::int64_t pos = startPos;
    if (free > 0) pos += std::int64_t{delta} * range_ / free;
    if (pos < min_) return min_;
    if (pos > range_) return range_;
    return static_cast<int>(pos);
}
