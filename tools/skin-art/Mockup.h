// Composes the finished pictures the way the programs place them, with
// sample captions, to judge the skin as a whole: the main window, the About
// and share panels over it, and the updater dialog with a message box.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>

class Mockup {
  public:
    // resources is the folder holding main/ and updater/ (the generator's
    // output); family is the caption font.
    Mockup(const QDir& resources, QString family) : res_(resources), family_(std::move(family)) {}

    // The main window with rows, headings and buttons in several states.
    QImage mainWindow() const;
    // The main window with the About panel open.
    QImage aboutPanel() const;
    // The main window with the share panel open.
    QImage sharePanel() const;
    // The updater's progress dialog, a message box and the drive-letter
    // confirmation with its drop-down open.
    QImage updater() const;

  private:
    QImage png(const QString& program, int id) const;
    // Draws cell `state` of a 4-cell strip at pos, then its caption.
    void button(QPainter& p, const QImage& strip, QPoint pos, int state, const QString& text,
                qreal points, QColor colour, bool bold = false) const;
    void text(QPainter& p, const QRectF& r, const QString& s, qreal points, QColor colour,
              bool bold, int flags) const;
    void messageBox(QPainter& p, QPoint origin, const QString& program, int background,
                    int strip) const;
    // Five sample device rows and the five action buttons of the window.
    void deviceList(QPainter& p) const;
    void actionColumn(QPainter& p) const;
    // The confirmation with the drive-letter drop-down opened.
    void driveLetterDialog(QPainter& p, QPoint origin) const;
    // A vertical bar from the scroll-bar bitmap, drawn as the bar draws it.
    void scrollBar(QPainter& p, const QRect& r) const;
    QDir res_;
    QString family_;
};
