#pragma once
// The one parser of the command line: which command it names (a window, the report, the
// export, the drive overview, the version or the usage) with its drive and options.
#include <QString>
#include <QStringList>

#include "cli/ReportCommand.h"

namespace cli {

enum class Command { Window, Version, Help, Drives, Report, Export };

struct CommandLine {
    Command command = Command::Window;
    // The window's drive or importFile, the report's options, the export's drive and output.
    ReportOptions options;
};

// The arguments as ArgFromNative reads them. False with a message for the user when they
// are not valid (exit code kExitBadArguments); usage tells that the usage text should follow.
bool ParseCommandLine(const QStringList& args, CommandLine& line, QString& error, bool& usage);

// "FOLDEX Ver.6.0.0".
QString VersionLine();
// The usage text, a line at a time.
QStringList UsageLines();

}  // namespace cli
