#pragma once

#include <QColor>
#include <QRgb>

// Text alignments of the skin, numbered like GDI+ string alignments:
// 0 near (left or top), 1 centre, 2 far (right or bottom).
enum class StringAlign { Near = 0, Center = 1, Far = 2 };

// Converts an alignment number of the owners' tables; unknown values are
// near, as GDI+ leaves them.
inline StringAlign StringAlignFromInt(int value) {
    switch (value) {
        case 1:
            return StringAlign::Center;
        case 2:
            return StringAlign::Far;
        default:
            return StringAlign::Near;
    }
}

// Text rendering hints of the skin, numbered like GDI+'s: the two single-bit
// hints draw text without anti-aliasing, every other one with it.
enum class TextRenderingHint : int {
    SystemDefault = 0,
    SingleBitPerPixelGridFit = 1,
    SingleBitPerPixel = 2,
    AntiAliasGridFit = 3,
    AntiAlias = 4,
    ClearTypeGridFit = 5,
};

// Whether text drawn with hint is anti-aliased.
inline bool IsAntiAliased(TextRenderingHint hint) {
    return hint != TextRenderingHint::SingleBitPerPixelGridFit &&
           hint != TextRenderingHint::SingleBitPerPixel;
}

// Skin colours are 32-bit ARGB values, alpha in the top byte.
inline QColor ArgbColor(QRgb argb) {
    return QColor::fromRgba(argb);
}

// Font style bits of the skin's labels (combinable).
enum SkinFontStyle : int {
    kFontRegular = 0,
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontStrikeout = 8,
};
