// Pictures of the lists: device rows with an LED socket, share rows with a
// folder glyph, the lit LED mark, and the 9 x 3 cell scroll-bar bitmap of
// the drop-down list.
#pragma once

#include "tools/skin-art/Palette.h"
#include "tools/skin-art/SkinPainter.h"

#include <QImage>

class ListArt {
  public:
    // Borrows the palette for the lifetime of this object.
    explicit ListArt(const Palette& palette) : pal_(palette) {}

    // Device rows, four cells of 354 x 60 (normal, highlighted, selected,
    // disabled). The LED socket sits where the mark is drawn: centre (29, 30).
    QImage deviceRows() const;
    // Share rows, four cells of 720 x 47.
    QImage shareRows() const;
    // Lit identify LED, 28 x 60, drawn by the list at (15, 0) of a row.
    QImage ledMark() const;
    // Scroll-bar skin, 234 x 78, cells of 26 x 26: columns up, down,
    // vertical thumb, vertical track, left, right, horizontal thumb,
    // horizontal track, corner; rows normal, highlighted, pressed. Opaque.
    QImage scrollBars() const;

  private:
    void rowBand(SkinPainter& sp, const QRectF& r, CellState state) const;
    void storageGlyph(QPainter& p, QPointF centre, const QColor& c) const;
    void folderGlyph(QPainter& p, QPointF centre, const QColor& c) const;
    void scrollCell(QPainter& p, const QRectF& cell, int column, int row) const;
    void thumbCell(QPainter& p, const QRectF& cell, bool vertical, int row) const;
    void trackCell(QPainter& p, const QRectF& cell, bool vertical) const;
    QColor rowGlyphColour(CellState state) const;
    const Palette& pal_;
};
