#include "skin/SkinText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStringList>
#include <QTextLayout>
#include <climits>
#include <cmath>

namespace {

QStringList Paragraphs(const QString& text) {
    QString plain = text;
    plain.remove(QChar('\r'));
    return plain.split(QChar('\n'));
}

// Breaks one paragraph into lines no wider than width (at words, or anywhere
// inside a word that is wider than the line).
void WrapParagraph(const QString& paragraph, const QFont& font, qreal width,
                   QStringList& lines) {
    if (paragraph.isEmpty()) {
        lines.append(QString());
        return;
    }
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(paragraph.mid(line.textStart(), line.textLength()));
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
        case StringAlign::Center: return (available - used) / 2;
        case StringAlign::Far: return available - used;
        case StringAlign::Near: break;
    }
    return 0;
}

}  // namespace

std::vector<TextLine> SkinText::Layout(const QString& text, const QFont& font, const QRectF& rect,
                                       const TextFormat& format) {
    std::vector<TextLine> result;
    if (text.isEmpty()) return result;
    const QFontMetricsF metrics(font);
    const bool boundedWidth = rect.width() > 0;
    const qreal lineHeight = metrics.lineSpacing();

    QStringList lines;
    for (const QString& paragraph : Paragraphs(text)) {
        if (format.noWrap || !boundedWidth) {
            lines.append(paragraph);
        } else {
            WrapParagraph(paragraph, font, rect.width(), lines);
        }
    }
    const int maxLines =
        rect.height() > 0 ? std::max(1, static_cast<int>(std::floor(rect.height() / lineHeight)))
                          : INT_MAX;
    const bool cut = lines.size() > maxLines;
    if (cut) {
        // The last shown line carries the rest of the text, to be cut with "…".
        QString rest = TrimRight(lines[maxLines - 1]);
        for (qsizetype i = maxLines; i < lines.size(); ++i) rest += QChar(' ') + lines[i].trimmed();
        lines = lines.mid(0, maxLines);
        lines.back() = rest;
    }

    const qreal available = boundedWidth ? rect.width() : 0;
    const qreal blockHeight = lineHeight * lines.size();
    const qreal top =
        rect.top() + (rect.height() > 0 ? AlignedOffset(format.vertical, rect.height(), blockHeight)
                                         : 0);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = TrimRight(lines[i]);
        if (boundedWidth && format.ellipsis && metrics.horizontalAdvance(line) > rect.width()) {
            line = metrics.elidedText(line, Qt::ElideRight, rect.width());
        }
        TextLine out;
        out.width = metrics.horizontalAdvance(line);
        out.baseline = QPointF(rect.left() + AlignedOffset(format.horizontal, available, out.width),
                               top + i * lineHeight + metrics.ascent());
        out.text = line;
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
    const QStringList lines = Paragraphs(text);
    qreal width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    return QSizeF(width, metrics.lineSpacing() * lines.size());
}
