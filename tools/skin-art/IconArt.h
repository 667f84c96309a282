// The product emblem (application icon, About logo, title-bar mark), the
// updater icon and one icon per device model class. All are drawn on a
// 256-unit canvas and scaled, so every size comes from one drawing.
#pragma once

#include "tools/skin-art/Palette.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

class IconArt {
  public:
    // Borrows the palette for the lifetime of this object.
    explicit IconArt(const Palette& palette) : pal_(palette) {}

    // The emblem at size x size pixels, transparent around it.
    QImage emblem(int size) const;
    // Draws the emblem into target (a square) on an existing painter.
    void drawEmblem(QPainter& p, const QRectF& target) const;
    // Updater icon: the emblem with a download badge.
    QImage updaterIcon(int size) const;
    // Shortcut icon of a model class 1-4: 1 two-bay storage tower, 2 silver
    // media player, 3 dark wireless media player, 4 compact one-bay storage.
    QImage deviceIcon(int modelClass, int size) const;

  private:
    void drawTower(QPainter& p) const;
    void drawPlayer(QPainter& p, bool dark) const;
    void drawCompact(QPainter& p) const;
    void drawBadge(QPainter& p) const;
    void floorShadow(QPainter& p, const QRectF& r) const;
    const Palette& pal_;
};
