#include "tools/skin-art/IconArt.h"

#include "tools/skin-art/Strip.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

static QImage onCanvas(int size, const std::function<void(QPainter&)>& draw) {
    QImage image = blankImage(QSize(size, size));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    draw(p);
    return image;
}

static void emblemBase(QPainter& p, const Palette& pal) {
    const QRectF base(10, 10, 236, 236);
    QLinearGradient fill(base.topLeft(), base.bottomLeft());
    fill.setColorAt(0, pal.accent.lighter(115));
    fill.setColorAt(0.55, pal.accentDeep);
    fill.setColorAt(1, pal.accentDeep.darker(170));
    p.setPen(QPen(QColor(0, 0, 0, 150), 4));
    p.setBrush(fill);
    p.drawRoundedRect(base, 54, 54);
    QLinearGradient sheen(base.topLeft(), QPointF(base.left(), base.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(QPen(QBrush(sheen), 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(base.adjusted(5, 5, -5, -5), 49, 49);
}

static void emblemDevice(QPainter& p, const Palette& pal) {
    const QRectF body(48, 100, 104, 112);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(0xd2, 0xe2, 0xf5));
    p.setPen(QPen(QColor(0, 0, 0, 90), 3));
    p.setBrush(fill);
    p.drawRoundedRect(body, 16, 16);
    for (int i = 0; i < 2; ++i) {
        const QRectF bay(64, 118 + i * 42, 72, 28);
        p.setPen(Qt::NoPen);
        p.setBrush(pal.accentDeep.darker(120));
        p.drawRoundedRect(bay, 7, 7);
        p.setBrush(pal.led);
        p.drawEllipse(QPointF(bay.right() - 13, bay.center().y()), 5, 5);
    }
}

static void emblemWaves(QPainter& p) {
    const QPointF centre(150, 104);
    const int alphas[3] = {255, 205, 150};
    for (int i = 0; i < 3; ++i) {
        const qreal r = 30 + i * 26;
        p.setPen(QPen(QColor(255, 255, 255, alphas[i]), 13, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 8 * 16, 74 * 16);
    }
}

void IconArt::drawEmblem(QPainter& p, const QRectF& target) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(target.topLeft());
    p.scale(target.width() / 256.0, target.height() / 256.0);
    emblemBase(p, pal_);
    emblemDevice(p, pal_);
    emblemWaves(p);
    p.restore();
}

QImage IconArt::emblem(int size) const {
    QImage image = blankImage(QSize(size, size));
    QPainter p(&image);
    drawEmblem(p, QRectF(0, 0, size, size));
    return image;
}

void IconArt::drawBadge(QPainter& p) const {
    const QPointF c(190, 190);
    p.setPen(QPen(QColor(0, 0, 0, 120), 4));
    QLinearGradient fill(c - QPointF(0, 56), c + QPointF(0, 56));
    fill.setColorAt(0, pal_.success.lighter(125));
    fill.setColorAt(1, pal_.success.darker(135));
    p.setBrush(fill);
    p.drawEllipse(c, 56, 56);
    p.setPen(QPen(Qt::white, 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(c + QPointF(0, -30), c + QPointF(0, 22));
    p.drawPolyline(QPolygonF({c + QPointF(-22, 2), c + QPointF(0, 26), c + QPointF(22, 2)}));
}

QImage IconArt::updaterIcon(int size) const {
    return onCanvas(size, [this](QPainter& p) {
        drawEmblem(p, QRectF(0, 0, 256, 256));
        drawBadge(p);
    });
}

void IconArt::floorShadow(QPainter& p, const QRectF& r) const {
    QRadialGradient g(r.center(), r.width() / 2);
    g.setColorAt(0, QColor(0, 0, 0, 110));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.save();
    p.translate(r.center());
    p.scale(1.0, r.height() / r.width());
    p.translate(-r.center());
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r.center(), r.width() / 2, r.width() / 2);
    p.restore();
}

void IconArt::drawTower(QPainter& p) const {
    floorShadow(p, QRectF(48, 214, 160, 30));
    const QRectF body(64, 22, 128, 206);
    QLinearGradient fill(body.topLeft(), body.topRight());
    fill.setColorAt(0, QColor(0x55, 0x61, 0x73));
    fill.setColorAt(0.5, QColor(0x3a, 0x44, 0x53));
    fill.setColorAt(1, QColor(0x22, 0x29, 0x33));
    p.setPen(QPen(QColor(0, 0, 0, 200), 3));
    p.setBrush(fill);
    p.drawRoundedRect(body, 18, 18);
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(4, 4, -4, -4), 14, 14);
    for (int i = 0; i < 2; ++i) {
        const QRectF bay(82, 46 + i * 62, 92, 50);
        p.setPen(QPen(QColor(0, 0, 0, 180), 2));
        p.setBrush(QColor(0x1a, 0x1f, 0x27));
        p.drawRoundedRect(bay, 8, 8);
        p.setPen(QPen(QColor(255, 255, 255, 40), 2));
        for (int k = 0; k < 3; ++k)
            p.drawLine(QPointF(94, bay.top() + 14 + k * 11), QPointF(140, bay.top() + 14 + k * 11));
        p.setPen(Qt::NoPen);
        p.setBrush(pal_.accent);
        p.drawEllipse(QPointF(158, bay.center().y()), 5, 5);
    }
    p.setPen(QPen(pal_.accent, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(100, 192), QPointF(156, 192));
}

void IconArt::drawPlayer(QPainter& p, bool dark) const {
    floorShadow(p, QRectF(18, 170, 220, 34));
    if (dark) {
        p.setPen(QPen(QColor(0x20, 0x26, 0x30), 7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(60, 104), QPointF(44, 40));
        p.drawLine(QPointF(196, 104), QPointF(212, 40));
    }
    const QRectF body(20, 100, 216, 78);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, dark ? QColor(0x4a, 0x54, 0x63) : QColor(0xf4, 0xf7, 0xfb));
    fill.setColorAt(1, dark ? QColor(0x14, 0x19, 0x21) : QColor(0xa9, 0xb5, 0xc4));
    p.setPen(QPen(QColor(0, 0, 0, 190), 3));
    p.setBrush(fill);
    p.drawRoundedRect(body, 16, 16);
    p.setPen(QPen(QColor(255, 255, 255, dark ? 60 : 170), 2));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(36, 105), QPointF(220, 105));
    const QRectF screen(40, 118, 120, 42);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0b, 0x12, 0x1c));
    p.drawRoundedRect(screen, 8, 8);
    p.setBrush(dark ? pal_.accentLight : pal_.accent);
    p.drawPolygon(QPolygonF({QPointF(88, 126), QPointF(88, 152), QPointF(110, 139)}));
    p.setBrush(dark ? pal_.accent : pal_.success);
    p.drawEllipse(QPointF(206, 139), 6, 6);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(QPointF(182, 139), 9, 9);
}

void IconArt::drawCompact(QPainter& p) const {
    floorShadow(p, QRectF(56, 206, 144, 30));
    const QRectF body(70, 50, 116, 170);
    QLinearGradient fill(body.topLeft(), body.topRight());
    fill.setColorAt(0, QColor(0xfa, 0xfc, 0xff));
    fill.setColorAt(1, QColor(0xb4, 0xc0, 0xcf));
    p.setPen(QPen(QColor(0, 0, 0, 180), 3));
    p.setBrush(fill);
    p.drawRoundedRect(body, 22, 22);
    const QRectF bay(88, 74, 80, 96);
    p.setPen(QPen(QColor(0, 0, 0, 60), 2));
    p.setBrush(QColor(0xe3, 0xe9, 0xf1));
    p.drawRoundedRect(bay, 12, 12);
    p.setPen(QPen(QColor(0, 0, 0, 45), 2));
    for (int k = 0; k < 4; ++k) p.drawLine(QPointF(102, 94 + k * 16), QPointF(154, 94 + k * 16));
    p.setPen(QPen(pal_.accent, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(128, 196), 9, 9);
}

QImage IconArt::deviceIcon(int modelClass, int size) const {
    return onCanvas(size, [this, modelClass](QPainter& p) {
        switch (modelClass) {
            case 1:
                return drawTower(p);
            case 2:
                return drawPlayer(p, false);
            case 3:
                return drawPlayer(p, true);
            default:
                return drawCompact(p);
        }
    });
}
