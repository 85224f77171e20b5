// Copies one folder of a drive to another drive with the folder-operation engine, answering
// every question with its default, and prints the seconds the run took.
//   bench_folderops SOURCE_ROOT FOLDER DEST_ROOT
// SOURCE_ROOT and DEST_ROOT become drives T: and U:; FOLDER is a folder directly in
// SOURCE_ROOT.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "folderops/FolderOps.h"
#include "grid/Grid.h"
#include "platform/DriveMap.h"
#include "scan/FillList.h"
#include "settings/Settings.h"

namespace {

struct Host : folderops::OpsHost {
    bool visible = false;
    int Ask(const QString&, int flags) override {
        return (flags & 0xF) == folderops::kYesNo || (flags & 0xF) == folderops::kYesNoCancel
                   ? folderops::kAnswerYes
                   : folderops::kAnswerOk;
    }
    void Turn() override { QCoreApplication::processEvents(); }
    bool DialogVisible() override { return visible; }
    void BeginRun(const QString&) override { visible = true; }
    void HideDialog() override { visible = false; }
    void EndRun() override { visible = false; }
    int EndCode() override { return 0; }
    bool Unattended() override { return false; }
    void SetTitle(const QString&) override {}
    void CopyFailed(const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void OpenFile(const QByteArray&) override {}
    void AfterRun() override {}
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE_ROOT FOLDER DEST_ROOT\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    app::SetSettingsNative(QFile::encodeName(home.path()) + "/FOLDEX.Opt");
    platform::Drives().set(platform::LetterIndex(u'T'), argv[1]);
    platform::Drives().set(platform::LetterIndex(u'U'), argv[3]);
    grid::Grid grid;
    grid::InitGrid(grid, 0);
    scan::DriveList list;
    list.Grid = &grid;
    scan::FillList(list, QStringLiteral("T:"));
    const QByteArray want = QByteArray(argv[1]) + '/' + argv[2];
    int row = -1;
    for (int r = 0; r + 1 < grid.st.rowCount; ++r)
        if (list.Folders.nativePath(list.Folders.Order[size_t(r)]) == want) row = r;
    if (row < 0) {
        std::fprintf(stderr, "no folder %s\n", want.constData());
        return 2;
    }
    // The folder and every folder below it, so that each is copied whole or by its files.
    const int level = list.Folders.Level[size_t(list.Folders.Order[size_t(row)])];
    for (int r = row; r + 1 < grid.st.rowCount; ++r) {
        if (r > row && list.Folders.Level[size_t(list.Folders.Order[size_t(r)])] <= level) break;
        grid.st.rowSelected[size_t(r)] = -1;
    }
    Host host;
    folderops::FolderOps ops(list, host, QFile::encodeName(home.path()));
    QElapsedTimer timer;
    timer.start();
    const folderops::RunEnd end = ops.CopyRun(QStringLiteral("コピー"), QStringLiteral("U:"));
    std::printf("%.3f\n", double(timer.nsecsElapsed()) / 1e9);
    return end == folderops::RunEnd::Finished ? 0 : 1;
}
