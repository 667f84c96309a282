#include "GalleryScenes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <algorithm>

#include "GallerySheet.h"
#include "skin/CLuButton.h"
#include "skin/CLuDialog.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuProgressBar.h"
#include "skin/CLuStatic.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/StringTable.h"

namespace {

// The program's image, or a stand-in of the expected size with numbered
// cells when the artwork is not there yet.
QImage Art(int id, QSize size, int cells) {
    QImage image = LoadPngResource(id);
    if (!image.isNull()) return image;
    image = QImage(size, QImage::Format_ARGB32);
    QPainter painter(&image);
    const int cell = size.width() / cells;
    for (int i = 0; i < cells; ++i) {
        const QRect r(i * cell, 0, cell, size.height());
        painter.fillRect(r, QColor::fromHsv((id * 37 + i * 60) % 360, 120, 110 + i * 30));
        painter.setPen(Qt::white);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setFont(SkinFont(SkinFaceName(), 7));
        painter.drawText(r.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("%1/%2").arg(id).arg(i));
    }
    return image;
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QElapsedTimer timer;
    timer.start();
    while (QApplication::activeWindow() != &window && timer.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void MovePointer(QWidget* widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

CLuButton* MakeButton(QWidget* parent, const QImage& strip, QPoint pos) {
    auto* button = new CLuButton(parent);
    button->SetImages(strip, 0, 0, strip.width(), strip.height(), 4);
    button->setGeometry(QRect(pos, button->FaceSize()));
    return button;
}

void StyleActionButton(CLuButton* button, const QString& caption) {
    button->setText(caption);
    button->SetTextColors(0x6FFFFFFF, 0xFFFFFFFF, 0x6FFFFFFF, 0xFF808080, true);
    button->SetFont(SkinFaceName(), 13);
    button->SetTextAlign(StringAlign::Center, StringAlign::Center);
}

void StyleHeading(CLuStatic* heading, const QImage& image, const QString& text) {
    StaticImages images;
    images.background = image;
    images.backgroundSource = image.rect();
    heading->SetImages(images);
    heading->SetBackgroundSuppressed(false);
    heading->SetFontSize(12);
    heading->SetHorizontalAlign(StringAlign::Center);
    heading->SetText(text);
}

QStandardItemModel* DeviceModel(QObject* parent, const QStringList& names, int markedRow) {
    auto* model = new QStandardItemModel(parent);
    for (int i = 0; i < names.size(); ++i) {
        model->appendRow({new QStandardItem(names[i]), new QStandardItem(),
                          new QStandardItem(i == markedRow ? QStringLiteral("1") : QString())});
    }
    return model;
}

CLuListCtrl* MakeList(QWidget* parent, QRect geometry, QAbstractItemModel* model) {
    auto* list = new CLuListCtrl(parent);
    list->setGeometry(geometry);
    list->SetModel(model);
    const QImage rows = Art(135, QSize(1416, 60), 4);
    list->SetRowImages(rows, 0, 0, rows.width(), rows.height(), 4);
    list->SetRowHeight(60);
    const QImage mark = Art(157, QSize(30, 60), 1);
    list->SetMarkImage(mark, 0, 0, mark.width(), mark.height());
    list->SetTextColors(0x6FFFFFFF, 0x6FFFFFFF, 0xFFFFFFFF, 0xFF808080);
    list->SetTextAlign(CLuListCtrl::kAlignCenter);
    return list;
}

}  // namespace

namespace {

// The top row: "info" and "help" text buttons, minimise and close.
void AddTopButtons(CLuDialog& window) {
    const QImage top = Art(160, QSize(176, 22), 4);
    const QStringList captions = {LoadSkinString(53), LoadSkinString(54)};
    for (int i = 0; i < 2; ++i) {
        CLuButton* button = MakeButton(&window, top, QPoint(616 + 48 * i, 7));
        button->setText(captions[i]);
        button->SetFont(SkinFaceName(), 8);
        button->SetTextAlign(StringAlign::Center, StringAlign::Center);
        button->SetTextColors(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080, false);
    }
    MakeButton(&window, Art(139, QSize(160, 24), 4), QPoint(712, 7));
    MakeButton(&window, Art(132, QSize(160, 24), 4), QPoint(754, 7));
}

void AddHeadings(CLuDialog& window) {
    const QImage image = Art(137, QSize(354, 40), 1);
    auto* todo = new CLuStatic(&window);
    todo->setGeometry(QRect(QPoint(414, 113), image.size()));
    StyleHeading(todo, image, LoadSkinString(2));
    auto* found = new CLuStatic(&window);
    found->setGeometry(QRect(QPoint(32, 113), image.size()));
    StyleHeading(found, image, LoadSkinString(3));
}

}  // namespace

void AddMainWindowScene(GallerySheet& sheet) {
    CLuDialog window(nullptr, Qt::FramelessWindowHint);
    window.resize(800, 600);
    window.SetBackground(Art(130, QSize(800, 600), 1), 0, 0, 800, 600, 0);
    AddTopButtons(window);
    AddHeadings(window);
    const QImage action = Art(149, QSize(1416, 50), 4);
    std::vector<CLuButton*> actions;
    for (int k = 0; k < 5; ++k) {
        CLuButton* button = MakeButton(&window, action, QPoint(414, 194 + k * action.height()));
        StyleActionButton(button, LoadSkinString(k < 4 ? 4 + k : 51));
        actions.push_back(button);
    }
    const QStringList names = {"NAS-Office", "NAS-Living", "Media-Den",
                               "Backup-1",   "Backup-2",   "Archive"};
    CLuListCtrl* list = MakeList(&window, QRect(32, 194, 354, 300), DeviceModel(&window, names, 1));
    list->SelectItem(0);
    MakeButton(&window, Art(138, QSize(136, 30), 4), QPoint(192, 158))->setEnabled(false);
    MakeButton(&window, Art(136, QSize(136, 30), 4), QPoint(192, 508));

    ShowActive(window);
    MovePointer(list, QPoint(100, 150));      // highlights row 2
    MovePointer(actions[1], QPoint(20, 10));  // hover on "Map Network Drive"
    actions[3]->setEnabled(false);
    sheet.Section(
        QStringLiteral("Main window (800 x 600) from PNG 130, 137, 149, 135, 157, "
                       "160, 139, 132, 138, 136"));
    sheet.Add(window.grab().toImage(), QStringLiteral("row 0 selected, row 2 under the pointer, "
                                                      "Map Network Drive hovered, one disabled"));
}

namespace {

void AddButtonStates(GallerySheet& sheet, CLuDialog& stage, int id, QSize fallback,
                     const QString& caption) {
    CLuButton* button = MakeButton(&stage, Art(id, fallback, 4), QPoint(10, 10));
    if (!caption.isEmpty()) StyleActionButton(button, caption);
    if (id == 160) button->SetFont(SkinFaceName(), 8);
    button->show();
    const QString name = QStringLiteral("PNG %1 ").arg(id);
    sheet.Add(button->grab().toImage(), name + QStringLiteral("normal"));
    MovePointer(button, QPoint(5, 5));
    sheet.Add(button->grab().toImage(), name + QStringLiteral("hover"));
    button->setDown(true);
    sheet.Add(button->grab().toImage(), name + QStringLiteral("pressed"));
    button->setDown(false);
    button->setEnabled(false);
    sheet.Add(button->grab().toImage(), name + QStringLiteral("disabled"));
    delete button;
}

void AddStatics(GallerySheet& sheet, CLuDialog& stage) {
    CLuStatic label(&stage);
    label.setGeometry(0, 0, 354, 40);
    StyleHeading(&label, Art(137, QSize(354, 40), 1), LoadSkinString(3));
    sheet.Add(label.grab().toImage(), QStringLiteral("heading, PNG 137"));
    label.SetImages({});
    label.setGeometry(0, 0, 260, 60);
    label.SetHorizontalAlign(StringAlign::Near);
    label.SetShadow(true, 0xFF000000);
    label.SetText(LoadSkinString(55));
    sheet.Add(label.grab().toImage(), QStringLiteral("wrapped, shadow, ellipsis"));
    label.SetShadow(false, 0);
    label.SetNoWrap(true);
    sheet.Add(label.grab().toImage(), QStringLiteral("no wrap"));
    StaticImages faded;
    faded.background = Art(130, QSize(800, 600), 1);
    faded.backgroundSource = QRect(0, 0, 260, 60);
    faded.alpha = 96;
    label.SetImages(faded);
    label.SetNoWrap(false);
    label.SetText(QStringLiteral("faded background, alpha 96"));
    sheet.Add(label.grab().toImage(), QStringLiteral("faded copy"));
    StaticImages states;
    states.picture = Art(0, QSize(120, 30), 4);
    states.pictureSource = QRect(0, 0, 120, 30);
    label.SetImages(states);
    label.SetStateCount(4);
    for (int state : {0, 2, -1}) {
        label.SetCurrentState(state);
        label.SetText(QStringLiteral("state %1").arg(state));
        sheet.Add(label.grab().toImage(), QStringLiteral("state picture %1").arg(state));
    }
}

void AddMessageBoxes(GallerySheet& sheet) {
    MessageBoxSkin skin;
    skin.background = Art(146, QSize(600, 240), 1);
    skin.backgroundSource = skin.background.rect();
    skin.buttons = Art(131, QSize(448, 36), 4);
    skin.buttonsSource = skin.buttons.rect();
    skin.captionColor = skin.buttonColor1 = skin.buttonColor2 = skin.buttonColor3 =
        skin.messageColor = 0xFFFFFFFF;
    skin.buttonColor4 = 0xFF808080;
    skin.fontSize = 13;
    SetMessageBoxSkin(&skin);
    sheet.Section(QStringLiteral("Message boxes: PNG 146 + 131 (main), 1137 + 1136 (updater)"));
    const struct {
        int set;
        int text;
    } boxes[] = {{BTN_YES | BTN_NO, 46}, {BTN_OK, 55}, {0, 56}, {15, 57}};
    for (const auto& b : boxes) {
        CLuMessageBox box(LoadSkinString(b.text), LoadSkinString(1), nullptr, b.set);
        sheet.Add(box.grab().toImage(), QStringLiteral("button set %1").arg(b.set));
    }
    skin.background = Art(1137, QSize(600, 240), 1);
    skin.backgroundSource = skin.background.rect();
    skin.buttons = Art(1136, QSize(448, 36), 4);
    skin.buttonsSource = skin.buttons.rect();
    skin.labelIds = {506, 507, 508, 505};  // German block
    SetMessageBoxSkin(&skin);
    CLuMessageBox german(LoadSkinString(513), LoadSkinString(502), nullptr, BTN_YES | BTN_NO);
    sheet.Add(german.grab().toImage(), QStringLiteral("updater, German texts 502/513"));
}

}  // namespace

void AddControlScenes(GallerySheet& sheet) {
    CLuDialog stage(nullptr, Qt::FramelessWindowHint);
    stage.resize(1500, 300);
    stage.SetFillColor(0xFF30343C);
    ShowActive(stage);
    sheet.Section(QStringLiteral("Buttons: normal, hover, pressed, disabled"));
    const struct {
        int id;
        QSize size;
        QString caption;
    } strips[] = {
        {160, {176, 22}, LoadSkinString(53)},  {139, {160, 24}, {}},  {132, {160, 24}, {}},
        {149, {1416, 50}, LoadSkinString(5)},  {138, {136, 30}, {}},  {136, {136, 30}, {}},
        {131, {448, 36}, LoadSkinString(12)},  {1138, {160, 20}, {}}, {1134, {160, 20}, {}},
        {1136, {448, 36}, LoadSkinString(105)}};
    for (const auto& strip : strips)
        AddButtonStates(sheet, stage, strip.id, strip.size, strip.caption);

    sheet.Section(QStringLiteral("List rows: normal, under the pointer, selected, LED mark"));
    auto* model = DeviceModel(
        &stage, {"normal row", "under the pointer", "selected row", "row with LED mark"}, 3);
    CLuListCtrl* list = MakeList(&stage, QRect(0, 0, 354, 240), model);
    list->show();
    list->SelectItem(2);
    MovePointer(list, QPoint(100, 90));
    sheet.Add(list->grab().toImage(), QStringLiteral("CLuListCtrl, PNG 135 rows, PNG 157 mark"));
    delete list;

    sheet.Section(QStringLiteral("Static text"));
    AddStatics(sheet, stage);
    sheet.Section(QStringLiteral("Progress bar (the updater's): empty, a third, full"));
    CLuProgressBar bar(&stage);
    bar.setGeometry(0, 0, 200, 6);
    bar.setRange(0, 3);
    for (int value : {0, 1, 3}) {
        bar.setValue(value);
        sheet.Add(bar.grab().toImage(), QStringLiteral("%1 of 3").arg(value));
    }
    AddMessageBoxes(sheet);
}

void AddResourceImages(GallerySheet& sheet) {
    sheet.Section(QStringLiteral("Program resources (:/png, :/gif)"));
    QStringList names = QDir(QStringLiteral(":/png")).entryList(QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.section('.', 0, 0).toInt() < b.section('.', 0, 0).toInt();
    });
    for (const QString& name : names) {
        const QImage image = LoadPngResource(name.section('.', 0, 0).toInt());
        sheet.Add(image, QStringLiteral("PNG %1  %2 x %3")
                             .arg(name.section('.', 0, 0))
                             .arg(image.width())
                             .arg(image.height()));
    }
    for (const QString& name : QDir(QStringLiteral(":/gif")).entryList(QDir::Files)) {
        QImageReader reader(QStringLiteral(":/gif/") + name);
        const int frames = reader.imageCount();
        sheet.Add(reader.read(), QStringLiteral("GIF %1, %2 frames").arg(name).arg(frames));
    }
    if (names.isEmpty()) {
        sheet.Add(QImage(), QStringLiteral("no PNG resources linked yet: stand-ins shown above"));
    }
}
