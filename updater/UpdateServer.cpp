#include "updater/UpdateServer.h"

#include <QTextStream>
#include <QtGlobal>

namespace norvale::updater {
namespace {

constexpr char kVariable[] = "NORVALE_UPDATE_SERVER";

// Printable ASCII as it is, anything else as "?".
QString Printable(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F) c = QLatin1Char('?');
    return text;
}

void ExplainRefusal(const QString& origin, const QString& base) {
    QTextStream(stderr) << "norvale-autoupdate: the update server " << Printable(base) << " ("
                        << origin << ") is not an https:// address; no update check is made"
                        << Qt::endl;
}

}  // namespace

QString UpdateServerBase() {
    QString base = QString::fromUtf8(NORVALE_UPDATE_SERVER_URL);
    QString origin = QStringLiteral("the build setting NORVALE_UPDATE_SERVER_URL");
    if (qEnvironmentVariableIsSet(kVariable)) {
        base = qEnvironmentVariable(kVariable);
        origin = QLatin1String(kVariable);
    }
    if (!base.startsWith(QLatin1String("https://")) || base.size() <= 8) {
        ExplainRefusal(origin, base);
        return {};
    }
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

}  // namespace norvale::updater
