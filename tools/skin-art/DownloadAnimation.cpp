#include "tools/skin-art/DownloadAnimation.h"

#include "tools/skin-art/SkinPainter.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace {
constexpr qreal kChannelLeft = 92;
constexpr qreal kChannelRight = 268;
constexpr qreal kPacketGap = 44;
}  // namespace

void DownloadAnimation::cloud(QPainter& p, qreal phase) const {
    auto disc = [](QPointF c, qreal r) {
        QPainterPath path;
        path.addEllipse(c, r, r);
        return path;
    };
    QPainterPath base;
    base.addRoundedRect(QRectF(17, 34, 60, 22), 11, 11);
    const QPainterPath shape =
        base.united(disc(QPointF(36, 36), 12)).united(disc(QPointF(53, 31), 17));
    QLinearGradient fill(0, 12, 0, 54);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, pal_.accentLight);
    p.setPen(QPen(QColor(0, 0, 0, 120), 1.5));
    p.setBrush(fill);
    p.drawPath(shape);
    const qreal bob = 2.0 * std::sin(phase * 2 * std::numbers::pi);
    const QPointF c(47, 40 + bob);
    p.setPen(QPen(pal_.accentDeep, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(c + QPointF(0, -9), c + QPointF(0, 7));
    p.drawPolyline(QPolygonF({c + QPointF(-6, 1), c + QPointF(0, 7), c + QPointF(6, 1)}));
}

void DownloadAnimation::channel(QPainter& p, qreal phase) const {
    SkinPainter sp(p, pal_);
    const QRectF groove(kChannelLeft, 29.5, kChannelRight - kChannelLeft, 11);
    sp.well(groove, 5.5, pal_.well);
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(groove.adjusted(1, 1, -1, -1), 4.5, 4.5);
    p.setClipPath(clip);
    const qreal y = groove.center().y();
    for (qreal x = kChannelLeft - kPacketGap + phase * kPacketGap; x < kChannelRight + 30;
         x += kPacketGap) {
        const qreal t = std::clamp((x - kChannelLeft) / (kChannelRight - kChannelLeft), 0.0, 1.0);
        const int alpha = static_cast<int>(255 * std::sin(t * std::numbers::pi));
        QLinearGradient trail(x - 30, 0, x, 0);
        trail.setColorAt(0, withAlpha(pal_.accent, 0));
        trail.setColorAt(1, withAlpha(pal_.accent, alpha * 3 / 4));
        p.fillRect(QRectF(x - 30, y - 2.5, 30, 5), trail);
        sp.glow(QPointF(x, y), 8, withAlpha(pal_.accentLight, alpha / 2));
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(Qt::white, alpha));
        p.drawEllipse(QPointF(x, y), 2.6, 2.6);
    }
    p.restore();
}

QImage DownloadAnimation::frame(int index) const {
    QImage image = backdrop_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal phase = static_cast<qreal>(index) / kFrames;
    cloud(p, phase);
    channel(p, phase);
    icons_.drawEmblem(p, QRectF(286, 11, 48, 48));
    // The emblem's lower LED answers each arriving packet.
    SkinPainter sp(p, pal_);
    const qreal pulse = 0.5 + 0.5 * std::cos(phase * 2 * std::numbers::pi);
    sp.glow(QPointF(286 + 48 * 123.0 / 256, 11 + 48 * 174.0 / 256), 5,
            withAlpha(pal_.led, static_cast<int>(180 * pulse)));
    p.end();
    return image.convertToFormat(QImage::Format_RGB32);
}
