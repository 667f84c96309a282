// skin-gallery [OUTPUT.png]: renders every skinned control in every state and
// every image of the programs' resources onto one sheet (default
// build/skin-gallery.png). Runs on the offscreen platform.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "GalleryScenes.h"
#include "GallerySheet.h"
#include "skin/SkinFonts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    QApplication app(argc, argv);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/skin-gallery.png");
    const bool tahoma = EnsureSkinFonts();

    GallerySheet sheet(1700);
    AddMainWindowScene(sheet);
    AddControlScenes(sheet);
    AddComboScenes(sheet);
    AddResourceImages(sheet);

    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!sheet.Render().save(output)) {
        std::fprintf(stderr, "skin-gallery: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("skin-gallery: wrote %s (text face %s)\n", qPrintable(output),
                tahoma ? "Tahoma" : "DejaVu Sans");
    return 0;
}
