// norvale-shares MAPNAME [--map]
//
// Prints the rows the share panels would show for a device, one row text a
// line ("data", "media (Z:)"); with --map the unmapped shares are first given
// free drive letters, as the drive-mapping panel does in automatic mode.
// Exits 1 with the error's text on standard error when the shares cannot be
// listed, 2 on a usage error.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "app/TerminalText.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ShareDrives.h"

namespace {

// Share names come from the network: control characters are shown escaped
// so that nothing reaches the terminal as a command.
QByteArray PrintableText(const QString& text) {
    return norvale::app::TerminalText(text).toUtf8();
}

class PrintingSink : public drives::ShareRowSink {
  public:
    void AddShareRow(const QString& text, char16_t) override {
        std::printf("%s\n", PrintableText(text).constData());
    }
};

const char* const kUsage = "usage: norvale-shares MAPNAME [--map]\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool map = args.removeAll(QStringLiteral("--map")) > 0;
    if (args.size() != 1 || args.at(0).startsWith(QLatin1Char('-'))) return Usage();
    const QString mapName = args.at(0);

    drives::LinuxSharePlatform platform(drives::DriveFolder(), nullptr);
    drives::ShareDrives shares(platform);
    PrintingSink sink;
    if (shares.ListShares(mapName, map, &sink) == 0) {
        // Nothing listed: ask once more for the reason (a server without
        // shares is no error).
        const QString serverPath = drives::ShareDrives::ServerPath(mapName);
        std::vector<drives::ShareEntry> entries;
        const int code = platform.EnumShares(serverPath, &entries);
        if (code != drives::kNoError) {
            std::fprintf(stderr, "norvale-shares: %s: %s (error %d)\n",
                         PrintableText(serverPath).constData(),
                         PrintableText(platform.ErrorText(code)).constData(), code);
            return 1;
        }
    }
    std::fflush(stdout);
    return 0;
}
