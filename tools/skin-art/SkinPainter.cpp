#include "tools/skin-art/SkinPainter.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

FaceColours SkinPainter::faceColours(CellState state, bool danger) const {
    const QColor hot = danger ? pal_.danger : pal_.accent;
    const QColor deep = danger ? pal_.dangerDeep : pal_.accentDeep;
    FaceColours c;
    switch (state) {
        case CellState::Normal:
            c = {pal_.faceTop, pal_.faceBottom, QColor(0, 0, 0, 170), pal_.glyph, 60, false};
            break;
        case CellState::Hover:
            c = {mix(pal_.faceTop, hot, 0.55),
                 mix(pal_.faceBottom, deep, 0.6),
                 withAlpha(hot, 230),
                 Qt::white,
                 90,
                 false};
            break;
        case CellState::Pressed:
            c = {deep.darker(135), mix(deep, hot, 0.35), QColor(0, 0, 0, 200), Qt::white, 0, true};
            break;
        case CellState::Disabled:
            c = {pal_.disabledFace,
                 pal_.disabledFace.darker(115),
                 QColor(0, 0, 0, 110),
                 pal_.disabledGlyph,
                 18,
                 false};
            break;
    }
    return c;
}

QRectF SkinPainter::face(const QRectF& cell, qreal radius, const FaceColours& c) {
    const QRectF r = cell.adjusted(1.5, 1.5, -1.5, -2.5);
    p_.save();
    p_.setPen(QPen(QColor(0, 0, 0, c.sunken ? 40 : 70), 1.0));
    p_.setBrush(Qt::NoBrush);
    p_.drawRoundedRect(r.translated(0, 1), radius, radius);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, c.top);
    fill.setColorAt(1, c.bottom);
    p_.setPen(QPen(c.border, 1.0));
    p_.setBrush(fill);
    p_.drawRoundedRect(r, radius, radius);
    p_.restore();
    if (c.sunken) {
        innerShadow(r, radius, 110);
    } else if (c.highlight > 0) {
        topHighlight(r, radius, c.highlight);
    }
    return r;
}

void SkinPainter::topHighlight(const QRectF& r, qreal radius, int alpha) {
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    QLinearGradient pen(inner.topLeft(), inner.bottomLeft());
    pen.setColorAt(0, QColor(255, 255, 255, alpha));
    pen.setColorAt(0.45, QColor(255, 255, 255, 0));
    p_.save();
    p_.setPen(QPen(QBrush(pen), 1.0));
    p_.setBrush(Qt::NoBrush);
    p_.drawRoundedRect(inner, std::max<qreal>(0, radius - 1), std::max<qreal>(0, radius - 1));
    p_.restore();
}

void SkinPainter::innerShadow(const QRectF& r, qreal radius, int alpha) {
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    QLinearGradient shade(r.topLeft(), QPointF(r.left(), r.top() + std::min<qreal>(8, r.height())));
    shade.setColorAt(0, QColor(0, 0, 0, alpha));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p_.save();
    p_.setClipPath(clip, Qt::IntersectClip);
    p_.fillRect(r, shade);
    p_.restore();
}

void SkinPainter::well(const QRectF& r, qreal radius, const QColor& fill) {
    p_.save();
    p_.setPen(QPen(QColor(255, 255, 255, 22), 1.0));
    p_.setBrush(Qt::NoBrush);
    p_.drawRoundedRect(r.translated(0, 1), radius, radius);
    p_.setPen(QPen(QColor(0, 0, 0, 150), 1.0));
    p_.setBrush(fill);
    p_.drawRoundedRect(r, radius, radius);
    p_.restore();
    innerShadow(r, radius, 90);
}

static QPolygonF arrowPoints(QPointF c, qreal size, Direction dir) {
    const qreal h = size / 2.0;
    const qreal d = size / 4.0;
    switch (dir) {
        case Direction::Up:
            return QPolygonF({c + QPointF(-h, d), c + QPointF(0, -d), c + QPointF(h, d)});
        case Direction::Down:
            return QPolygonF({c + QPointF(-h, -d), c + QPointF(0, d), c + QPointF(h, -d)});
        case Direction::Left:
            return QPolygonF({c + QPointF(d, -h), c + QPointF(-d, 0), c + QPointF(d, h)});
        case Direction::Right:
            break;
    }
    return QPolygonF({c + QPointF(-d, -h), c + QPointF(d, 0), c + QPointF(-d, h)});
}

void SkinPainter::chevron(QPointF centre, qreal size, Direction dir, const QColor& c, qreal width) {
    p_.save();
    p_.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(arrowPoints(centre, size, dir));
    p_.restore();
}

void SkinPainter::triangle(QPointF centre, qreal size, Direction dir, const QColor& c) {
    p_.save();
    p_.setPen(QPen(c, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p_.setBrush(c);
    p_.drawPolygon(arrowPoints(centre, size, dir));
    p_.restore();
}

void SkinPainter::cross(QPointF centre, qreal size, const QColor& c, qreal width) {
    const qreal h = size / 2.0;
    p_.save();
    p_.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
    p_.drawLine(centre + QPointF(-h, -h), centre + QPointF(h, h));
    p_.drawLine(centre + QPointF(-h, h), centre + QPointF(h, -h));
    p_.restore();
}

void SkinPainter::minus(QPointF centre, qreal size, const QColor& c, qreal width) {
    const qreal h = size / 2.0;
    p_.save();
    p_.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
    p_.drawLine(centre + QPointF(-h, 0), centre + QPointF(h, 0));
    p_.restore();
}

void SkinPainter::glow(QPointF centre, qreal radius, const QColor& c) {
    QRadialGradient g(centre, radius);
    g.setColorAt(0, c);
    g.setColorAt(1, withAlpha(c, 0));
    p_.save();
    p_.setPen(Qt::NoPen);
    p_.setBrush(g);
    p_.drawEllipse(centre, radius, radius);
    p_.restore();
}

void SkinPainter::led(QPointF centre, qreal d, const QColor& c, bool lit) {
    const qreal r = d / 2.0;
    if (lit) glow(centre, r * 2.6, withAlpha(c, 110));
    QRadialGradient lens(centre + QPointF(-r * 0.3, -r * 0.35), r * 1.3);
    lens.setColorAt(0, lit ? c.lighter(170) : QColor(0x3a, 0x44, 0x52));
    lens.setColorAt(0.55, lit ? c : QColor(0x1c, 0x23, 0x2d));
    lens.setColorAt(1, lit ? c.darker(160) : QColor(0x10, 0x15, 0x1c));
    p_.save();
    p_.setPen(QPen(QColor(0, 0, 0, 180), 1.0));
    p_.setBrush(lens);
    p_.drawEllipse(centre, r, r);
    p_.setPen(Qt::NoPen);
    p_.setBrush(QColor(255, 255, 255, lit ? 200 : 60));
    p_.drawEllipse(centre + QPointF(-r * 0.3, -r * 0.38), r * 0.32, r * 0.22);
    p_.restore();
}
