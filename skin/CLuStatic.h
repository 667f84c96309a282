#pragma once

#include <QImage>
#include <QRgb>
#include <QWidget>

#include "skin/SkinTypes.h"
#include "skin/StaticLayout.h"

// The images of a skinned label, set in one step: the state picture strip
// and the background image part, with the tiling flag and the opacity
// (0-255) applied to the background image.
struct StaticImages {
    QImage picture;
    QRect pictureSource;  // x, y, strip width, height
    QImage background;
    QRect backgroundSource;
    bool tiled = false;
    int alpha = 255;
};

// The text label of both programs. Every paint draws, in this order: the
// pixels of the skinned dialog behind it, the fill colour (when its alpha is
// not 0), the background image (faded, tiled or stretched), the current cell
// of the state picture, and the text with an optional shadow, trimmed with
// an ellipsis. Setting the text repaints at once.
class CLuStatic : public QWidget {
    Q_OBJECT

  public:
    explicit CLuStatic(QWidget* parent = nullptr);

    // Stores every image setting; builds the faded background copy when a
    // background is given with an alpha other than 255 (once, here, never
    // while painting). Background suppression is left as it is.
    void SetImages(const StaticImages& images);
    void SetFontStyle(int style, bool repaint = true);
    // The rectangle the text takes at (left margin, top margin) measured
    // with the label's font, without wrapping.
    QRect MeasureText() const;

    void SetText(const QString& text);
    QString Text() const { return text_; }
    void SetFontName(const QString& name);
    void SetFontSize(double points);
    void SetTextColor(QRgb argb);
    QRgb TextColor() const { return textColor_; }
    void SetShadow(bool on, QRgb argb);
    void SetFillColor(QRgb argb);
    void SetMargins(int left, int top, int right, int bottom);
    void SetHorizontalAlign(StringAlign align);
    void SetVerticalAlign(StringAlign align);
    void SetNoWrap(bool noWrap);
    // While suppressed (the default) the background image is not drawn.
    void SetBackgroundSuppressed(bool suppressed);
    // Number of equal cells in the state picture strip (at least 1).
    void SetStateCount(int count);
    // Cell to draw; a negative state hides the picture.
    void SetCurrentState(int state);
    void SetPictureCentred(bool centred);

    int CurrentState() const { return currentState_; }
    const QImage& FadedBackground() const { return faded_; }
    StaticPictureLayout Layout() const;

  signals:
    void textChanged(const QString& text);
    void appearanceChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QFont TextFont() const;
    void Changed();
    void DrawBackgroundImage(QPainter& painter) const;
    void DrawText(QPainter& painter, const QRect& textArea) const;

    QString text_;
    QString fontName_;
    double fontSize_ = 13;
    int fontStyle_ = 0;
    QRgb textColor_ = 0xFFFFFFFF;
    bool shadow_ = false;
    QRgb shadowColor_ = 0;
    QRgb fillColor_ = 0;
    QMargins margins_;
    StringAlign hAlign_ = StringAlign::Near;
    StringAlign vAlign_ = StringAlign::Center;
    bool noWrap_ = false;
    StaticImages images_;
    bool backgroundSuppressed_ = true;
    QImage faded_;
    int stateCount_ = 1;
    int currentState_ = 0;
    bool pictureCentred_ = false;
};
