// The scroll bars, the drop-down list and the combo box in their states.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "GalleryScenes.h"
#include "GallerySheet.h"
#include "resources/MainImageIds.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuComboBoxListWnd.h"
#include "skin/CLuDialog.h"
#include "skin/CLuListBox.h"
#include "skin/CLuScrollBar.h"
#include "skin/SkinImage.h"

namespace {

// The gallery's own control id for its combo boxes.
constexpr int kGalleryComboId = 1046;

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

ScrollState State(int max, int page, int pos) {
    ScrollState state;
    state.max = max;
    state.page = page;
    state.pos = pos;
    return state;
}

CLuScrollBar* MakeBar(QWidget* stage, Qt::Orientation orientation, int length,
                      const ScrollState& state) {
    auto* bar = new CLuScrollBar(orientation, stage);
    bar->SetBitmap(LoadPngResource(MainImage::kScrollBars));
    if (orientation == Qt::Vertical) {
        bar->resize(bar->width(), length);
    } else {
        bar->resize(length, bar->height());
    }
    bar->SetScrollInfo(state);
    bar->show();
    return bar;
}

void AddScrollBars(GallerySheet& sheet, QWidget* stage) {
    sheet.Section(
        QStringLiteral("Scroll bars from PNG %1 (26-px cells)").arg(MainImage::kScrollBars));
    const ScrollState middle = State(99, 20, 40);
    CLuScrollBar* bar = MakeBar(stage, Qt::Vertical, 200, middle);
    sheet.Add(bar->grab().toImage(), QStringLiteral("normal"));
    const int thumb = bar->Geometry().ThumbStart() + 5;
    SendMouse(bar, QEvent::MouseMove, QPoint(10, thumb), Qt::NoButton);
    sheet.Add(bar->grab().toImage(), QStringLiteral("thumb under pointer"));
    SendMouse(bar, QEvent::MouseMove, QPoint(10, 190), Qt::NoButton);
    sheet.Add(bar->grab().toImage(), QStringLiteral("arrow under pointer"));
    SendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 190), Qt::LeftButton);
    sheet.Add(bar->grab().toImage(), QStringLiteral("arrow pressed"));
    SendMouse(bar, QEvent::MouseButtonRelease, QPoint(10, 190), Qt::NoButton);
    SendMouse(bar, QEvent::MouseButtonPress, QPoint(10, thumb), Qt::LeftButton);
    SendMouse(bar, QEvent::MouseMove, QPoint(10, thumb + 50), Qt::LeftButton);
    sheet.Add(bar->grab().toImage(), QStringLiteral("thumb dragged"));
    SendMouse(bar, QEvent::MouseButtonRelease, QPoint(10, thumb + 50), Qt::NoButton);
    delete bar;

    bar = MakeBar(stage, Qt::Vertical, 200, State(4, 10, 0));
    bar->setEnabled(false);
    sheet.Add(bar->grab().toImage(), QStringLiteral("disabled (fits)"));
    delete bar;
    bar = MakeBar(stage, Qt::Vertical, 56, middle);
    sheet.Add(bar->grab().toImage(), QStringLiteral("short: no thumb"));
    delete bar;
    bar = MakeBar(stage, Qt::Vertical, 40, middle);
    sheet.Add(bar->grab().toImage(), QStringLiteral("shorter: arrows halved"));
    delete bar;
    bar = MakeBar(stage, Qt::Horizontal, 260, State(99, 30, 70));
    sheet.Add(bar->grab().toImage(), QStringLiteral("horizontal"));
    delete bar;
}

CLuComboBox* MakeCombo(CLuDialog& panel, QRect rect, const QStringList& entries) {
    auto* combo = new CLuComboBox;
    combo->Create(rect, &panel, kGalleryComboId);
    ApplyStandardComboSkin(*combo);
    for (const QString& entry : entries) combo->ListBox()->AddString(entry);
    combo->SetCurSel(0);
    return combo;
}

// The panel with its open drop-down drawn where it lies on the screen.
QImage WithDropDown(CLuDialog& panel, CLuComboBox* combo) {
    QImage image = panel.grab().toImage();
    QPainter painter(&image);
    CLuComboBoxListWnd* dropDown = combo->DropDown();
    painter.drawImage(panel.mapFromGlobal(dropDown->pos()), dropDown->grab().toImage());
    return image;
}

QStringList DriveLetters() {
    QStringList letters;
    for (char letter = 'Z'; letter >= 'M'; --letter) letters << QStringLiteral("%1:").arg(letter);
    return letters;
}

void AddCombos(GallerySheet& sheet) {
    sheet.Section(QStringLiteral("Combo box: face PNG %1, drop-down list with scroll bars PNG %2")
                      .arg(MainImage::kComboFace)
                      .arg(MainImage::kScrollBars));
    CLuDialog panel(nullptr, Qt::FramelessWindowHint);
    panel.setGeometry(40, 40, 300, 260);
    const QImage background = LoadPngResource(MainImage::kPanelBackground);
    panel.SetBackground(background, 200, 120, 300, 260, 0);
    panel.show();
    panel.activateWindow();
    CLuComboBox* combo = MakeCombo(panel, QRect(20, 20, 160, 30), DriveLetters());
    sheet.Add(combo->grab().toImage(), QStringLiteral("normal"));
    SendMouse(combo, QEvent::MouseMove, QPoint(20, 10), Qt::NoButton);
    sheet.Add(combo->grab().toImage(), QStringLiteral("hover"));
    combo->setEnabled(false);
    sheet.Add(combo->grab().toImage(), QStringLiteral("disabled"));
    combo->setEnabled(true);
    CLuComboBox* narrow = MakeCombo(panel, QRect(200, 20, 80, 30), {QStringLiteral("Y:")});
    sheet.Add(narrow->grab().toImage(), QStringLiteral("80 px: cell's right end"));
    CLuComboBox* share =
        MakeCombo(panel, QRect(20, 150, 200, 30),
                  {QStringLiteral("Backup of the family photo library"), QStringLiteral("music")});
    sheet.Add(share->grab().toImage(), QStringLiteral("ellipsised caption"));

    // A press opens the drop-down and clears the hover look.
    SendMouse(combo, QEvent::MouseButtonPress, QPoint(20, 10), Qt::LeftButton);
    combo->ListBox()->SetCurSel(3);  // moved with the keyboard
    QApplication::processEvents();
    sheet.Add(WithDropDown(panel, combo),
              QStringLiteral("open: 14 letters, 6 rows, entry 3 selected by keys"));
    combo->HideDropDown();

    share->ShowDropDown();
    QApplication::processEvents();
    sheet.Add(WithDropDown(panel, share), QStringLiteral("open: two entries, no scroll bar"));
    share->HideDropDown();
}

}  // namespace

void AddComboScenes(GallerySheet& sheet) {
    CLuDialog stage(nullptr, Qt::FramelessWindowHint);
    stage.resize(400, 300);
    stage.SetFillColor(0xFF30343C);
    stage.show();
    AddScrollBars(sheet, &stage);
    AddCombos(sheet);
}
