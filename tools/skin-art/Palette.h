// Colours shared by every picture of the skin. Defaults are built in; a JSON
// file with the same keys (palette.json beside this file) overrides them.
#pragma once

#include <QColor>
#include <QString>

struct Palette {
    QColor windowTop{0x1c, 0x2a, 0x3e};
    QColor windowBottom{0x0a, 0x11, 0x1b};
    QColor titleTop{0x2a, 0x3c, 0x57};
    QColor titleBottom{0x16, 0x23, 0x3a};
    QColor cardTop{0x1a, 0x27, 0x39};
    QColor cardBottom{0x11, 0x1b, 0x29};
    QColor well{0x0b, 0x13, 0x20};
    QColor accent{0x3a, 0x9c, 0xff};
    QColor accentLight{0x8c, 0xc8, 0xff};
    QColor accentDeep{0x14, 0x57, 0xb8};
    QColor faceTop{0x34, 0x46, 0x5f};
    QColor faceBottom{0x20, 0x2e, 0x42};
    QColor disabledFace{0x26, 0x2c, 0x36};
    QColor disabledGlyph{0x5d, 0x65, 0x72};
    QColor glyph{0xe8, 0xf0, 0xfa};
    QColor danger{0xe0, 0x47, 0x4c};
    QColor dangerDeep{0xa3, 0x26, 0x2b};
    QColor led{0x4b, 0xe3, 0x7a};
    QColor success{0x34, 0xc7, 0x7b};
    QColor listBand{0x1b, 0x28, 0x38};
    QColor listSelected{0x2f, 0x7f, 0xd8};

    // Reads the colours named in the JSON object at path; unknown keys and
    // unreadable values are ignored. Returns false when the file cannot be
    // read or is not a JSON object (the defaults then stay).
    bool load(const QString& path);
};

// Returns c with its alpha set to a (0-255).
QColor withAlpha(QColor c, int a);
// Linear mix of a and b; t = 0 gives a, t = 1 gives b.
QColor mix(const QColor& a, const QColor& b, double t);
