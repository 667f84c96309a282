// Frames of the updater's "DOWNLOAD" animation (345 x 70): a cloud on the
// left, the emblem on the right and data packets running between them. The
// frames are opaque and carry the dialog background behind them, because the
// dialog draws each frame straight over the previous one.
#pragma once

#include "tools/skin-art/IconArt.h"
#include "tools/skin-art/Palette.h"

#include <QImage>

class DownloadAnimation {
  public:
    static constexpr int kFrames = 16;
    static constexpr int kWidth = 345;
    static constexpr int kHeight = 70;

    // backdrop is the dialog background under the animation (345 x 70);
    // palette and icons are borrowed for the lifetime of this object.
    DownloadAnimation(const Palette& palette, const IconArt& icons, QImage backdrop)
        : pal_(palette), icons_(icons), backdrop_(std::move(backdrop)) {}

    // Frame index 0 .. kFrames - 1; the sequence loops seamlessly.
    QImage frame(int index) const;

  private:
    void cloud(QPainter& p, qreal phase) const;
    void channel(QPainter& p, qreal phase) const;
    const Palette& pal_;
    const IconArt& icons_;
    QImage backdrop_;
};
