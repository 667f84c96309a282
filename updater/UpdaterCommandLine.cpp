#include "updater/UpdaterCommandLine.h"

namespace norvale::updater {

UpdaterCommandLine ParseUpdaterCommandLine(const QString& line) {
    static const QString kVersion = QStringLiteral("VER:");
    static const QString kFolder = QStringLiteral("DIR:");
    UpdaterCommandLine result;
    const qsizetype version = line.indexOf(kVersion);
    if (version < 0) return result;
    const qsizetype folder = line.indexOf(kFolder, version + kVersion.size());
    if (folder < 0) {
        result.versionToken = line.mid(version);
        return result;
    }
    // The character before "DIR:" (the separating blank) ends the token;
    // "VER:DIR:" leaves the prefix alone.
    const qsizetype end = std::max(folder - 1, version + kVersion.size());
    result.versionToken = line.mid(version, end - version);
    result.installFolder = line.mid(folder + kFolder.size());
    return result;
}

QString JoinArguments(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' '));
}

}  // namespace norvale::updater
