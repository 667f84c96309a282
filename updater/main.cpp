// norvale-autoupdate: brings Norvale Discovery up to date. Started by the
// main program with one command line "VER:<version> DIR:<install folder>".
#include <QApplication>
#include <QStringList>

#include "Version.h"
#include "updater/UpdaterApp.h"
#include "updater/UpdaterCommandLine.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvale Discovery AutoUpdate"));
    QApplication::setApplicationVersion(QStringLiteral(NORVALE_VERSION_TEXT));
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();
    norvale::updater::CAutoUpdateApp updater;
    return updater.InitInstance(norvale::updater::JoinArguments(arguments));
}
