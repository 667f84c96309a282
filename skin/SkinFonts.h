#pragma once

#include <QFont>
#include <QString>

// The skin's text face is "Tahoma". Its files come with Debian's fonts-wine
// package in a folder fontconfig does not scan, so they are registered with
// the application's font database here; without them "Tahoma" falls back to
// "DejaVu Sans". Needs a QGuiApplication; safe to call any number of times.
// Returns true when Tahoma itself is available.
bool EnsureSkinFonts();

// The face name of the skin's texts, "Tahoma".
const QString& SkinFaceName();

// Skin font sizes are em sizes in points at 96 DPI; the skin draws them at
// that fixed pixel size on every screen so text matches the images.
int SkinPointsToPixels(double points);

// The font for a face, a size in points and style bits (SkinFontStyle),
// anti-aliased.
QFont SkinFont(const QString& face, double points, int style = 0);

// Vertical metrics of a line as GDI+ lays text out: the cell ascent and the
// line spacing come from the font's Windows ascent and descent (OS/2
// usWinAscent, usWinDescent), not from the typographic values that FreeType
// prefers for fonts like Tahoma; padding is the 1/6 em GDI+ leaves at both
// ends of a line.
struct SkinLineMetrics {
    qreal ascent = 0;
    qreal lineSpacing = 0;
    qreal padding = 0;
};
SkinLineMetrics LineMetricsFor(const QFont& font);
