#include "skin/StaticLayout.h"

#include <QColor>

StaticPictureLayout LayoutStaticPicture(const QRect& client, bool showPicture, int cellWidth,
                                        int pictureHeight, bool centred) {
    const int left = client.left();
    const int top = client.top();
    const int right = client.left() + client.width();
    const int bottom = client.top() + client.height();
    StaticPictureLayout layout;
    if (!showPicture) {
        layout.picture = QRect(left, top, 0, 0);
        layout.textArea = QRect(left, top, right - left, bottom - top);
        return layout;
    }
    const int h = pictureHeight;
    int picTop = top;
    int picBottom = bottom;
    if (h < bottom - top) {
        picTop = top + (bottom - top - h) / 2;
        picBottom = picTop + h;
    }
    int w = cellWidth;
    const int shownHeight = picBottom - picTop;
    if (h > 0 && shownHeight < h) {
        w = static_cast<int>(static_cast<double>(shownHeight) / h * w + 0.5);
    }
    int picLeft = left;
    int picRight = right;
    if (w < right - left) {
        if (centred) picLeft = left + (right - left - w) / 2;
        picRight = picLeft + w;
    }
    layout.picture = QRect(picLeft, picTop, picRight - picLeft, picBottom - picTop);
    layout.textArea = QRect(picRight, top, right - picRight, bottom - top);
    return layout;
}

QImage MakeFadedCopy(const QImage& image, int alpha) {
    if (image.isNull()) return {};
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage faded(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(faded.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const unsigned a = static_cast<unsigned>(qAlpha(in[x]) * alpha) / 255u;
            out[x] = (in[x] & 0x00FFFFFFu) | (a << 24);
        }
    }
    return faded;
}
