// Times the largest-files window on a folder that the window has listed: from the sizes the
// scan kept (the folders holding the largest files listed again), and, for comparison, with
// the whole subtree read again. Prints how many files the scan kept.
//   bench_largest FOLDER [RUNS]     (QT_QPA_PLATFORM=offscreen is set when unset)
// A tree of 400,000 files:  bench/window/make_tree.sh DIR 400000
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchTiming.h"
#include "listwindow/LargestFilesWindow.h"
#include "listwindow/ListForm.h"
#include "listwindow/RunWindows.h"
#include "platform/LargeFiles.h"
#include "scan/LargestFiles.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/Startup.h"

using benchtiming::Median;
using benchtiming::TimeMs;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_largest FOLDER [RUNS]\n");
        return 2;
    }
    QTemporaryDir home;
    qputenv("FOLDEX_HOME", QFile::encodeName(home.path()));
    QApplication qapp(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    app::Application application;
    app::EntryRoutine({}, {}, folder);
    const QString drive = app::Ctx().CommandLine.left(2);
    if (drive.size() < 2) {
        std::fprintf(stderr, "bench_largest: no such folder\n");
        return 3;
    }
    app::Ctx().FirstWindow = false;
    app::Ctx().NextSlot = 0;
    auto* w = new listwindow::ListForm();
    w->LoadShow();
    w->Calc(w->ButtonOfDrive(drive.at(0).unicode() - u'A'));
    QCoreApplication::processEvents();
    const scan::DriveList& list = w->list();
    std::printf("files %d, kept by the scan %d\n", list.FileTotal, list.Files.FileTableCount);
    const int total = list.RowCount - 1;
    std::vector<double> window, again;
    for (int i = 0; i < runs; ++i) {
        // The menu item on the total row: the whole drive, window shown and painted.
        window.push_back(TimeMs([&] {
            w->ShowLargestFiles(total);
            QCoreApplication::processEvents();
        }));
        for (auto* l : w->findChildren<listwindow::LargestFilesWindow*>()) delete l;
        // The same list read from the disk, as without the scan's sizes.
        again.push_back(TimeMs([&] {
            platform::FolderChain chain;
            std::vector<platform::FoundFile> found;
            int unreadable = 0;
            if (chain.OpenRoot(list.Folders.RootNative))
                platform::ReadLargestBelow(chain, scan::kLargestShown, {}, found, unreadable);
        }));
    }
    std::printf("largest files window (median of %d): %.0f ms from the scan, %.0f ms read again\n",
                runs, Median(window), Median(again));
    w->close();
    delete w;
    return 0;
}
