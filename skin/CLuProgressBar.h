#pragma once

#include <QProgressBar>
#include <QRect>
#include <QRgb>

// The colours of a skinned progress bar (ARGB): a one-pixel frame, the
// track inside it, and the fill, shaded from top to bottom.
struct ProgressBarColors {
    QRgb frame = 0xFF30435B;
    QRgb track = 0xFF0A1019;
    QRgb fillTop = 0xFF3A9AFB;
    QRgb fillBottom = 0xFF1859AF;

    bool operator==(const ProgressBarColors&) const = default;
};

// A thin progress bar drawn in the skin's colours over the pixels of the
// skinned dialog behind it: the frame on its edge pixels, the track inside,
// and the fill from the left, as wide as the value's share of the range.
// It keeps QProgressBar's range, value and text, and with them Qt's
// progress-bar interface for assistive technology (role, value, range).
// It never takes the focus.
class CLuProgressBar : public QProgressBar {
    Q_OBJECT

  public:
    explicit CLuProgressBar(QWidget* parent = nullptr);

    void SetColors(const ProgressBarColors& colors);
    const ProgressBarColors& Colors() const { return colors_; }

    // The filled part inside `inner` for `value` in [minimum, maximum]:
    // empty at or below the minimum, all of `inner` at or above the maximum.
    static QRect FilledPart(const QRect& inner, int value, int minimum, int maximum);

  signals:
    void appearanceChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ProgressBarColors colors_;
};
