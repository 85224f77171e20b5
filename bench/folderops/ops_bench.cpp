// Copies or deletes one folder of a drive with the folder-operation engine, answering every
// question Yes or OK, and prints the seconds the run took.
//   bench_folderops copy SOURCE_ROOT FOLDER DEST_ROOT
//   bench_folderops delete ROOT FOLDER
// The roots become drives T: and U:; FOLDER is a folder directly in the source root, shown
// collapsed and selected alone, as a person selects a folder to copy or delete whole. Exits
// non-zero when the run did not finish cleanly (or a deleted folder is still there).
#include <sys/stat.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "folderops/FolderOps.h"
#include "grid/Grid.h"
#include "platform/DriveMap.h"
#include "scan/FillList.h"
#include "scan/TreeRows.h"
#include "settings/Application.h"
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
    const bool copy = argc == 5 && std::strcmp(argv[1], "copy") == 0;
    const bool del = argc == 4 && std::strcmp(argv[1], "delete") == 0;
    if (!copy && !del) {
        std::fprintf(stderr, "usage: %s copy SOURCE_ROOT FOLDER DEST_ROOT\n", argv[0]);
        std::fprintf(stderr, "       %s delete ROOT FOLDER\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    app::Application application;
    app::SetSettingsNative(QFile::encodeName(home.path()) + "/FOLDEX.Opt");
    platform::Drives().set(platform::LetterIndex(u'T'), argv[2]);
    if (copy) platform::Drives().set(platform::LetterIndex(u'U'), argv[4]);
    grid::Grid grid;
    grid::InitGrid(grid, 0);
    scan::DriveList list;
    list.Grid = &grid;
    scan::FillList(list, QStringLiteral("T:"));
    list.ShownLevel = 1;
    scan::ApplyLevelLimit(list);
    const QByteArray want = QByteArray(argv[2]) + '/' + argv[3];
    int row = -1;
    for (int r = 0; r + 1 < grid.st.rowCount; ++r)
        if (list.Folders.nativePath(list.Folders.Order[size_t(r)]) == want) row = r;
    if (row < 0) {
        std::fprintf(stderr, "no folder %s\n", want.constData());
        return 2;
    }
    grid.st.rowSelected[size_t(row)] = -1;
    Host host;
    folderops::FolderOps ops(list, host, QFile::encodeName(home.path()));
    QElapsedTimer timer;
    timer.start();
    const folderops::RunEnd end =
        copy ? ops.CopyCommand(QStringLiteral("U:"), 1) : ops.DeleteCommand();
    std::printf("%.3f\n", double(timer.nsecsElapsed()) / 1e9);
    struct stat st;
    if (del && lstat(want.constData(), &st) == 0) {
        std::fprintf(stderr, "%s is still there\n", want.constData());
        return 1;
    }
    return end == folderops::RunEnd::Finished ? 0 : 1;
}
