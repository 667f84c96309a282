#include "common/UpdaterCommandLine.h"

namespace norvale::common {
namespace {

const QString kVersion = QStringLiteral("VER:");
const QString kFolder = QStringLiteral("DIR:");

}  // namespace

QString UpdaterCommandLineText(const ProductVersion& version, const QString& installFolder) {
    return kVersion +
           QString::asprintf("%d.%d0.%04d.%03d ", version.major, version.minor, version.patch,
                             version.build) +
           kFolder + installFolder;
}

UpdaterCommandLine ParseUpdaterCommandLine(const QString& line) {
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

}  // namespace norvale::common
