#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

#include "skin/SkinTypes.h"

class QPainter;

// How a label lays out its text in a rectangle: the two alignments, whether
// lines wrap at the rectangle's width, and whether a cut text ends in "…".
// Only whole lines are shown (at least the first one).
struct TextFormat {
    StringAlign horizontal = StringAlign::Near;
    StringAlign vertical = StringAlign::Near;
    bool noWrap = false;
    bool ellipsis = true;
    bool antialias = true;
};

// One laid-out line: its text (possibly ending in "…") and the position of
// its baseline's left end.
struct TextLine {
    QString text;
    QPointF baseline;
    qreal width = 0;
};

// Text layout and drawing of every skinned control. A layout rectangle with
// no positive width does not bound or wrap the lines; one with no positive
// height does not limit their number. Line feeds always start a new line.
class SkinText {
  public:
    static std::vector<TextLine> Layout(const QString& text, const QFont& font, const QRectF& rect,
                                        const TextFormat& format);
    // Draws the laid-out lines in the colour, clipped to a bounded rectangle.
    static void Draw(QPainter& painter, const QString& text, const QFont& font, const QColor& color,
                     const QRectF& rect, const TextFormat& format);
    // The size the text takes without a layout rectangle.
    static QSizeF Measure(const QString& text, const QFont& font);
};
