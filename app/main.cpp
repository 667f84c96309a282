// Entry point of norvale-discovery: reads the command line and runs the
// window or the command-line front end.
#include <cstdio>
#include <string>
#include <vector>

#include "Version.h"
#include "app/CliMain.h"
#include "app/CommandLine.h"

using norvale::app::CommandLine;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = norvale::app::ParseCommandLine(args);
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
            std::printf("Norvale Discovery %s\n", NORVALE_VERSION_TEXT);
            return 0;
        case CommandLine::Mode::Window:
            std::fputs("norvale-discovery: the window is not available in this build; listing the devices instead\n",
                       stderr);
            line.mode = CommandLine::Mode::List;
            break;
        default:
            break;
    }
    return norvale::app::RunCommandLine(line, argc, argv);
}
