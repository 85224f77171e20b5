// Time of the list operations on a finished list of 1,000,000 folders of average depth 125:
// sorting by occupied size and by subtree total, giving the sorted rows their paths, and
// going back to the tree, and a type-ahead key that matches no row. Prints milliseconds; run it by
// hand in a release build.
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <functional>

#include "grid/Grid.h"
#include "scan/DriveList.h"
#include "scan/FolderScan.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Application.h"

namespace {

// Chains of 250 levels below the root, one after another: rows 1..n in pre-order.
void MakeList(scan::DriveList& list, int folders) {
    grid::Grid& g = *list.Grid;
    scan::FolderTable& t = list.Folders;
    t.reset(folders + 1);
    const QChar sep(2);
    std::vector<int> stack;
    for (int i = 0; i < folders; ++i) {
        const int level = i == 0 ? 0 : 1 + (i - 1) % 250;
        stack.resize(size_t(level));
        t.Level[size_t(i)] = level;
        t.Parent[size_t(i)] = stack.empty() ? 0 : stack.back();
        if (i > 0) t.HasChildren[size_t(t.Parent[size_t(i)])] = 1;
        const qint64 alloc = 4096 * qint64(1 + (i * 7919) % 1000);
        t.FileCount[size_t(i)] = 1;
        t.FileSize[size_t(i)] = alloc - 100;
        t.AllocSize[size_t(i)] = alloc;
        t.ShownAlloc[size_t(i)] = alloc;
        t.SubtreeTotal[size_t(i)] = alloc * (251 - level);
        stack.push_back(i);
        t.setName(i, i == 0 ? QStringLiteral("T:\\") : QStringLiteral("d%1").arg(level % 10));
    }
    list.FolderTotal = folders - 1;
    t.Level[size_t(folders)] = 0;
    list.ListRowCount = folders + 1;
    list.IndentStep = 16;
    g.st.source = &list.Cells;
    scan::ApplyLevelLimit(list);
}

double Millis(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    app::Application application;
    const int folders = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    grid::Grid g;
    grid::InitGrid(g, 0);
    g.st.columnCount = 5;
    scan::DriveList list;
    list.Grid = &g;
    list.IndentStep = 16;
    const double build = Millis([&] { MakeList(list, folders); });
    std::printf("rows %d (average depth 125): built in %.0f ms\n", folders, build);
    list.SortKind = 1;
    std::printf("sort by occupied size: %.0f ms\n", Millis([&] { scan::SortRows(list); }));
    std::printf("paths of the sorted rows: %.0f ms\n", Millis([&] { scan::ShowPaths(list); }));
    list.SortKind = 2;
    std::printf("sort by subtree total: %.0f ms\n", Millis([&] { scan::SortRows(list); }));
    list.SortKind = 0;
    std::printf("back to the tree (names again): %.0f ms\n", Millis([&] { scan::SortRows(list); }));
    // No name starts with Q: the search runs through every row.
    std::printf("type-ahead with no match: %.1f ms\n",
                Millis([&] { grid::GridKeyDown(g, 'Q', 0); }));
    return 0;
}
