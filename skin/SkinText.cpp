#include "skin/SkinText.h"

#include "skin/SkinFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStringList>
#include <QTextLayout>
#include <climits>
#include <cmath>
#include <vector>

namespace {

QStringList Paragraphs(const QString& text) {
    QString plain = text;
    plain.remove(QChar('\r'));
    return plain.split(QChar('\n'));
}

// A line before the ellipsis rule: `fits` when the layout that made it
// measured it within the width. A substring measured alone can come out a
// fraction of a pixel wider (shaping sees no following character), which
// must not cut a line that fits.
struct RawLine {
    QString text;
    bool fits = false;
};

// Breaks one paragraph into lines no wider than width (at words, between
// characters of scripts without spaces, or anywhere inside a word that is
// wider than the line).
void WrapParagraph(const QString& paragraph, const QFont& font, qreal width,
                   std::vector<RawLine>& lines) {
    if (paragraph.isEmpty()) {
        lines.push_back({QString(), true});
        return;
    }
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back(
            {paragraph.mid(line.textStart(), line.textLength()), line.naturalTextWidth() <= width});
    }
    layout.endLayout();
}

QString TrimRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace()) --end;
    return text.left(end);
}

qreal AlignedOffset(StringAlign align, qreal available, qreal used) {
    switch (align) {
        case StringAlign::Center:
            return (available - used) / 2;
        case StringAlign::Far:
            return available - used;
        case StringAlign::Near:
            break;
    }
    return 0;
}

}  // namespace

std::vector<TextLine> SkinText::Layout(const QString& text, const QFont& font, const QRectF& bounds,
                                       const TextFormat& format) {
    std::vector<TextLine> result;
    if (text.isEmpty()) return result;
    const QFontMetricsF metrics(font);
    const SkinLineMetrics line = LineMetricsFor(font);
    const bool boundedWidth = bounds.width() > 0;
    // GDI+ keeps 1/6 em free at both ends of every line.
    const QRectF rect = bounds.adjusted(line.padding, 0, -line.padding, 0);
    const qreal available = boundedWidth ? std::max<qreal>(rect.width(), 1) : 0;

    std::vector<RawLine> lines;
    for (const QString& paragraph : Paragraphs(text)) {
        if (format.noWrap || !boundedWidth) {
            lines.push_back({paragraph, false});
        } else {
            WrapParagraph(paragraph, font, available, lines);
        }
    }
    const int maxLines =
        bounds.height() > 0
            ? std::max(1, static_cast<int>(std::floor(bounds.height() / line.lineSpacing)))
            : INT_MAX;
    if (lines.size() > static_cast<std::size_t>(maxLines)) {
        // The last shown line carries the rest of the text, to be cut with "…".
        QString rest = TrimRight(lines[maxLines - 1].text);
        for (std::size_t i = maxLines; i < lines.size(); ++i)
            rest += QChar(' ') + lines[i].text.trimmed();
        lines.resize(maxLines);
        lines.back() = {rest, false};
    }

    const qreal blockHeight = line.lineSpacing * lines.size();
    const qreal top =
        bounds.top() +
        (bounds.height() > 0 ? AlignedOffset(format.vertical, bounds.height(), blockHeight) : 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        TextLine out;
        out.text = TrimRight(lines[i].text);
        if (boundedWidth && format.ellipsis && !lines[i].fits &&
            metrics.horizontalAdvance(out.text) > available) {
            out.text = metrics.elidedText(out.text, Qt::ElideRight, available);
        }
        out.width = metrics.horizontalAdvance(out.text);
        out.baseline = QPointF(rect.left() + AlignedOffset(format.horizontal, available, out.width),
                               top + i * line.lineSpacing + line.ascent);
        result.push_back(out);
    }
    return result;
}

void SkinText::Draw(QPainter& painter, const QString& text, const QFont& font, const QColor& color,
                    const QRectF& rect, const TextFormat& format) {
    const std::vector<TextLine> lines = Layout(text, font, rect, format);
    if (lines.empty()) return;
    painter.save();
    if (rect.width() > 0 && rect.height() > 0) painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::TextAntialiasing, format.antialias);
    painter.setFont(font);
    painter.setPen(color);
    for (const TextLine& line : lines) painter.drawText(line.baseline, line.text);
    painter.restore();
}

QSizeF SkinText::Measure(const QString& text, const QFont& font) {
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(font);
    const SkinLineMetrics line = LineMetricsFor(font);
    const QStringList lines = Paragraphs(text);
    qreal width = 0;
    for (const QString& each : lines) width = std::max(width, metrics.horizontalAdvance(each));
    return QSizeF(width + 2 * line.padding, line.lineSpacing * lines.size());
}
