#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <initializer_list>

// A strip of equal cells side by side, each filled with one colour.
inline QImage MakeStrip(std::initializer_list<QRgb> colors, int width, int height) {
    QImage strip(width, height, QImage::Format_ARGB32);
    const int cell = width / static_cast<int>(colors.size());
    QPainter painter(&strip);
    int x = 0;
    for (QRgb color : colors) {
        painter.fillRect(QRect(x, 0, cell, height), QColor::fromRgba(color));
        x += cell;
    }
    return strip;
}

// An opaque image whose every pixel differs from its neighbours.
inline QImage MakePattern(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, 90));
    }
    return image;
}

inline QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kBlack = 0xFF000000;
