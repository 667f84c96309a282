// window-shots OUTDIR [LOCALE]: renders the views of the main window into
// PNG files without a display or a network: the window with devices, a
// selected device with its action column, the About panel, the help window
// and the no-device message box. The devices are made up; the window is the
// real one, built with no discovery link.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <cstdint>
#include <cstdio>

#include "app/CAboutDlg.h"
#include "app/CLuDiscoverApp.h"
#include "app/CLuDiscoverDlg.h"
#include "app/HelpWindow.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window-shots OUTDIR [LOCALE]\n");
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
    return ok && savedBox ? 0 : 1;
}
