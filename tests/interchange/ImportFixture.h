#pragma once
// Reports made from an exported scan or from a drive, with the tables the writer saw.
#include <QBuffer>
#include <QFile>

#include "common/TestSupport.h"
#include "interchange/ScanImport.h"
#include "platform/PathMap.h"
#include "scan/ReportCommand.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

namespace importtest {

struct Report {
    int exit = -1;
    scan::FolderTable folders;
    QList<QStringList> rows;  // the cells of each row as written
    qint32 fileTotal = 0;
    qint64 allocTotal = 0;
    QString totals;  // TOTDSP FREDSP USEDSP
    QString volume;
    QByteArray err;
};

inline Report RunReport(scan::ReportOptions o) {
    Report r;
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    scan::ReportWriters w;
    w.toDevice = [&r](const scan::DriveList& list, bool, QIODevice&, QString*) {
        r.folders = list.Folders;
        QString scratch;
        for (int i = 0; i < list.RowCount; ++i) {
            QStringList cells;
            for (int c = 0; c < 5; ++c) cells << scan::RowCellText(list, i, c, scratch).toString();
            r.rows << cells;
        }
        r.fileTotal = list.FileTotal;
        r.allocTotal = list.AllocTotal;
        r.totals = list.TOTDSP + u' ' + list.FREDSP + u' ' + list.USEDSP;
        r.volume = list.VOLDSP;
        return true;
    };
    r.exit = scan::RunReport(o, w, out, err, false);
    r.err = err.data();
    return r;
}

inline Report ReportOfImport(const QByteArray& nativeFile) {
    scan::ReportOptions o;
    o.importFile = platform::ArgFromNative(nativeFile);
    return RunReport(o);
}

struct ImportFixture : ::testing::Test {
    testsupport::TempHome home;
    void SetUp() override {
        app::SetSettingsNative(home.settingsFile());
        interchange::InstallScanImport();
    }
    void TearDown() override { app::SetSettingsNative({}); }
    QByteArray write(const QByteArray& name, const QByteArray& content) {
        const QByteArray path = home.native() + "/" + name;
        testsupport::WriteAll(path, content);
        return path;
    }
};

}  // namespace importtest
