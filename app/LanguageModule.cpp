#include "app/LanguageModule.h"

#include <QCoreApplication>
#include <QFile>
#include <QResource>

#include "skin/StringTable.h"

namespace norvale::app {

LanguageModule::~LanguageModule() {
    Unload();
}

bool LanguageModule::Load(const QString& path) {
    if (path.isEmpty() || !QFile::exists(path)) return false;
    Unload();
    if (!QResource::registerResource(path, QString::fromLatin1(kRoot))) return false;
    path_ = path;
    StringTable& strings = StringTable::Instance();
    strings.SetLanguageRoot(QStringLiteral(":") + QString::fromLatin1(kRoot));
    strings.Reload();
    return true;
}

void LanguageModule::Unload() {
    if (path_.isEmpty()) return;
    StringTable& strings = StringTable::Instance();
    strings.SetLanguageRoot(QString());
    QResource::unregisterResource(path_, QString::fromLatin1(kRoot));
    strings.Reload();
    path_.clear();
}

QString LanguageModule::HelpPage() const {
    if (IsLoaded() && QFile::exists(QString::fromLatin1(kLanguageHelpPage))) {
        return QString::fromLatin1(kLanguageHelpPage);
    }
    return QString::fromLatin1(kOwnHelpPage);
}

QString LanguageModule::Directory() {
    return QCoreApplication::applicationDirPath();
}

}  // namespace norvale::app
