#include "tools/skin-art/ButtonArt.h"

#include <QLinearGradient>

QImage ButtonArt::glyphButton(
    QSize cell, bool danger, qreal radius,
    const std::function<void(SkinPainter&, QPointF, const QColor&)>& glyph) const {
    return makeStrip(cell, 4, [&](QPainter& p, const QRectF& rect, CellState state) {
        SkinPainter sp(p, pal_);
        const FaceColours colours = sp.faceColours(state, danger);
        const QRectF r = sp.face(rect, radius, colours);
        if (glyph) {
            const QPointF centre = r.center() + QPointF(0, colours.sunken ? 1.0 : 0.0);
            glyph(sp, centre, colours.glyph);
        }
    });
}

QImage ButtonArt::dialogButton() const {
    return glyphButton(QSize(112, 36), false, 6, nullptr);
}

QImage ButtonArt::textButton() const {
    return glyphButton(QSize(44, 24), false, 5, nullptr);
}

QImage ButtonArt::plainButton() const {
    return glyphButton(QSize(32, 22), false, 5, nullptr);
}

QImage ButtonArt::minimiseButton(QSize cell) const {
    const qreal size = cell.height() >= 24 ? 10 : 9;
    return glyphButton(cell, false, 5, [size](SkinPainter& sp, QPointF c, const QColor& col) {
        sp.minus(c + QPointF(0, size / 2.0 - 1.0), size, col, 2.0);
    });
}

QImage ButtonArt::closeButton(QSize cell) const {
    const qreal size = cell.height() >= 24 ? 9 : 8;
    return glyphButton(cell, true, 5, [size](SkinPainter& sp, QPointF c, const QColor& col) {
        sp.cross(c, size, col, 2.0);
    });
}

QImage ButtonArt::pageButton(Direction dir) const {
    return glyphButton(
        QSize(32, 22), false, 5,
        [dir](SkinPainter& sp, QPointF c, const QColor& col) { sp.chevron(c, 11, dir, col, 2.0); });
}

static void actionTile(SkinPainter& sp, const QRectF& r, CellState state) {
    const Palette& pal = sp.palette();
    QPainter& p = sp.painter();
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    QColor border;
    switch (state) {
        case CellState::Normal:
            fill.setColorAt(0, QColor(255, 255, 255, 20));
            fill.setColorAt(1, QColor(255, 255, 255, 6));
            border = QColor(255, 255, 255, 26);
            break;
        case CellState::Hover:
            fill.setColorAt(0, withAlpha(pal.accent, 105));
            fill.setColorAt(1, withAlpha(pal.accentDeep, 90));
            border = withAlpha(pal.accent, 210);
            break;
        case CellState::Pressed:
            fill.setColorAt(0, pal.accentDeep.darker(125));
            fill.setColorAt(1, mix(pal.accentDeep, pal.accent, 0.6));
            border = QColor(0, 0, 0, 170);
            break;
        case CellState::Disabled:
            fill.setColorAt(0, QColor(255, 255, 255, 8));
            fill.setColorAt(1, QColor(255, 255, 255, 3));
            border = QColor(255, 255, 255, 12);
            break;
    }
    p.save();
    p.setPen(QPen(border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    p.restore();
    if (state == CellState::Pressed) {
        sp.innerShadow(r, 6, 120);
    } else {
        sp.topHighlight(r, 6,
                        state == CellState::Hover ? 90 : (state == CellState::Normal ? 45 : 15));
    }
}

QImage ButtonArt::actionButton() const {
    return makeStrip(QSize(354, 60), 4, [this](QPainter& p, const QRectF& rect, CellState state) {
        SkinPainter sp(p, pal_);
        const QRectF r = rect.adjusted(1.5, 2.5, -1.5, -2.5);
        actionTile(sp, r, state);
        const qreal dy = state == CellState::Pressed ? 1.0 : 0.0;
        if (state == CellState::Hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal_.accentLight);
            p.drawRoundedRect(QRectF(r.left() + 5, r.top() + 12, 3, r.height() - 24), 1.5, 1.5);
        }
        const QColor chevron = state == CellState::Normal    ? QColor(255, 255, 255, 90)
                               : state == CellState::Hover   ? pal_.accentLight
                               : state == CellState::Pressed ? QColor(Qt::white)
                                                             : withAlpha(pal_.disabledGlyph, 150);
        sp.chevron(QPointF(r.right() - 22, r.center().y() + dy), 12, Direction::Right, chevron,
                   2.0);
    });
}

QImage ButtonArt::comboFace() const {
    return makeStrip(QSize(160, 30), 4, [this](QPainter& p, const QRectF& rect, CellState state) {
        SkinPainter sp(p, pal_);
        const FaceColours colours = sp.faceColours(state);
        const QRectF r = rect.adjusted(1.5, 1.5, -1.5, -2.5);
        const bool off = state == CellState::Disabled;
        sp.well(r, 5, off ? pal_.disabledFace.darker(130) : pal_.well);
        if (state == CellState::Hover || state == CellState::Pressed) {
            p.setPen(QPen(withAlpha(pal_.accent, 220), 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r, 5, 5);
        }
        const QRectF zone(r.right() - 28, r.top() + 1, 27.5, r.height() - 1.5);
        QLinearGradient fill(zone.topLeft(), zone.bottomLeft());
        fill.setColorAt(0, colours.top);
        fill.setColorAt(1, colours.bottom);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(zone, 4, 4);
        p.setPen(QPen(QColor(0, 0, 0, 140), 1.0));
        p.drawLine(QPointF(zone.left() - 0.5, zone.top()),
                   QPointF(zone.left() - 0.5, zone.bottom()));
        const qreal dy = colours.sunken ? 1.0 : 0.0;
        sp.chevron(zone.center() + QPointF(0, dy), 10, Direction::Down, colours.glyph, 2.0);
    });
}
