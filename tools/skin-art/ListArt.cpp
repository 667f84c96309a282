#include "tools/skin-art/ListArt.h"

#include <QLinearGradient>
#include <QPainterPath>

void ListArt::rowBand(SkinPainter& sp, const QRectF& rect, CellState state) const {
    QPainter& p = sp.painter();
    const QRectF r = rect.adjusted(2.5, 2.5, -2.5, -3.5);
    p.save();
    // Separator: a dark groove with a light edge under it, in every state.
    p.setPen(QPen(QColor(0, 0, 0, 110), 1.0));
    p.drawLine(QPointF(rect.left() + 10, rect.bottom() - 1.5),
               QPointF(rect.right() - 10, rect.bottom() - 1.5));
    p.setPen(QPen(QColor(255, 255, 255, 16), 1.0));
    p.drawLine(QPointF(rect.left() + 10, rect.bottom() - 0.5),
               QPointF(rect.right() - 10, rect.bottom() - 0.5));
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    QColor border = Qt::transparent;
    if (state == CellState::Hover) {
        fill.setColorAt(0, withAlpha(pal_.accent, 62));
        fill.setColorAt(1, withAlpha(pal_.accent, 30));
        border = withAlpha(pal_.accent, 120);
    } else if (state == CellState::Pressed) {
        fill.setColorAt(0, pal_.accent);
        fill.setColorAt(1, pal_.accentDeep);
        border = withAlpha(pal_.accentLight, 150);
    } else if (state == CellState::Disabled) {
        fill.setColorAt(0, QColor(255, 255, 255, 6));
        fill.setColorAt(1, QColor(255, 255, 255, 6));
    } else {
        fill.setColorAt(0, QColor(255, 255, 255, 0));
        fill.setColorAt(1, QColor(255, 255, 255, 0));
    }
    p.setPen(border.alpha() ? QPen(border, 1.0) : QPen(Qt::NoPen));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    p.restore();
    if (state == CellState::Pressed) sp.topHighlight(r, 6, 110);
    if (state == CellState::Hover) sp.topHighlight(r, 6, 50);
}

QColor ListArt::rowGlyphColour(CellState state) const {
    switch (state) {
        case CellState::Normal:
            return QColor(255, 255, 255, 70);
        case CellState::Hover:
            return withAlpha(pal_.accentLight, 200);
        case CellState::Pressed:
            return QColor(255, 255, 255, 235);
        case CellState::Disabled:
            break;
    }
    return withAlpha(pal_.disabledGlyph, 140);
}

void ListArt::storageGlyph(QPainter& p, QPointF c, const QColor& col) const {
    p.save();
    p.setPen(QPen(col, 1.5));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        const QRectF bay(c.x() - 9, c.y() - 8 + i * 9, 18, 7);
        p.drawRoundedRect(bay, 2, 2);
        p.setBrush(col);
        p.drawEllipse(QPointF(bay.right() - 3.5, bay.center().y()), 1.0, 1.0);
        p.setBrush(Qt::NoBrush);
    }
    p.restore();
}

void ListArt::folderGlyph(QPainter& p, QPointF c, const QColor& col) const {
    QPainterPath path;
    path.moveTo(c + QPointF(-10, -6));
    path.lineTo(c + QPointF(-3.5, -6));
    path.lineTo(c + QPointF(-1.5, -3.5));
    path.lineTo(c + QPointF(10, -3.5));
    path.lineTo(c + QPointF(10, 7));
    path.lineTo(c + QPointF(-10, 7));
    path.closeSubpath();
    p.save();
    p.setPen(QPen(col, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(withAlpha(col, col.alpha() / 4));
    p.drawPath(path);
    p.drawLine(c + QPointF(-10, -0.5), c + QPointF(10, -0.5));
    p.restore();
}

QImage ListArt::deviceRows() const {
    return makeStrip(QSize(354, 60), 4, [this](QPainter& p, const QRectF& rect, CellState state) {
        SkinPainter sp(p, pal_);
        rowBand(sp, rect, state);
        // The unlit socket lies exactly under the LED mark (15 + 14, 30).
        const qreal x = rect.left();
        sp.led(QPointF(x + 29, 30), 10, pal_.led, false);
        storageGlyph(p, QPointF(x + 330, 30), rowGlyphColour(state));
    });
}

QImage ListArt::shareRows() const {
    return makeStrip(QSize(720, 47), 4, [this](QPainter& p, const QRectF& rect, CellState state) {
        SkinPainter sp(p, pal_);
        rowBand(sp, rect, state);
        const QColor glyph = rowGlyphColour(state);
        folderGlyph(p, QPointF(rect.left() + 26, 23), glyph);
        sp.chevron(QPointF(rect.right() - 22, 23), 10, Direction::Right, glyph, 1.8);
    });
}

QImage ListArt::ledMark() const {
    QImage image = blankImage(QSize(28, 60));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    SkinPainter sp(p, pal_);
    sp.led(QPointF(14, 30), 10, pal_.led, true);
    return image;
}

void ListArt::trackCell(QPainter& p, const QRectF& cell, bool vertical) const {
    p.fillRect(cell, pal_.well);
    QLinearGradient g = vertical ? QLinearGradient(cell.topLeft(), cell.topRight())
                                 : QLinearGradient(cell.topLeft(), cell.bottomLeft());
    g.setColorAt(0, QColor(0, 0, 0, 90));
    g.setColorAt(0.25, QColor(0, 0, 0, 0));
    g.setColorAt(1, QColor(255, 255, 255, 10));
    p.fillRect(cell, g);
}

void ListArt::thumbCell(QPainter& p, const QRectF& cell, bool vertical, int row) const {
    trackCell(p, cell, vertical);
    const QColor base = row == 0   ? QColor(0x44, 0x56, 0x70)
                        : row == 1 ? mix(QColor(0x44, 0x56, 0x70), pal_.accent, 0.55)
                                   : pal_.accent;
    // The caps of the thumb are the first and last 3 px along the bar, so the
    // rounding (radius 3) stays inside them and the middle tiles cleanly.
    const QRectF pill = vertical ? QRectF(cell.left() + 6.5, cell.top() + 0.5, 13, 25)
                                 : QRectF(cell.left() + 0.5, cell.top() + 6.5, 25, 13);
    QLinearGradient g = vertical ? QLinearGradient(pill.topLeft(), pill.topRight())
                                 : QLinearGradient(pill.topLeft(), pill.bottomLeft());
    g.setColorAt(0, base.lighter(125));
    g.setColorAt(1, base.darker(115));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(pill, 3, 3);
}

void ListArt::scrollCell(QPainter& p, const QRectF& cell, int column, int row) const {
    const bool vertical = column < 4;
    const int kind = column % 4;  // 0, 1 arrows, 2 thumb, 3 track
    if (column == 8) {
        p.fillRect(cell, pal_.well);
        return;
    }
    if (kind == 3) return trackCell(p, cell, vertical);
    if (kind == 2) return thumbCell(p, cell, vertical, row);
    trackCell(p, cell, vertical);
    SkinPainter sp(p, pal_);
    const CellState state = static_cast<CellState>(row);
    const FaceColours colours = sp.faceColours(state);
    const QRectF face = sp.face(cell.adjusted(1, 1, -1, 0), 4, colours);
    static const Direction dirs[2][2] = {{Direction::Up, Direction::Down},
                                         {Direction::Left, Direction::Right}};
    const QPointF centre = face.center() + QPointF(0, colours.sunken ? 1.0 : 0.0);
    sp.triangle(centre, 9, dirs[vertical ? 0 : 1][kind], colours.glyph);
}

QImage ListArt::scrollBars() const {
    QImage image(QSize(234, 78), QImage::Format_RGB32);
    image.fill(pal_.well);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 9; ++column) {
            const QRectF cell(column * 26, row * 26, 26, 26);
            p.save();
            p.setClipRect(cell);
            scrollCell(p, cell, column, row);
            p.restore();
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}
