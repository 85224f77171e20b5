#pragma once
// Lists made from an exported scan or from a drive, as the report fills them, with the
// tables and messages it would have written.
#include <QFile>

#include "common/HomeFixture.h"
#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "grid/Grid.h"
#include "interchange/ScanImport.h"
#include "platform/PathMap.h"
#include "scan/FillList.h"
#include "scan/FolderStates.h"
#include "scan/ImportDrives.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

namespace importtest {

struct Report {
    bool listed = false;  // the drive's root was read: there is a list to report
    scan::FolderTable folders;
    QList<QStringList> rows;  // the cells of each row as written
    qint32 fileTotal = 0;
    qint64 allocTotal = 0;
    QString totals;  // TOTDSP FREDSP USEDSP
    QString volume;
    QByteArray err;
};

// drive: "T:".
inline Report ListOf(const QString& drive) {
    Report r;
    // Listed as the report lists it: from the folder table, without a grid.
    testsupport::ListFixture l({.grid = false, .indentStep = 16});
    scan::DriveList& list = l.list;
    list.OverviewShown = true;
    list.ReportFailure = [&r](const QString& text) { r.err += text.toUtf8() + '\n'; };
    l.fill(drive);
    r.listed = list.ListRowCount > 0 && list.RootError == 0;
    for (const QString& line : scan::UnreadableFolderLines(list)) r.err += line.toUtf8() + '\n';
    r.folders = list.Folders;
    for (int i = 0; i < l.rows(); ++i) r.rows << l.cells(i);
    r.fileTotal = list.FileTotal;
    r.allocTotal = list.AllocTotal;
    r.totals = list.TOTDSP + u' ' + list.FREDSP + u' ' + list.USEDSP;
    r.volume = list.VOLDSP;
    return r;
}

inline Report ReportOfImport(const QByteArray& nativeFile) {
    QString error;
    const int index = scan::AddImportedDrive(nativeFile, interchange::ImportScanFile, error);
    if (index < 0) {
        Report r;
        r.err = error.toUtf8();
        return r;
    }
    return ListOf(QString(QChar(u'A' + index)) + u':');
}

using ImportFixture = testsupport::HomeFixture;

}  // namespace importtest
