// norvale-shares MAPNAME [--map] | --unmap LETTER
//
// Prints the rows the share panels would show for a device, one row text a
// line ("data", "media (Z:)"); with --map the unmapped shares are first given
// free drive letters, as the drive-mapping panel does in automatic mode, and
// every share that could not be mapped is named on standard error with the
// reason. --unmap drops a drive letter as the panels do: our link goes, and
// the share is unmounted only when this program mounted it and no letter
// uses it any more (never forced). Exits 1 with the error's text on standard
// error when the shares cannot be listed or the letter cannot be dropped,
// 2 on a usage error.
#include <QString>
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
    void AddShareRow(const QString& share, char16_t letter) override {
        std::printf("%s\n", PrintableText(drives::ShareDrives::RowText(share, letter)).constData());
    }
};

const char* const kUsage =
    "usage: norvale-shares MAPNAME [--map]\n"
    "       norvale-shares --unmap LETTER\n";

const char* const kHelp =
    "  MAPNAME          print the shares of the device MAPNAME (host name or address),\n"
    "                   one a line, a mapped share with its drive: \"media (Z:)\"\n"
    "  MAPNAME --map    first give every unmapped share the next free drive letter\n"
    "                   from Z down; shares that could not be mapped are named on\n"
    "                   standard error with the reason\n"
    "  --unmap LETTER   drop drive letter LETTER (\"Z\" or \"Z:\"): its link goes; the\n"
    "                   share is unmounted only when this program mounted it and no\n"
    "                   letter uses it any more, never while files are open there\n"
    "Drive letters are links in ~/Network Drives (NORVALE_DRIVES_DIR overrides it).\n"
    "Exit status: 0 done, 1 failed (the reason on standard error), 2 usage error.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

void PrintError(const QString& subject, const QString& text, int code) {
    std::fprintf(stderr, "norvale-shares: %s: %s (error %d)\n", PrintableText(subject).constData(),
                 PrintableText(text).constData(), code);
}

int List(drives::LinuxSharePlatform& platform, const QString& mapName, bool map) {
    drives::ShareDrives shares(platform);
    const QString serverPath = drives::ShareDrives::ServerPath(mapName);
    std::vector<drives::ShareEntry> entries;
    const int code = platform.EnumShares(serverPath, &entries);
    if (code != drives::kNoError) {
        PrintError(serverPath, platform.ErrorText(code), code);
        return 1;
    }
    PrintingSink sink;
    std::vector<drives::MapFailure> failures;
    shares.ListShares(mapName, entries, map, &sink, &failures);
    std::fflush(stdout);
    for (const drives::MapFailure& failure : failures) {
        PrintError(
            QStringLiteral("not mapped: ") + drives::ShareDrives::SharePath(mapName, failure.share),
            platform.ErrorText(failure.code), failure.code);
    }
    return 0;
}

int Unmap(drives::LinuxSharePlatform& platform, QString drive) {
    if (drive.size() == 1) drive += QLatin1Char(':');
    if (!drives::DriveFolder::LetterOf(drive)) return Usage();
    drive = drive.toUpper();
    if (platform.GetDriveType(drive) == drives::kDriveFixed) {
        PrintError(drive, QStringLiteral("not a drive letter of this program; left as it is"),
                   drives::kErrorNotConnected);
        return 1;
    }
    const int code = platform.CancelConnection(drive);
    if (code != drives::kNoError) {
        PrintError(drive, platform.ErrorText(code), code);
        return 1;
    }
    return 0;
}

}  // namespace

// No QCoreApplication: nothing here needs an event loop, and the command
// starts faster without one.
int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    drives::LinuxSharePlatform platform(drives::DriveFolder(), nullptr);
    if (args.size() == 2 && args.at(0) == QLatin1String("--unmap"))
        return Unmap(platform, args.at(1));
    const bool map = args.removeAll(QStringLiteral("--map")) > 0;
    if (args.size() != 1 || args.at(0).startsWith(QLatin1Char('-'))) return Usage();
    return List(platform, args.at(0), map);
}
