// skin-art: draws every skin picture of Norvale Discovery and
// NorvaleAutoUpdate into the resources folder.
//
//   skin-art --out RESOURCES [--palette palette.json] [--frames DIR]
//   skin-art --out RESOURCES --mockup DIR
//
// The first form writes RESOURCES/main/png/<id>.png and
// RESOURCES/updater/png/<id>.png, and the frames of the DOWNLOAD animation
// as DIR/frame-NN.png (render.sh assembles them into the GIF). The second
// form reads the written pictures back and composes preview screens.
#include "resources/MainImageIds.h"
#include "resources/UpdaterImageIds.h"
#include "tools/skin-art/ButtonArt.h"
#include "tools/skin-art/DownloadAnimation.h"
#include "tools/skin-art/IconArt.h"
#include "tools/skin-art/ListArt.h"
#include "tools/skin-art/Mockup.h"
#include "tools/skin-art/Palette.h"
#include "tools/skin-art/WindowArt.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Entry {
    QString path;  // relative to the resources folder
    std::function<QImage()> draw;
};

// Loads Tahoma from the wine fonts when fontconfig does not know it; returns
// the family to use (DejaVu Sans when Tahoma is nowhere).
QString loadFont() {
    const QStringList files = {QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
                               QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf")};
    QString family;
    for (const QString& file : files) {
        const int id = QFontDatabase::addApplicationFont(file);
        if (id >= 0 && family.isEmpty())
            family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    return family.isEmpty() ? QStringLiteral("DejaVu Sans") : family;
}

std::vector<Entry> mainProgram(const ButtonArt& b, const ListArt& l, const IconArt& i,
                               const WindowArt& w) {
    auto m = [](int id) { return QStringLiteral("main/png/%1.png").arg(id); };
    return {
        {m(MainImage::kProgramIcon), [&] { return i.emblem(256); }},
        {m(MainImage::kWindowBackground), [&] { return w.mainBackground(); }},
        {m(MainImage::kDialogButtons), [&] { return b.dialogButton(); }},
        {m(MainImage::kCloseButton), [&] { return b.closeButton(QSize(38, 24)); }},
        {m(MainImage::kPlainButtons), [&] { return b.plainButton(); }},
        {m(MainImage::kDeviceRows), [&] { return l.deviceRows(); }},
        {m(MainImage::kPageDown), [&] { return b.pageButton(Direction::Down); }},
        {m(MainImage::kHeading), [&] { return w.heading(); }},
        {m(MainImage::kPageUp), [&] { return b.pageButton(Direction::Up); }},
        {m(MainImage::kMinimiseButton), [&] { return b.minimiseButton(QSize(38, 24)); }},
        {m(MainImage::kPanelBackground), [&] { return w.panelBackground(); }},
        {m(MainImage::kLogo), [&] { return i.emblem(45); }},
        {m(MainImage::kShareRows), [&] { return l.shareRows(); }},
        {m(MainImage::kMessageBoxBackground), [&] { return w.dialogBackground(); }},
        {m(MainImage::kActionButtons), [&] { return b.actionButton(); }},
        {m(MainImage::kComboFace), [&] { return b.comboFace(); }},
        {m(MainImage::kScrollBars), [&] { return l.scrollBars(); }},
        {m(MainImage::kLedMark), [&] { return l.ledMark(); }},
        {m(MainImage::kTextButtons), [&] { return b.textButton(); }},
        {m(MainImage::kClass1Icon), [&] { return i.deviceIcon(1, 256); }},
        {m(MainImage::kClass2Icon), [&] { return i.deviceIcon(2, 256); }},
        {m(MainImage::kClass3Icon), [&] { return i.deviceIcon(3, 256); }},
        {m(MainImage::kClass4Icon), [&] { return i.deviceIcon(4, 256); }},
    };
}

std::vector<Entry> updaterProgram(const ButtonArt& b, const IconArt& i, const WindowArt& w) {
    auto u = [](int id) { return QStringLiteral("updater/png/%1.png").arg(id); };
    return {
        {u(UpdaterImage::kProgramIcon), [&] { return i.updaterIcon(256); }},
        {u(UpdaterImage::kCloseButton), [&] { return b.closeButton(QSize(40, 20)); }},
        {u(UpdaterImage::kDialogButtons), [&] { return b.dialogButton(); }},
        {u(UpdaterImage::kDialogBackground), [&] { return w.dialogBackground(); }},
        {u(UpdaterImage::kMinimiseButton), [&] { return b.minimiseButton(QSize(40, 20)); }},
    };
}

// The program's icon in the sizes desktops look for (icons/hicolor, as
// installed under PREFIX/share).
std::vector<Entry> desktopIcons(const IconArt& i) {
    std::vector<Entry> icons;
    for (int size : {48, 64, 128, 256}) {
        icons.push_back({QStringLiteral("icons/hicolor/%1x%1/apps/norvale-discovery.png").arg(size),
                         [&i, size] { return i.emblem(size); }});
    }
    return icons;
}

bool save(const QDir& root, const QString& path, const QImage& image) {
    const QString file = root.filePath(path);
    QDir().mkpath(QFileInfo(file).path());
    const bool rgb = !image.hasAlphaChannel();
    const QImage out = image.convertToFormat(rgb ? QImage::Format_RGB888 : QImage::Format_ARGB32);
    if (out.save(file, "PNG", 9)) return true;
    std::fprintf(stderr, "skin-art: cannot write %s\n", qPrintable(file));
    return false;
}

int render(const QDir& root, const Palette& pal, const QString& family, const QString& frames) {
    const IconArt icons(pal);
    const ButtonArt buttons(pal);
    const ListArt lists(pal);
    const WindowArt windows(pal, icons, family);
    std::vector<Entry> all = mainProgram(buttons, lists, icons, windows);
    for (Entry& e : updaterProgram(buttons, icons, windows)) all.push_back(std::move(e));
    for (Entry& e : desktopIcons(icons)) all.push_back(std::move(e));
    int failures = 0;
    for (const Entry& e : all) failures += save(root, e.path, e.draw()) ? 0 : 1;
    if (!frames.isEmpty()) {
        const QImage backdrop = windows.dialogBackground().copy(40, 40, DownloadAnimation::kWidth,
                                                                DownloadAnimation::kHeight);
        const DownloadAnimation anim(pal, icons, backdrop);
        for (int k = 0; k < DownloadAnimation::kFrames; ++k) {
            const QString name = QStringLiteral("frame-%1.png").arg(k, 2, 10, QLatin1Char('0'));
            failures += save(QDir(frames), name, anim.frame(k)) ? 0 : 1;
        }
    }
    return failures == 0 ? 0 : 1;
}

int mockups(const QDir& root, const QString& family, const QDir& out) {
    const Mockup mock(root, family);
    QDir().mkpath(out.path());
    const bool ok = mock.mainWindow().save(out.filePath("mockup.png")) &&
                    mock.aboutPanel().save(out.filePath("mockup-about.png")) &&
                    mock.sharePanel().save(out.filePath("mockup-shares.png")) &&
                    mock.updater().save(out.filePath("mockup-updater.png"));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"out", "Resources folder to write into.", "dir"});
    parser.addOption({"palette", "JSON file with palette colours.", "file"});
    parser.addOption({"frames", "Folder for the animation frames.", "dir"});
    parser.addOption({"mockup", "Compose preview screens into this folder.", "dir"});
    parser.process(app);
    if (!parser.isSet("out")) {
        std::fprintf(stderr, "skin-art: --out is required\n");
        return 2;
    }
    const QDir root(parser.value("out"));
    const QString family = loadFont();
    if (parser.isSet("mockup")) return mockups(root, family, QDir(parser.value("mockup")));
    Palette pal;
    if (parser.isSet("palette") && !pal.load(parser.value("palette"))) {
        std::fprintf(stderr, "skin-art: cannot read palette %s\n",
                     qPrintable(parser.value("palette")));
        return 2;
    }
    return render(root, pal, family, parser.value("frames"));
}
