// Button strips of both programs: four cells (normal, hover, pressed,
// disabled) of one face style each. Captions are never part of the picture;
// the buttons draw them.
#pragma once

#include "tools/skin-art/Palette.h"
#include "tools/skin-art/SkinPainter.h"

#include <QImage>
#include <QSize>

class ButtonArt {
  public:
    // Borrows the palette for the lifetime of this object.
    explicit ButtonArt(const Palette& palette) : pal_(palette) {}

    // Message-box and "Back"/"Cancel" button, cells of 112 x 36.
    QImage dialogButton() const;
    // Action column tile, cells of 354 x 60 (they stack without gaps).
    QImage actionButton() const;
    // Small caption button of the title bar ("info", "help"), cells 44 x 24.
    QImage textButton() const;
    // Minimise button with a bar glyph, cells of the given size.
    QImage minimiseButton(QSize cell) const;
    // Close button with a cross glyph; hover and pressed turn red.
    QImage closeButton(QSize cell) const;
    // List paging button (Up or Down chevron), cells 32 x 22.
    QImage pageButton(Direction dir) const;
    // Plain face without glyph, cells 32 x 22 (resource loaded but unused).
    QImage plainButton() const;
    // Drop-down face: text field with an arrow zone in the right 30 px,
    // cells 160 x 30.
    QImage comboFace() const;

  private:
    QImage glyphButton(
        QSize cell, bool danger, qreal radius,
        const std::function<void(SkinPainter&, QPointF, const QColor&)>& glyph) const;
    const Palette& pal_;
};
