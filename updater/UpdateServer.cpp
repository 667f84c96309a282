#include "updater/UpdateServer.h"

#include <QByteArray>
#include <QtGlobal>

namespace norvale::updater {
namespace {

bool IsHttpAddress(const QString& text) {
    return text.startsWith(QLatin1String("https://")) || text.startsWith(QLatin1String("http://"));
}

}  // namespace

QString UpdateServerBase() {
    QString base = QString::fromUtf8(NORVALE_UPDATE_SERVER_URL);
    if (qEnvironmentVariableIsSet("NORVALE_UPDATE_SERVER")) {
        base = qEnvironmentVariable("NORVALE_UPDATE_SERVER");
        if (!IsHttpAddress(base)) return {};
    }
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

}  // namespace norvale::updater
