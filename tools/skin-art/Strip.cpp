#include "tools/skin-art/Strip.h"

QImage blankImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage makeStrip(QSize cell, int cells, const CellDrawer& draw) {
    QImage strip = blankImage(QSize(cell.width() * cells, cell.height()));
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < cells; ++i) {
        const QRectF rect(i * cell.width(), 0, cell.width(), cell.height());
        p.save();
        p.setClipRect(rect);
        draw(p, rect, static_cast<CellState>(i % 4));
        p.restore();
    }
    return strip;
}
