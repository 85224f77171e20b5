#pragma once
// The list as a file: a fixed-column text report or comma-separated values, written from
// the rows the list shows (levels, sort, unit and paths as shown). UTF-8, lines ended by
// CR LF. A wide (East Asian full-width) character takes two columns of the report.
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <functional>

#include "scan/DriveList.h"
#include "scan/TreeRows.h"

namespace exportlist {

enum class Format { Text, Csv };

// Csv when the name's last extension is "CSV" in any case, else Text.
Format FormatForName(const QString& fileName);

// The lines of each format, one at a time, without line ends. Nothing is read from the disk.
using LineSink = std::function<void(const QString& line)>;
void ForEachCsvLine(const scan::DriveList& list, const LineSink& put);
void ForEachReportLine(const scan::DriveList& list, const QDateTime& now, const LineSink& put);

// One row line of the report: 160 columns, name from column nameColumn (1-based) and cut
// before column 48, file count from 48, sizes from 55, 70 and 85 (the total row: its
// third cell from 70 and nothing from 85); trailing blanks removed.
// One line of the text report: the shown name from nameColumn, then the row's figures in the
// list's unit.
// changes: the figures are a comparison's changes, "+" before a growth.
QString ReportRowLine(const QString& name, const scan::RowFigures& figures, int unitMode,
                      int nameColumn, int caseStyle, bool changes = false);

// Writes the lines with CR LF, in pieces, through write; stops at the first piece that
// write refuses and returns false.
using ByteSink = std::function<bool(const QByteArray& bytes)>;
bool WriteListBytes(const scan::DriveList& list, Format format, const QDateTime& now,
                    const ByteSink& write);

// Writes the lines with CR LF to an open device. On failure returns false and sets error.
bool WriteList(const scan::DriveList& list, Format format, QIODevice& device, const QDateTime& now,
               QString* error = nullptr);

// Writes to a file through a temporary file in its folder and a rename, so a failure
// leaves an older file whole; a read-only file is left as it is. A device or pipe (not a
// regular file) is written directly. error: the system's description of the failure.
bool SaveListFile(const scan::DriveList& list, Format format, const QByteArray& nativePath,
                  const QDateTime& now, QString* error = nullptr);

}  // namespace exportlist
