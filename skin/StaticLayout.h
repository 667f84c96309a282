#pragma once

#include <QImage>
#include <QRect>

// Where a skinned label puts its state picture and its text.
struct StaticPictureLayout {
    QRect picture;   // empty at the client's top-left when no picture is shown
    QRect textArea;  // from the picture's right edge to the client's right
};

// Lays out a label of the client rectangle. The picture is shown when
// showPicture is set (a state picture exists and the state is not
// negative); cellWidth is the strip width divided by the state count and
// pictureHeight the strip height. A picture lower than the client is centred
// vertically, a higher one is cut to the client's height and narrowed in
// proportion; a picture narrower than the client is left-aligned or, with
// centred, centred horizontally; a wider one is cut to the client's width.
StaticPictureLayout LayoutStaticPicture(const QRect& client, bool showPicture, int cellWidth,
                                        int pictureHeight, bool centred);

// A 32-bit ARGB copy of image with every pixel's alpha replaced by
// (its alpha * alpha / 255), colours unchanged. A null image gives a null
// image.
QImage MakeFadedCopy(const QImage& image, int alpha);
