#include "tools/skin-art/Mockup.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

#include "resources/MainImageIds.h"
#include "resources/UpdaterImageIds.h"

QImage Mockup::png(const QString& program, int id) const {
    return QImage(res_.filePath(QStringLiteral("%1/png/%2.png").arg(program).arg(id)));
}

void Mockup::text(QPainter& p, const QRectF& r, const QString& s, qreal points, QColor colour,
                  bool bold, int flags) const {
    QFont font(family_);
    font.setPointSizeF(points);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, flags, s);
}

void Mockup::button(QPainter& p, const QImage& strip, QPoint pos, int state, const QString& s,
                    qreal points, QColor colour, bool bold) const {
    const int w = strip.width() / 4;
    p.drawImage(pos, strip, QRect(state * w, 0, w, strip.height()));
    if (!s.isEmpty()) {
        text(p, QRectF(pos, QSizeF(w, strip.height())), s, points, colour, bold, Qt::AlignCenter);
    }
}

QImage Mockup::mainWindow() const {
    QImage image = png("main", MainImage::kWindowBackground)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    button(p, png("main", MainImage::kTextButtons), QPoint(616, 7), 0, "info", 8, Qt::white);
    button(p, png("main", MainImage::kTextButtons), QPoint(664, 7), 1, "help", 8, Qt::white);
    button(p, png("main", MainImage::kMinimiseButton), QPoint(712, 7), 0, "", 0, Qt::white);
    button(p, png("main", MainImage::kCloseButton), QPoint(754, 7), 1, "", 0, Qt::white);
    const QImage heading = png("main", MainImage::kHeading);
    p.drawImage(QPoint(32, 113), heading);
    p.drawImage(QPoint(414, 113), heading);
    text(p, QRectF(32, 113, heading.width(), heading.height()), "Network Drives Found", 12,
         Qt::white, false, Qt::AlignCenter);
    text(p, QRectF(414, 113, heading.width(), heading.height()), "Things To Do", 12, Qt::white,
         false, Qt::AlignCenter);
    button(p, png("main", MainImage::kPageUp), QPoint(192, 158), 3, "", 0, Qt::white);
    button(p, png("main", MainImage::kPageDown), QPoint(192, 508), 1, "", 0, Qt::white);
    deviceList(p);
    actionColumn(p);
    return image;
}

void Mockup::deviceList(QPainter& p) const {
    const QColor dim = QColor::fromRgba(0x6FFFFFFF);
    const QImage rows = png("main", MainImage::kDeviceRows);
    const QImage mark = png("main", MainImage::kLedMark);
    const char* names[] = {"Backup Store", "Living Room Player", "Office NAS", "Studio", "Z-Drive"};
    const int states[] = {0, 1, 2, 0, 0};
    const bool lit[] = {false, true, true, false, false};
    for (int k = 0; k < 5; ++k) {
        const int y = 194 + k * 60;
        p.drawImage(QPoint(32, y), rows, QRect(states[k] * 354, 0, 354, 60));
        if (lit[k]) p.drawImage(QPoint(32 + 15, y), mark);
        const bool selected = states[k] == 2;
        text(p, QRectF(32 + mark.width() + 20, y, 354 - mark.width() - 65, 60), names[k], 13,
             selected ? QColor(Qt::white) : dim, selected, Qt::AlignCenter);
    }
}

void Mockup::actionColumn(QPainter& p) const {
    const QColor dim = QColor::fromRgba(0x6FFFFFFF);
    const QImage action = png("main", MainImage::kActionButtons);
    const char* captions[] = {"Configure", "Map Network Drive", "Browse Network Shares",
                              "Create Desktop Shortcut", "Turn Off Identify LED"};
    const int actionStates[] = {0, 1, 2, 0, 3};
    for (int k = 0; k < 5; ++k) {
        const int s = actionStates[k];
        const QColor c = s == 2 ? QColor(Qt::white) : s == 3 ? QColor(0x80, 0x80, 0x80) : dim;
        button(p, action, QPoint(414, 194 + k * action.height()), s, captions[k], 13, c, s == 2);
    }
}

QImage Mockup::aboutPanel() const {
    QImage image = mainWindow();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(10, 94);
    p.drawImage(QPoint(0, 0), png("main", MainImage::kPanelBackground));
    p.drawImage(QPoint(30, 15), png("main", MainImage::kLogo));
    text(p, QRectF(30, 15, 720, 45), "About", 12, Qt::white, false, Qt::AlignCenter);
    QFont bold(family_);
    bold.setPointSizeF(18);
    bold.setBold(true);
    const qreal w = QFontMetricsF(bold).horizontalAdvance("Norvale Discovery");
    text(p, QRectF(45, 70, w, 50), "Norvale Discovery", 18, Qt::white, true,
         Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(45 + w + 5, 75, 400, 50), "Version 1.2 (2026.341)", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    button(p, png("main", MainImage::kDialogButtons), QPoint(606, 410), 1, "Back", 12, Qt::white);
    return image;
}

QImage Mockup::sharePanel() const {
    QImage image = mainWindow();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(10, 94);
    p.drawImage(QPoint(0, 0), png("main", MainImage::kPanelBackground));
    button(p, png("main", MainImage::kPageUp), QPoint(374, 60), 3, "", 0, Qt::white);
    button(p, png("main", MainImage::kPageDown), QPoint(374, 412), 0, "", 0, Qt::white);
    const QImage rows = png("main", MainImage::kShareRows);
    const char* shares[] = {"data (Z:)", "media", "photos (Y:)", "public", "backup"};
    for (int k = 0; k < 5; ++k) {
        const int state = k == 1 ? 1 : (k == 2 ? 2 : 0);
        const int y = 82 + k * rows.height();
        p.drawImage(QPoint(30, y), rows, QRect(state * 720, 0, 720, rows.height()));
        text(p, QRectF(30, y, 720 - 45, rows.height()), shares[k], 13,
             state == 2 ? QColor(Qt::white) : QColor::fromRgba(0x6FFFFFFF), state == 2,
             Qt::AlignCenter);
    }
    button(p, png("main", MainImage::kDialogButtons), QPoint(606, 410), 0, "Back", 12, Qt::white);
    return image;
}

void Mockup::messageBox(QPainter& p, QPoint o, const QString& program, int background,
                        int strip) const {
    p.save();
    p.translate(o);
    p.drawImage(QPoint(0, 0), png(program, background));
    text(p, QRectF(5, 2, 300, 32), "Norvale Discovery", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(40, 55, 515, 100),
         "Would you like to map the network drive automatically?\n\nClick \"No\" to map the "
         "network drive manually.",
         12, Qt::white, false, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap);
    button(p, png(program, strip), QPoint(310, 178), 1, "Yes", 12, Qt::white);
    button(p, png(program, strip), QPoint(452, 178), 0, "No", 12, Qt::white);
    p.restore();
}

QImage Mockup::updater() const {
    QImage image(QSize(640, 800), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x50, 0x58, 0x60));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(20, 20);
    p.drawImage(QPoint(0, 0), png("updater", UpdaterImage::kDialogBackground));
    text(p, QRectF(5, 2, 500, 32), "Norvale Discovery Auto-Update Progress", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    p.drawImage(QPoint(40, 40), QImage(res_.filePath("updater/gif/DOWNLOAD.gif")));
    text(p, QRectF(30, 110, 560, 50), "It may take several minutes to complete the download.", 12,
         Qt::white, false, Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(30, 140, 560, 50), "Please wait for a while.", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    button(p, png("updater", UpdaterImage::kDialogButtons), QPoint(452, 178), 0, "Cancel", 12,
           Qt::white);
    button(p, png("updater", UpdaterImage::kMinimiseButton), QPoint(500, 7), 1, "", 0, Qt::white);
    button(p, png("updater", UpdaterImage::kCloseButton), QPoint(550, 7), 0, "", 0, Qt::white);
    messageBox(p, QPoint(0, 260), "main", MainImage::kMessageBoxBackground,
               MainImage::kDialogButtons);
    driveLetterDialog(p, QPoint(0, 520));
    return image;
}

void Mockup::scrollBar(QPainter& p, const QRect& r) const {
    const QImage bar = png("main", MainImage::kScrollBars);
    const int c = bar.width() / 9;
    p.drawImage(QRect(r.left(), r.top(), c, c), bar, QRect(0, 0, c, c));
    p.drawImage(QRect(r.left(), r.bottom() - c + 1, c, c), bar, QRect(c, 0, c, c));
    for (int y = r.top() + c; y <= r.bottom() - c; y += c) {
        p.drawImage(QRect(r.left(), y, c, std::min(c, r.bottom() - c + 1 - y)), bar,
                    QRect(3 * c, 0, c, std::min(c, r.bottom() - c + 1 - y)));
    }
    const int top = r.top() + c + 6;
    const int len = 40;
    p.drawImage(QRect(r.left(), top, c, 3), bar, QRect(2 * c, c, c, 3));
    for (int y = top + 3; y < top + len - 3; y += c - 6) {
        const int h = std::min(c - 6, top + len - 3 - y);
        p.drawImage(QRect(r.left(), y, c, h), bar, QRect(2 * c, c + 3, c, h));
    }
    p.drawImage(QRect(r.left(), top + len - 3, c, 3), bar, QRect(2 * c, 2 * c - 3, c, 3));
}

void Mockup::driveLetterDialog(QPainter& p, QPoint o) const {
    p.save();
    p.translate(o);
    p.drawImage(QPoint(0, 0), png("main", MainImage::kMessageBoxBackground));
    text(p, QRectF(5, 2, 300, 32), "Map Network Drive", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(40, 50, 300, 40), "\"media\" will be mapped as drive:", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(40, 120, 300, 40), "Do you want to continue?", 12, Qt::white, false,
         Qt::AlignLeft | Qt::AlignVCenter);
    button(p, png("main", MainImage::kDialogButtons), QPoint(310, 178), 0, "Yes", 12, Qt::white);
    button(p, png("main", MainImage::kDialogButtons), QPoint(452, 178), 0, "No", 12, Qt::white);
    const QImage combo = png("main", MainImage::kComboFace);
    const int cw = combo.width() / 4;
    const int w = 130;
    p.drawImage(QPoint(330, 56), combo, QRect(2 * cw + cw - w, 0, w, combo.height()));
    text(p, QRectF(335, 56, w - 35, combo.height()), "X:", 12, Qt::white, true,
         Qt::AlignLeft | Qt::AlignVCenter);
    const char* letters[] = {"Z:", "X:", "W:", "V:"};
    for (int k = 0; k < 4; ++k) {
        const QRect band(330, 86 + k * 29, w - 26, 29);
        p.fillRect(band, k == 1 ? QColor(0x2f, 0x7f, 0xd8) : QColor(0x1b, 0x28, 0x38));
        text(p, QRectF(band.left() + 5, band.top(), band.width() - 5, 29), letters[k], 12,
             Qt::white, false, Qt::AlignLeft | Qt::AlignVCenter);
    }
    scrollBar(p, QRect(330 + w - 26, 86, 26, 116));
    p.restore();
}
