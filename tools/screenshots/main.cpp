// window-shots --first-paint START_NS: opens the real window with discovery
// running and prints the milliseconds from START_NS (CLOCK_REALTIME of the
// launching shell, `date +%s%N`) to the window's first paint, then ends.
//
// window-shots OUTDIR [LOCALE]: renders the views of the main window into
// PNG files without a display or a network: the window with devices, a
// selected device with its action column, the About panel, the help window
// and the no-device message box; then, reached with real key presses, the
// keyboard's focus mark on a list row, an action button and the drive-letter
// combo box (focus-*.png, enlarged twice). The devices are made up; the
// window is the real one, built with no discovery link.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/CAboutDlg.h"
#include "app/CLuDiscoverApp.h"
#include "app/CLuDiscoverDlg.h"
#include "app/DiscoveryHostLink.h"
#include "app/HelpWindow.h"
#include "drives/CMsgDriveMapDlg.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/MessageBoxSkin.h"
#include "skin/StringTable.h"

using norvale::app::CLuDiscoverDlg;

namespace {

struct MadeUpDevice {
    const char* name;
    const char* address;
    bool configure;
    bool led;
};

const MadeUpDevice kDevices[] = {
    {"Backup Store", "127.0.0.11", true, false}, {"Living Room Player", "127.0.0.12", true, true},
    {"Office NAS", "127.0.0.13", true, true},    {"Studio", "127.0.0.14", false, false},
    {"Z-Drive", "127.0.0.15", true, false},      {"Zeta Archive", "127.0.0.16", true, false},
};

// Fills the table the way the discovery host does.
void AddDevices(CLuDiscoverDlg& window) {
    norvale::app::DeviceTable& table = window.Table();
    int n = 1;
    for (const MadeUpDevice& device : kDevices) {
        const QString name = QString::fromUtf8(device.name);
        const int row = table.InsertRow(table.InsertPosition(name), name);
        table.SetAddress(row, QString::fromLatin1(device.address));
        norvale::app::DeviceFacts facts;
        facts.model = device.configure ? QStringLiteral("QMA5KS") : QStringLiteral("QMZBEN");
        facts.configure = device.configure;
        facts.identifyLed = true;
        // A made-up reference: the window only passes it on, never reads it.
        auto* reference = reinterpret_cast<norvale::cp::UPnPDevice*>(std::uintptr_t{0x1000} * n++);
        table.SetDevice(row, reference, facts);
        if (row == 0) {
            table.Select(0);
            window.RefreshActionButtons();
        }
        table.SetMapName(row, name);
        table.SetLed(row, device.led);
        window.RefreshScrollButtons();
    }
}

bool Save(QWidget* widget, const QString& path) {
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// Makes window the active window, as a user's click or window manager would.
bool Activate(QWidget* window) {
    window->activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (QApplication::activeWindow() != window && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return QApplication::activeWindow() == window;
}

// A key pressed and released on the focused widget.
void Key(Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(focus, &release);
}

// The part of widget around area, twice as large (pixels kept square).
bool SaveEnlarged(QWidget* widget, const QRect& area, const QString& path) {
    const QImage part = widget->grab(area).toImage();
    const bool saved = part.scaled(part.size() * 2).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// The focus mark, reached from the keyboard: the selected row, an action
// button, the combo box of the drive-letter question.
bool SaveFocusShots(CLuDiscoverDlg& window, const QDir& out) {
    if (!Activate(&window)) return false;
    window.List()->setFocus(Qt::OtherFocusReason);
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);  // back to the selected device, the mark on its row
    bool ok = SaveEnlarged(&window, QRect(24, 150, 370, 390), out.filePath("focus-row.png"));
    while (QApplication::focusWidget() != window.Control(CLuDiscoverDlg::kMapDriveId) &&
           QApplication::focusWidget() != nullptr) {
        Key(Qt::Key_Tab);
    }
    ok &= SaveEnlarged(&window, QRect(406, 186, 370, 316), out.filePath("focus-button.png"));

    drives::CMsgDriveMapDlg question(QStringLiteral("data"),
                                     {QStringLiteral("Z:"), QStringLiteral("Y:")}, &window);
    question.show();
    ok &= Activate(&question);
    Key(Qt::Key_Backtab);  // from Yes to the combo box
    ok &= SaveEnlarged(&question, question.rect(), out.filePath("focus-combo.png"));
    return ok;
}

}  // namespace

// Paints once, prints the time since start, and closes the window.
class FirstPaintClock : public QObject {
  public:
    FirstPaintClock(CLuDiscoverDlg* window, qint64 startNs) : window_(window), startNs_(startNs) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const qint64 ns = qint64{now.tv_sec} * 1000000000 + now.tv_nsec;
            std::printf("first paint after %.1f ms\n", (ns - startNs_) / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, window_, &CLuDiscoverDlg::CloseWindow);
        }
        return false;
    }

  private:
    CLuDiscoverDlg* window_;
    qint64 startNs_;
    bool seen_ = false;
};

int FirstPaint(int argc, char** argv, qint64 startNs) {
    QApplication app(argc, argv);
    norvale::app::CLuDiscoverApp discover;
    discover.LoadLanguage(QCoreApplication::applicationDirPath());
    norvale::app::DiscoverDlgOptions options;
    options.linkFactory = norvale::app::DiscoveryHostLink::Factory();
    options.language = &discover.Language();
    CLuDiscoverDlg window(std::move(options));
    FirstPaintClock clock(&window, startNs);
    window.installEventFilter(&clock);
    QEventLoop loop;
    QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
    window.show();
    loop.exec();
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--first-paint") == 0) {
        return FirstPaint(argc, argv, std::strtoll(argv[2], nullptr, 10));
    }
    const char* const usage = "usage: window-shots OUTDIR [LOCALE] | --first-paint START_NS\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    norvale::app::CLuDiscoverApp discover;
    if (argc > 2) discover.LoadLanguage(QCoreApplication::applicationDirPath(), QLocale(argv[2]));

    norvale::app::DiscoverDlgOptions options;
    options.language = &discover.Language();
    options.startupDelayMs = 24 * 3600 * 1000;  // the shots take the message box themselves
    CLuDiscoverDlg window(std::move(options));
    window.show();
    bool ok = Save(&window, out.filePath("empty.png"));
    AddDevices(window);
    ok &= Save(&window, out.filePath("main.png"));

    window.List()->SelectItem(3);  // a model without Configure
    window.Table().Select(3);
    window.RefreshActionButtons();
    window.SetIdentifyLedCaption(false);
    ok &= Save(&window, out.filePath("selected-qmzben.png"));
    window.Table().Select(2);
    window.RefreshActionButtons();
    window.SetIdentifyLedCaption(true);
    ok &= Save(&window, out.filePath("selected.png"));

    window.ShowAboutPanel();
    ok &= Save(&window, out.filePath("about.png"));

    window.OpenOnlineHelp();
    ok &= Save(window.Help(), out.filePath("help.png"));

    // The message box lies over its owner: draw both into one picture.
    CLuMessageBox box(LoadSkinString(55), LoadSkinString(1), &window, BTN_OK);
    box.show();
    QImage shot = window.grab().toImage();
    QPainter painter(&shot);
    painter.drawPixmap(box.pos() - window.pos(), box.grab());
    painter.end();
    const bool savedBox = shot.save(out.filePath("message.png"));
    std::printf("%s %s\n", savedBox ? "wrote" : "FAILED", qPrintable(out.filePath("message.png")));
    box.hide();
    delete window.AboutPanel();
    ok &= SaveFocusShots(window, out);
    return ok && savedBox ? 0 : 1;
}
