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

#include "drives/LinuxSharePlatform.h"
#include "drives/ShareDrives.h"

namespace {

// Share names come from the network: control and formatting characters are
// shown as \u{XXXX} so that nothing reaches the terminal as a command.
QByteArray PrintableText(const QString& text) {
    QString out;
    for (QChar c : text) {
        const QChar::Category category = c.category();
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || category == QChar::Other_Control ||
            category == QChar::Other_Format) {
            out += QStringLiteral("\\u{%1}").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

class PrintingSink : public drives::ShareRowSink {
  public:
    void AddShareRow(const QString& text, char16_t) override {
        std::printf("%s\n", PrintableText(text).constData());
    }
};

int Usage() {
    std::fprintf(stderr, "usage: norvale-shares MAPNAME [--map]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
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
