#include "tools/skin-art/WindowArt.h"

#include "tools/skin-art/SkinPainter.h"
#include "tools/skin-art/Strip.h"

#include <QFont>
#include <QLinearGradient>
#include <QRadialGradient>

QImage WindowArt::windowBase(QSize size) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, pal_.windowTop);
    fill.setColorAt(1, pal_.windowBottom);
    p.fillRect(image.rect(), fill);
    QRadialGradient glow(QPointF(size.width() * 0.3, size.height() * 0.15), size.width() * 0.7);
    glow.setColorAt(0, withAlpha(pal_.accent, 34));
    glow.setColorAt(1, withAlpha(pal_.accent, 0));
    p.fillRect(image.rect(), glow);
    return image;
}

void WindowArt::titleBand(QPainter& p, qreal width, qreal height) const {
    QLinearGradient band(0, 0, 0, height);
    band.setColorAt(0, withAlpha(pal_.titleTop, 235));
    band.setColorAt(1, withAlpha(pal_.titleBottom, 235));
    p.fillRect(QRectF(0, 0, width, height), band);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 0, 0, 170));
    p.drawLine(QPointF(0, height), QPointF(width, height));
    p.setPen(QColor(255, 255, 255, 22));
    p.drawLine(QPointF(0, height + 1), QPointF(width, height + 1));
    QLinearGradient accent(0, 0, width, 0);
    accent.setColorAt(0, withAlpha(pal_.accent, 0));
    accent.setColorAt(0.25, withAlpha(pal_.accent, 150));
    accent.setColorAt(0.75, withAlpha(pal_.accent, 150));
    accent.setColorAt(1, withAlpha(pal_.accent, 0));
    p.setPen(QPen(QBrush(accent), 1));
    p.drawLine(QPointF(0, height - 1), QPointF(width, height - 1));
    p.restore();
}

void WindowArt::card(QPainter& p, const QRectF& r) const {
    SkinPainter sp(p, pal_);
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 60), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.translated(0, 1), 10, 10);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, withAlpha(pal_.cardTop, 235));
    fill.setColorAt(1, withAlpha(pal_.cardBottom, 235));
    p.setPen(QPen(QColor(0, 0, 0, 170), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 10, 10);
    p.restore();
    sp.topHighlight(r, 10, 40);
}

void WindowArt::frame(QPainter& p, QSize size) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 0, 0, 255));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    p.setPen(QColor(255, 255, 255, 38));
    p.drawLine(1, 1, size.width() - 2, 1);
    p.setPen(QColor(255, 255, 255, 14));
    p.drawLine(1, 2, 1, size.height() - 2);
    p.drawLine(size.width() - 2, 2, size.width() - 2, size.height() - 2);
    p.restore();
}

void WindowArt::wordmark(QPainter& p, QPointF origin) const {
    QFont bold(family_);
    bold.setPixelSize(18);
    bold.setBold(true);
    QFont light(family_);
    light.setPixelSize(18);
    p.save();
    p.setPen(QColor(0, 0, 0, 140));
    p.setFont(bold);
    const QString first = QStringLiteral("Norvale");
    const qreal w = QFontMetricsF(bold).horizontalAdvance(first + QLatin1Char(' '));
    p.drawText(origin + QPointF(0, 1), first);
    p.setPen(Qt::white);
    p.drawText(origin, first);
    p.setFont(light);
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(origin + QPointF(w, 1), QStringLiteral("Discovery"));
    p.setPen(pal_.accentLight);
    p.drawText(origin + QPointF(w, 0), QStringLiteral("Discovery"));
    p.restore();
}

QImage WindowArt::mainBackground() const {
    QImage image = windowBase(QSize(800, 600));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    titleBand(p, 800, 57);
    icons_.drawEmblem(p, QRectF(14, 10, 36, 36));
    wordmark(p, QPointF(60, 35));
    card(p, QRectF(10.5, 94.5, 779, 453));
    // Divider between the device list and the action column.
    QLinearGradient fade(0, 112, 0, 530);
    fade.setColorAt(0, QColor(0, 0, 0, 0));
    fade.setColorAt(0.15, QColor(0, 0, 0, 150));
    fade.setColorAt(0.85, QColor(0, 0, 0, 150));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(QPen(QBrush(fade), 1.0));
    p.drawLine(QPointF(399.5, 112), QPointF(399.5, 530));
    fade.setColorAt(0.15, QColor(255, 255, 255, 22));
    fade.setColorAt(0.85, QColor(255, 255, 255, 22));
    p.setPen(QPen(QBrush(fade), 1.0));
    p.drawLine(QPointF(400.5, 112), QPointF(400.5, 530));
    SkinPainter sp(p, pal_);
    sp.well(QRectF(29.5, 191.5, 359, 305), 7, withAlpha(pal_.well, 200));
    sp.well(QRectF(411.5, 191.5, 359, 305), 7, withAlpha(pal_.well, 110));
    frame(p, image.size());
    return image;
}

QImage WindowArt::panelBackground() const {
    const QImage base = windowBase(QSize(800, 600)).copy(10, 94, 780, 454);
    QImage image = base;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    card(p, QRectF(0.5, 0.5, 779, 453));
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient fade(20, 0, 760, 0);
    fade.setColorAt(0, QColor(0, 0, 0, 0));
    fade.setColorAt(0.5, QColor(0, 0, 0, 150));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(QPen(QBrush(fade), 1));
    p.drawLine(20, 56, 760, 56);
    fade.setColorAt(0.5, QColor(255, 255, 255, 24));
    p.setPen(QPen(QBrush(fade), 1));
    p.drawLine(20, 57, 760, 57);
    return image;
}

QImage WindowArt::dialogBackground() const {
    QImage image = windowBase(QSize(600, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    titleBand(p, 600, 34);
    frame(p, image.size());
    return image;
}

QImage WindowArt::heading() const {
    QImage image = blankImage(QSize(354, 36));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    SkinPainter sp(p, pal_);
    const QRectF r(0.5, 0.5, 353, 34);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, pal_.titleTop);
    fill.setColorAt(1, pal_.titleBottom);
    p.setPen(QPen(QColor(0, 0, 0, 170), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 7, 7);
    sp.topHighlight(r, 7, 60);
    QLinearGradient accent(r.left() + 30, 0, r.right() - 30, 0);
    accent.setColorAt(0, withAlpha(pal_.accent, 0));
    accent.setColorAt(0.5, pal_.accent);
    accent.setColorAt(1, withAlpha(pal_.accent, 0));
    p.fillRect(QRectF(r.left() + 30, r.bottom() - 3, r.width() - 60, 2), accent);
    return image;
}
