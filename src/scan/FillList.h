#pragma once
// Turns a drive into the list: reads the drive, scans its root, appends the total row and
// shows the finished rows with their figures. Widget steps go through the hooks of
// DriveList, so the same code serves the window and the command line.
#include <QString>
#include <QTime>

#include "scan/DriveList.h"

namespace scan {

void FillList(DriveList& list, const QString& drive);

// Puts the cursor on the row of folder record, or of its nearest ancestor with a row,
// offset rows below the top of the view, then refreshes the figures.
void DispListByButtons(DriveList& list, int record, int offset);

// "H:MM:SS" of end − start, taken part by part as the clock shows them.
QString ElapsedText(const QTime& start, const QTime& end);

}  // namespace scan
