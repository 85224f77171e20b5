#pragma once
// The command line's `--export FILE DRIVE`: scans a drive as `--report` does and streams it
// to FILE ("-": standard output) in the JSON interchange format.
#include <QIODevice>
#include <QString>

#include "cli/ReportCommand.h"

namespace cli {

// Runs the export of options.drive to options.output ("-": standard output) after the entry
// routine; progress and messages go to err. Returns a ReportExit value: 0, 1 when the output
// could not be written (a file keeps its old contents), 3 for a drive that cannot be read,
// 4 when a figure passed its limit.
int RunExport(const ReportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QByteArray& programVersion, qint64 timestamp);

}  // namespace cli
