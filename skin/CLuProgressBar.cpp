#include "skin/CLuProgressBar.h"

#include <QLinearGradient>
#include <QPainter>

#include "skin/CLuDialog.h"
#include "skin/SkinTypes.h"

CLuProgressBar::CLuProgressBar(QWidget* parent) : QProgressBar(parent) {
    setFocusPolicy(Qt::NoFocus);
    setTextVisible(false);
}

void CLuProgressBar::SetColors(const ProgressBarColors& colors) {
    if (colors_ == colors) return;
    colors_ = colors;
    update();
    emit appearanceChanged();
}

QRect CLuProgressBar::FilledPart(const QRect& inner, int value, int minimum, int maximum) {
    if (maximum <= minimum || value <= minimum) return {inner.topLeft(), QSize(0, inner.height())};
    if (value >= maximum) return inner;
    const double share =
        (static_cast<double>(value) - minimum) / (static_cast<double>(maximum) - minimum);
    return {inner.topLeft(), QSize(static_cast<int>(inner.width() * share), inner.height())};
}

void CLuProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CopyParentBackground(this, painter, rect());
    painter.fillRect(rect(), ArgbColor(colors_.frame));
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, ArgbColor(colors_.track));
    const QRect filled = FilledPart(inner, value(), minimum(), maximum());
    if (filled.isEmpty()) return;
    QLinearGradient shade(filled.topLeft(), filled.bottomLeft());
    shade.setColorAt(0, ArgbColor(colors_.fillTop));
    shade.setColorAt(1, ArgbColor(colors_.fillBottom));
    painter.fillRect(filled, shade);
}
