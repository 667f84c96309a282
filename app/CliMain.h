#pragma once

#include "app/CommandLine.h"

namespace norvale::app {

// Runs the command-line front end (--list, --watch, --set-led) with its own
// QCoreApplication; prints to stdout/stderr and returns the exit status
// (0 done, 1 runtime failure). `line.mode` must be List, Watch or SetLed.
int RunCommandLine(const CommandLine& line, int argc, char** argv);

}  // namespace norvale::app
