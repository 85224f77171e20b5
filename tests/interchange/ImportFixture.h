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
    QStringList rows;
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
        for (int i = 0; i < list.Grid->st.rowCount; ++i) r.rows << list.Grid->st.rowText[i];
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
