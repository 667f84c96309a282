#include "skin/SkinImage.h"

#include <QColorSpace>
#include <QImageReader>
#include <QString>

QImage LoadPngResource(int id) {
    QImageReader reader(QStringLiteral(":/png/%1.png").arg(id), "png");
    QImage image = reader.read();
    if (image.isNull()) return {};
    // Pixels are used as stored: no colour management.
    image.setColorSpace(QColorSpace());
    return image;
}

QRect ImageStrip::Cell(int x0, int y0, int totalWidth, int height, int count, int index) {
    if (count <= 0) return {};
    const int cellWidth = totalWidth / count;
    return QRect(x0 + index * cellWidth, y0, cellWidth, height);
}

QSize ImageStrip::CellSize(int totalWidth, int height, int count) {
    if (count <= 0) return {};
    return QSize(totalWidth / count, height);
}

FaceSlots::FaceSlots(int slotCount) : slotCount_(qBound(1, slotCount, kMaxSlots)) {}

bool FaceSlots::SetImages(const QImage& image, int x0, int y0, int totalWidth, int height,
                          int cellCount) {
    if (cellCount < 1 || cellCount > kMaxSlots) return false;
    for (int i = 0; i < cellCount && i < slotCount_; ++i) {
        slots_[i].image = image;
        slots_[i].source = ImageStrip::Cell(x0, y0, totalWidth, height, cellCount, i);
    }
    return true;
}

const ImagePart& FaceSlots::Slot(int index) const {
    static const ImagePart kNone;
    if (index < 0 || index >= slotCount_) return kNone;
    return slots_[index];
}

int FaceSlots::SlotFor(bool disabled, bool pressed, bool hovered) {
    if (disabled) return kDisabled;
    if (pressed) return kPressed;
    if (hovered) return kHover;
    return kNormal;
}
