#include "tools/skin-art/Palette.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>
#include <vector>

bool Palette::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return false;
    const QJsonObject obj = doc.object();
    const std::vector<std::pair<const char*, QColor*>> keys = {{"windowTop", &windowTop},
                                                               {"windowBottom", &windowBottom},
                                                               {"titleTop", &titleTop},
                                                               {"titleBottom", &titleBottom},
                                                               {"cardTop", &cardTop},
                                                               {"cardBottom", &cardBottom},
                                                               {"well", &well},
                                                               {"accent", &accent},
                                                               {"accentLight", &accentLight},
                                                               {"accentDeep", &accentDeep},
                                                               {"faceTop", &faceTop},
                                                               {"faceBottom", &faceBottom},
                                                               {"disabledFace", &disabledFace},
                                                               {"disabledGlyph", &disabledGlyph},
                                                               {"glyph", &glyph},
                                                               {"danger", &danger},
                                                               {"dangerDeep", &dangerDeep},
                                                               {"led", &led},
                                                               {"success", &success},
                                                               {"listBand", &listBand},
                                                               {"listSelected", &listSelected}};
    for (const auto& [name, colour] : keys) {
        const QColor value = QColor::fromString(obj.value(QLatin1String(name)).toString());
        if (value.isValid()) *colour = value;
    }
    return true;
}

QColor withAlpha(QColor c, int a) {
    c.setAlpha(a);
    return c;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto lerp = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                  lerp(a.alpha(), b.alpha()));
}
