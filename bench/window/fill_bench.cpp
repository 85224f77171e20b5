// Times the list window on a folder: filling it against the headless report's filling,
// then a resize, level changes, a sort and a unit change.
//   bench_window FOLDER [RUNS] [ROW]   (QT_QPA_PLATFORM=offscreen is set when unset)
// ROW: the row Shift+F5 reads again (1, the first folder below the root, when not given).
// FOLDER may be an exported scan, which is then listed as a drive of its own.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchTiming.h"
#include "grid/Grid.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "listwindow/RunWindows.h"
#include "scan/Compare.h"
#include "scan/DriveList.h"
#include "scan/FillList.h"
#include "scan/TreeRows.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/Startup.h"

using benchtiming::Median;
using benchtiming::TimeMs;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_window FOLDER [RUNS]\n");
        return 2;
    }
    QTemporaryDir home;
    qputenv("FOLDEX_HOME", QFile::encodeName(home.path()));
    // Snapshots of the listings go to the temporary folder, not the user's cache.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    QApplication qapp(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const int refreshRow = argc > 3 ? std::max(1, atoi(argv[3])) : 1;
    app::Hooks hooks;
    hooks.commandLineResolver = listwindow::InstallImports();
    app::Application application(std::move(hooks));
    app::EntryRoutine({}, {}, folder);
    const QString drive = app::Ctx().CommandLine.left(2);
    if (drive.size() < 2) {
        std::fprintf(stderr, "bench_window: no such folder\n");
        return 3;
    }

    std::vector<double> headless, window, resize, level, all, sort, unsort, unit, subtree, again,
        enter, leave;
    for (int i = 0; i < runs; ++i) {
        {
            grid::Grid g;
            grid::InitGrid(g, 300);
            scan::DriveList list;
            list.Grid = &g;
            list.IndentStep = 16;
            headless.push_back(TimeMs([&] { scan::FillList(list, drive); }));
        }
        app::Ctx().FirstWindow = false;
        app::Ctx().NextSlot = 0;
        auto* w = new listwindow::ListForm();
        w->LoadShow();
        w->resize(900, 700);
        QCoreApplication::processEvents();
        const int button = w->ButtonOfDrive(drive.at(0).unicode() - u'A');
        window.push_back(TimeMs([&] { w->Calc(button); }));
        resize.push_back(TimeMs([&] {
            w->resize(1100, 800);
            QCoreApplication::processEvents();
        }));
        level.push_back(TimeMs([&] { w->ChooseLevel(2); }));
        all.push_back(TimeMs([&] { w->ChooseLevel(0); }));
        sort.push_back(TimeMs([&] { w->SetSort(0, listwindow::Switch::On); }));
        unsort.push_back(TimeMs([&] { w->SetSort(0, listwindow::Switch::Off); }));
        unit.push_back(TimeMs([&] { w->SetMB(listwindow::Switch::On); }));
        w->SetMB(listwindow::Switch::Off);
        // Reading again: one folder (Shift+F5), then the whole drive (F5).
        grid::ShowRow(w->view()->grid(), refreshRow, 0);
        if (i == 0) {
            const scan::DriveList& l = w->list();
            const int f = l.Folders.Order[size_t(refreshRow)];
            std::printf("Shift+F5 reads %d folders\n",
                        scan::SubtreeEnd(l.Folders, f, scan::Records(l)) - f);
        }
        subtree.push_back(TimeMs([&] { w->RefreshFolder(); }));
        const scan::FigureTree before = scan::TakeFigures(w->list());
        again.push_back(TimeMs([&] { w->RefreshDrive(); }));
        // The listing against the one before it, and back.
        enter.push_back(
            TimeMs([&] { scan::EnterComparison(w->list(), before, QStringLiteral("b")); }));
        leave.push_back(TimeMs([&] { scan::LeaveComparison(w->list()); }));
        if (i == 0) std::printf("rows %d\n", w->view()->grid().st.rowCount);
        w->close();
        delete w;
    }
    const double h = Median(headless), f = Median(window);
    std::printf("fill (median of %d): headless %.0f ms, window %.0f ms, window/headless %.2f\n",
                runs, h, f, f / h);
    std::printf(
        "resize %.1f ms, level 2 %.1f ms, all levels %.1f ms, sort %.1f ms, "
        "unsort %.1f ms, MB %.1f ms\n",
        Median(resize), Median(level), Median(all), Median(sort), Median(unsort), Median(unit));
    std::printf("Shift+F5 on row %d %.0f ms, F5 %.0f ms\n", refreshRow, Median(subtree),
                Median(again));
    std::printf("comparison with the listing before: %.0f ms, leaving it %.0f ms\n", Median(enter),
                Median(leave));
    return 0;
}
