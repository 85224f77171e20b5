#pragma once
// The command line's `--export FILE DRIVE`: scans a drive as `--report` does and streams it
// to FILE ("-": standard output) in the JSON interchange format.
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace interchange {

struct ExportOptions {
    QString output;  // "-" for standard output, else a file as ArgFromNative reads it
    QString drive;
};

// Parses the whole command line ("--export" among it). False with a message for the user
// when it is not valid.
bool ParseExportArguments(const QStringList& args, ExportOptions& out, QString& error);

// Runs the export after the entry routine; progress and messages go to err. Returns a
// scan::ReportExit value: 0, 1 when the output could not be written (a file keeps its old
// contents), 3 for a drive that cannot be read, 4 when a figure passed its limit.
int RunExport(const ExportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QByteArray& programVersion, qint64 timestamp);

}  // namespace interchange
