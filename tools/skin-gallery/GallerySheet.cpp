#include "GallerySheet.h"

#include <QFontMetricsF>
#include <QPainter>

#include "skin/SkinFonts.h"

void GallerySheet::NewLine() {
    if (x_ == kMargin && lineHeight_ == 0) return;
    y_ += lineHeight_ + kMargin;
    x_ = kMargin;
    lineHeight_ = 0;
}

void GallerySheet::Section(const QString& title) {
    NewLine();
    items_.push_back({QImage(), title, QPoint(kMargin, y_), true});
    y_ += kHeading;
}

void GallerySheet::Add(const QImage& image, const QString& caption) {
    const int captionWidth =
        static_cast<int>(QFontMetricsF(SkinFont(SkinFaceName(), 8)).horizontalAdvance(caption));
    const QSize size = image.size().expandedTo(QSize(captionWidth, 1));
    if (x_ > kMargin && x_ + size.width() > width_ - kMargin) NewLine();
    items_.push_back({image, caption, QPoint(x_, y_), false});
    x_ += size.width() + kMargin;
    lineHeight_ = std::max(lineHeight_, size.height() + kCaption);
}

QImage GallerySheet::Render() const {
    const int height = y_ + lineHeight_ + kMargin;
    QImage sheet(width_, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x2B, 0x2F, 0x36));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont heading = SkinFont(SkinFaceName(), 14, 1);
    const QFont caption = SkinFont(SkinFaceName(), 8);
    for (const Item& item : items_) {
        if (item.heading) {
            painter.setFont(heading);
            painter.setPen(QColor(0xF0, 0xC0, 0x40));
            painter.drawText(item.pos + QPoint(0, 20), item.text);
            continue;
        }
        // A checkerboard shows where images are transparent.
        const QRect area(item.pos, item.image.size());
        for (int cy = 0; cy < area.height(); cy += 8) {
            for (int cx = 0; cx < area.width(); cx += 8) {
                const bool dark = ((cx + cy) / 8) % 2;
                painter.fillRect(QRect(area.x() + cx, area.y() + cy, 8, 8).intersected(area),
                                 dark ? QColor(90, 90, 90) : QColor(120, 120, 120));
            }
        }
        painter.drawImage(item.pos, item.image);
        painter.setFont(caption);
        painter.setPen(QColor(0xDD, 0xDD, 0xDD));
        painter.drawText(item.pos + QPoint(0, item.image.height() + 12), item.text);
    }
    return sheet;
}
