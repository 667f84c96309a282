// Drawing vocabulary of the skin: raised and sunken faces lit from above,
// 1-px highlights and simple glyphs. Every shape is drawn antialiased on
// half-pixel positions so 1-px lines stay crisp.
#pragma once

#include "tools/skin-art/Palette.h"
#include "tools/skin-art/Strip.h"

#include <QPainter>
#include <QRectF>

enum class Direction { Up, Down, Left, Right };

// Colours of a control face in one state; built by faceColours().
struct FaceColours {
    QColor top;
    QColor bottom;
    QColor border;
    QColor glyph;
    int highlight = 0;    // alpha of the 1-px top highlight
    bool sunken = false;  // pressed look: inner shadow, glyph 1 px lower
};

class SkinPainter {
  public:
    // Borrows both for the lifetime of this object.
    SkinPainter(QPainter& painter, const Palette& palette) : p_(painter), pal_(palette) {}

    // The face colours for a state; danger gives the red close-button family.
    FaceColours faceColours(CellState state, bool danger = false) const;

    // Rounded face inside cell (1 px kept free around it, 1 px drop shadow
    // below): gradient fill, dark outline, top highlight or inner shadow.
    // Returns the face rectangle (for placing a glyph).
    QRectF face(const QRectF& cell, qreal radius, const FaceColours& c);

    // A 1-px white line along the top edge of the rounded rect r that fades
    // out towards the middle of its height.
    void topHighlight(const QRectF& r, qreal radius, int alpha);

    // A dark band inside the top of r that fades downwards (pressed or
    // recessed look).
    void innerShadow(const QRectF& r, qreal radius, int alpha);

    // Recessed area: dark fill, inner shadow on top, 1-px light rim below.
    void well(const QRectF& r, qreal radius, const QColor& fill);

    // Open chevron pointing dir, size = its width, centred on centre.
    void chevron(QPointF centre, qreal size, Direction dir, const QColor& c, qreal width = 2.0);
    // Solid triangle pointing dir, size = its base.
    void triangle(QPointF centre, qreal size, Direction dir, const QColor& c);
    // Diagonal cross (close glyph).
    void cross(QPointF centre, qreal size, const QColor& c, qreal width = 2.0);
    // Horizontal bar (minimise glyph), drawn size wide on the line y.
    void minus(QPointF centre, qreal size, const QColor& c, qreal width = 2.0);
    // Soft radial glow of colour c fading to transparent at radius.
    void glow(QPointF centre, qreal radius, const QColor& c);
    // Round LED lens of diameter d; lit draws a glow and a bright core.
    void led(QPointF centre, qreal d, const QColor& c, bool lit);

    QPainter& painter() { return p_; }
    const Palette& palette() const { return pal_; }

  private:
    QPainter& p_;
    const Palette& pal_;
};
