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
        {m(128), [&] { return i.emblem(256); }},
        {m(130), [&] { return w.mainBackground(); }},
        {m(131), [&] { return b.dialogButton(); }},
        {m(132), [&] { return b.closeButton(QSize(38, 24)); }},
        {m(134), [&] { return b.plainButton(); }},
        {m(135), [&] { return l.deviceRows(); }},
        {m(136), [&] { return b.pageButton(Direction::Down); }},
        {m(137), [&] { return w.heading(); }},
        {m(138), [&] { return b.pageButton(Direction::Up); }},
        {m(139), [&] { return b.minimiseButton(QSize(38, 24)); }},
        {m(141), [&] { return w.panelBackground(); }},
        {m(142), [&] { return i.emblem(45); }},
        {m(145), [&] { return l.shareRows(); }},
        {m(146), [&] { return w.dialogBackground(); }},
        {m(149), [&] { return b.actionButton(); }},
        {m(154), [&] { return b.comboFace(); }},
        {m(155), [&] { return l.scrollBars(); }},
        {m(157), [&] { return l.ledMark(); }},
        {m(160), [&] { return b.textButton(); }},
        {m(161), [&] { return i.deviceIcon(1, 256); }},
        {m(163), [&] { return i.deviceIcon(2, 256); }},
        {m(164), [&] { return i.deviceIcon(3, 256); }},
        {m(188), [&] { return i.deviceIcon(4, 256); }},
    };
}

std::vector<Entry> updaterProgram(const ButtonArt& b, const IconArt& i, const WindowArt& w) {
    auto u = [](int id) { return QStringLiteral("updater/png/%1.png").arg(id); };
    return {
        {u(1128), [&] { return i.updaterIcon(256); }},
        {u(1134), [&] { return b.closeButton(QSize(40, 20)); }},
        {u(1136), [&] { return b.dialogButton(); }},
        {u(1137), [&] { return w.dialogBackground(); }},
        {u(1138), [&] { return b.minimiseButton(QSize(40, 20)); }},
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
