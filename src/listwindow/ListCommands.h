#pragma once
// The rules behind saving and finding, free of widgets so that they are tested directly.
#include <QString>
#include <functional>

#include "grid/GridState.h"

namespace listwindow {

// The report's default name in a folder: "Log" + drive + ".TXT", else the first of
// "-1", "-2", … before ".TXT" that exists does not report (by native name).
QString DefaultReportName(QChar drive, const std::function<bool(const QString& name)>& exists);

// A name the save dialog returned with ".TXT" appended to a name that had an extension of
// its own ("LIST.CSV.TXT") loses the appended part; any other name stays as it is.
QString DropAppendedExtension(const QString& fileName);

// True when the text (already upper-cased) lies in the row's name cell as the list shows it.
bool RowMatches(QStringView name, const QString& upperText);

// The first matching row from start stepping by step (+1 or -1), without wrapping; -1 when
// none. Only the rows the list shows count.
int FindRow(const grid::GridState& st, const QString& text, int start, int step);

}  // namespace listwindow
