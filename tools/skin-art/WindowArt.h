// Backgrounds: the main window (800 x 600), the panel laid over its body
// (780 x 454), the message-box / updater dialog (600 x 240) and the section
// heading (354 x 36). All backgrounds are opaque.
#pragma once

#include "tools/skin-art/IconArt.h"
#include "tools/skin-art/Palette.h"

#include <QImage>
#include <QString>

class WindowArt {
  public:
    // Borrows palette and icons for the lifetime of this object; family is
    // the font of the product name in the title bar.
    WindowArt(const Palette& palette, const IconArt& icons, QString family)
        : pal_(palette), icons_(icons), family_(std::move(family)) {}

    // Main window: title/drag band over y 0-57 with the emblem and product
    // name, body card at (10, 94, 780, 454) split at x = 400, recessed list
    // well behind (32, 194, 354, 300) and the action column.
    QImage mainBackground() const;
    // Panel over the body card, same card look, separator under y 56.
    QImage panelBackground() const;
    // Message box and updater dialog: caption band 0-34, plain body.
    QImage dialogBackground() const;
    // Section heading plate behind "Things To Do" / "Network Drives Found".
    QImage heading() const;

  private:
    QImage windowBase(QSize size) const;
    void titleBand(QPainter& p, qreal width, qreal height) const;
    void card(QPainter& p, const QRectF& r) const;
    void frame(QPainter& p, QSize size) const;
    void wordmark(QPainter& p, QPointF origin) const;
    const Palette& pal_;
    const IconArt& icons_;
    QString family_;
};
