// norvale-discovery: the window of Norvale Discovery, or its command-line
// front end (--list, --watch, --set-led).
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "Version.h"
#include "app/CLuDiscoverApp.h"
#include "app/CliMain.h"
#include "app/CommandLine.h"

namespace {

using norvale::app::CommandLine;

// True when a window can be shown: an X or Wayland display, or a Qt
// platform named explicitly (offscreen, for example).
bool HaveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindow(const CommandLine& line, int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvale Discovery"));
    QApplication::setApplicationVersion(QStringLiteral(NORVALE_VERSION_TEXT));
    norvale::app::CLuDiscoverApp discover;
    return discover.InitInstance(line);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const norvale::app::ParsedCommandLine parsed = norvale::app::ParseCommandLine(args);
    if (!parsed.commandLine) {
        std::fprintf(stderr, "norvale-discovery: %s\n%s", parsed.error.c_str(),
                     norvale::app::UsageText().c_str());
        return 2;
    }
    CommandLine line = *parsed.commandLine;
    switch (line.mode) {
        case CommandLine::Mode::Help:
            std::fputs(norvale::app::UsageText().c_str(), stdout);
            return 0;
        case CommandLine::Mode::Version:
            std::printf("norvale-discovery %s\n", NORVALE_VERSION_TEXT);
            return 0;
        case CommandLine::Mode::Window:
            if (HaveDisplay()) return RunWindow(line, argc, argv);
            std::fputs(
                "norvale-discovery: no display; listing the devices on the command line "
                "instead\n",
                stderr);
            line.mode = CommandLine::Mode::List;
            return norvale::app::RunCommandLine(line, argc, argv);
        default:
            return norvale::app::RunCommandLine(line, argc, argv);
    }
}
