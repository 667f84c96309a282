#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <array>

// Loads PNG image <id> from the program's own resources (":/png/<id>.png").
// Language resources live under their own root and are never searched.
// Returns a null image when there is no such resource or it does not decode;
// the returned image owns its pixels.
QImage LoadPngResource(int id);

// A part of an image drawn by a control: the image (null for none) and the
// source rectangle taken from it. Images are implicitly shared values, so a
// part keeps its pixels alive for as long as the control holds it.
struct ImagePart {
    QImage image;
    QRect source;

    bool IsSet() const { return !image.isNull(); }
};

// Geometry of an image strip: cells of equal width side by side. Cell i of a
// strip covering (x0, y0, totalWidth, height) with n cells is
// (x0 + i * totalWidth / n, y0, totalWidth / n, height).
class ImageStrip {
  public:
    // The cell rectangle; an empty rectangle when count is not positive.
    static QRect Cell(int x0, int y0, int totalWidth, int height, int count, int index);
    // Size of one cell; empty when count is not positive.
    static QSize CellSize(int totalWidth, int height, int count);
};

// The face slots of a skinned button: slot 0 normal, 1 hover, 2 pressed,
// 3 disabled, 4 spare. A control may keep fewer slots (a combo box keeps 4);
// cells beyond its slots are ignored.
class FaceSlots {
  public:
    static constexpr int kMaxSlots = 5;
    static constexpr int kNormal = 0;
    static constexpr int kHover = 1;
    static constexpr int kPressed = 2;
    static constexpr int kDisabled = 3;

    explicit FaceSlots(int slotCount = kMaxSlots);

    // Slices the strip (image, x0, y0, totalWidth, height) into cellCount
    // cells and fills the slots from 0. cellCount must be 1 to 5; otherwise
    // nothing changes and false is returned. Slots past cellCount keep what
    // they held before.
    bool SetImages(const QImage& image, int x0, int y0, int totalWidth, int height, int cellCount);

    // Slot i, or an empty part when i is out of range.
    const ImagePart& Slot(int index) const;
    // Size of slot 0's cell: the natural size of a control using the strip.
    QSize FaceSize() const { return slots_[0].source.size(); }
    int SlotCount() const { return slotCount_; }

    // The slot shown for a state: disabled wins over pressed, pressed over
    // hovered, else normal.
    static int SlotFor(bool disabled, bool pressed, bool hovered);

  private:
    int slotCount_;
    std::array<ImagePart, kMaxSlots> slots_;
};
