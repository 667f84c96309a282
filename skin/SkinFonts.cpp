#include "skin/SkinFonts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QRawFont>
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
    if (!loaded) QFont::insertSubstitution(SkinFaceName(), kFallbackFamily);
    return loaded;
}

}  // namespace

bool EnsureSkinFonts() {
    // The font database needs the application object; try again later.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    static std::once_flag once;
    static bool haveTahoma = false;
    std::call_once(once, [] { haveTahoma = LoadTahoma(); });
    return haveTahoma;
}

const QString& SkinFaceName() {
    static const QString face = QStringLiteral("Tahoma");
    return face;
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

namespace {

quint16 ReadBigEndian16(const QByteArray& table, int offset) {
    return static_cast<quint16>((static_cast<quint8>(table[offset]) << 8) |
                                static_cast<quint8>(table[offset + 1]));
}

}  // namespace

static SkinLineMetrics ReadLineMetrics(const QFont& font);

SkinLineMetrics LineMetricsFor(const QFont& font) {
    // Fonts are used on the user-interface thread; other threads get their own cache.
    thread_local QHash<QString, SkinLineMetrics> cache;
    const QString key = font.key();
    auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    const SkinLineMetrics metrics = ReadLineMetrics(font);
    cache.insert(key, metrics);
    return metrics;
}

static SkinLineMetrics ReadLineMetrics(const QFont& font) {
    const qreal pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    SkinLineMetrics metrics;
    metrics.padding = pixels / 6;
    // OS/2: usWinAscent at 74, usWinDescent at 76; head: unitsPerEm at 18.
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.fontTable("OS/2");
    const QByteArray head = raw.fontTable("head");
    if (os2.size() >= 78 && head.size() >= 20) {
        const qreal unitsPerEm = ReadBigEndian16(head, 18);
        const qreal winAscent = ReadBigEndian16(os2, 74);
        const qreal winDescent = ReadBigEndian16(os2, 76);
        if (unitsPerEm > 0 && winAscent + winDescent > 0) {
            metrics.ascent = winAscent * pixels / unitsPerEm;
            metrics.lineSpacing = (winAscent + winDescent) * pixels / unitsPerEm;
            return metrics;
        }
    }
    const QFontMetricsF fallback(font);
    metrics.ascent = fallback.ascent();
    metrics.lineSpacing = std::max(fallback.lineSpacing(), fallback.height());
    return metrics;
}
