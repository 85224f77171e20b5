#pragma once
// The command line as the program runs it: what it prints before any application object,
// the commands without a window on standard output and error, and the end of standard output.
#include <QIODevice>

#include "cli/CommandLine.h"

namespace cli {

// Reads argv: prints the version, the usage or what is wrong with the arguments. The exit
// code when the program is done, else -1 with line holding what to run (or the window's
// drive or import file, which is there).
int ReadCommandLine(int argc, char** argv, CommandLine& line);

// Without a display the window cannot open: says so, and the drive overview runs instead.
CommandLine WithoutDisplay();

// Before the application object of a command without a window: only Qt's failures reach
// standard error, and the grid draws its fonts without a display.
void PrepareHeadless();

// Runs a command without a window once the application object exists: the entry routine,
// then the command on standard output and error.
int RunHeadless(const CommandLine& line);

// The same on out and err; progress: show the progress line on err.
int RunCommand(const CommandLine& line, QIODevice& out, QIODevice& err, bool progress);

// Whatever went to standard output must have arrived: a full disk or a closed stream is a
// failure (kExitWriteFailed when rc said success), not a success.
int FinishStdout(int rc);

}  // namespace cli
