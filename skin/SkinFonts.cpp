#include "skin/SkinFonts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QStringList>
#include <cmath>
#include <mutex>

#include "skin/SkinTypes.h"

namespace {

const char* const kFallbackFamily = "DejaVu Sans";

QStringList TahomaFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"),
            QStringLiteral("/usr/share/wine/fonts"),
            QStringLiteral("/usr/share/fonts/truetype/wine"),
            QStringLiteral("/usr/lib/wine/fonts")};
}

bool LoadTahoma() {
    bool loaded = false;
    for (const QString& folder : TahomaFolders()) {
        for (const char* file : {"/tahoma.ttf", "/tahomabd.ttf"}) {
            const QString path = folder + QLatin1String(file);
            if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0) loaded = true;
        }
        if (loaded) break;
    }
    if (!loaded) QFont::insertSubstitution(QStringLiteral("Tahoma"), kFallbackFamily);
    return loaded;
}

}  // namespace

bool EnsureSkinFonts() {
    static std::once_flag once;
    static bool haveTahoma = false;
    std::call_once(once, [] { haveTahoma = LoadTahoma(); });
    return haveTahoma;
}

int SkinPointsToPixels(double points) {
    return std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0)));
}

QFont SkinFont(const QString& face, double points, int style) {
    EnsureSkinFonts();
    QFont font(face);
    font.setPixelSize(SkinPointsToPixels(points));
    font.setBold(style & kFontBold);
    font.setItalic(style & kFontItalic);
    font.setUnderline(style & kFontUnderline);
    font.setStrikeOut(style & kFontStrikeout);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
