// norvale-autoupdate: brings Norvale Discovery up to date. Started by the
// main program with one command line "VER:<version> DIR:<install folder>".
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "Version.h"
#include "common/UpdaterCommandLine.h"
#include "updater/UpdaterApp.h"

int main(int argc, char** argv) {
    // Asked for its usage, it neither checks for an update nor opens a window.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts(
            "usage: norvale-autoupdate VER:<version> DIR:<install folder>\n"
            "Started by Norvale Discovery to bring it up to date.");
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvale Discovery AutoUpdate"));
    QApplication::setApplicationVersion(QStringLiteral(NORVALE_VERSION_TEXT));
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();
    norvale::updater::CAutoUpdateApp updater;
    return updater.InitInstance(norvale::common::JoinArguments(arguments));
}
