// Drawing cost of the grid engine against the row count: scrolling by one row, moving the
// cursor, a full page repaint and one row repaint, for 100 and 1,000,000 rows.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>
#include <vector>

#include "grid/Grid.h"
#include "grid/MarkIcons.h"

namespace {

// A folder tree in pre-order: the root, one big top-level folder, then a repeating pattern
// of levels 2 to 5, so that the level-1 ancestor of most rows lies far above them.
std::unique_ptr<grid::Grid> MakeGrid(int rows) {
    auto g = std::make_unique<grid::Grid>();
    grid::Grid& gr = *g;
    grid::InitGrid(gr, 20 * 15);
    gr.st.columnCount = 5;
    gr.st.columnWidths = {260, 60, 120, 120, 120};
    gr.st.columnAlign = {0, 1, 1, 1, 1};
    gr.st.vRuleWidth = 1;
    gr.st.hRuleWidth = 1;
    gr.st.treeLines = -1;
    gr.st.indentStep = 16;
    gr.st.cellCursor = -1;
    gr.st.cursorFrame = -1;
    grid::SetIconSlot(gr.st, 0, grid::MarkIconStrip(), grid::kMarkIconWidth, grid::kMarkIconHeight);
    grid::SetPrimaryFont(gr, QStringLiteral("ＭＳ Ｐゴシック"), 9.75f, false, false);
    grid::ClearGrid(gr);
    std::vector<int> levels(size_t(rows), 0);
    for (int i = 1; i < rows; ++i) levels[size_t(i)] = i == 1 ? 1 : 2 + (i - 2) % 4;
    for (int i = 0; i < rows; ++i) {
        const QString text = QStringLiteral("Folder %1\x02%2\x02%3\x02%4\x02%5")
                                 .arg(i)
                                 .arg(i % 97)
                                 .arg(qint64(i) * 1000)
                                 .arg(qint64(i) * 1024)
                                 .arg(qint64(i) * 4096);
        grid::AddRow(gr, text, levels[size_t(i)] & 7, i % 16);
    }
    for (int i = 0; i < rows; ++i) {
        gr.st.rowIndent.set(i, levels[size_t(i)] * 16 + 2);
        gr.st.rowIcon[size_t(i)] = i == 0 ? 13 : 10;
        const bool hasChildren = i + 1 < rows && levels[size_t(i + 1)] > levels[size_t(i)];
        // Last sibling when no later row at the same level comes before a shallower one.
        bool last = true;
        for (int j = i + 1; j < rows && j < i + 8; ++j) {
            if (levels[size_t(j)] < levels[size_t(i)]) break;
            if (levels[size_t(j)] == levels[size_t(i)]) {
                last = false;
                break;
            }
        }
        gr.st.rowTreeFlags[size_t(i)] = quint8((hasChildren ? 1 : 0) | (last && i > 0 ? 2 : 0));
    }
    grid::LayoutGrid(gr, 640 * 15, 600 * 15, 15, 15);
    grid::ShowRow(gr, rows / 2, 5);
    grid::RepaintAll(gr);  // builds the ancestor index once
    return g;
}

void BM_ScrollOneRow(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(0)));
    bool down = true;
    for (auto _ : state) {
        grid::ScrollTo(*g, g->st.topRow + (down ? 1 : -1), false);
        down = !down;
    }
    benchmark::DoNotOptimize(g->st.topRow);
    state.counters["rows_painted_per_op"] = benchmark::Counter(
        double(g->surface.counters.rowsPainted), benchmark::Counter::kAvgIterations);
}

void BM_MoveCursorOneRow(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(0)));
    bool down = true;
    for (auto _ : state) {
        grid::MoveCursor(*g, g->st.cursorRow + (down ? 1 : -1));
        down = !down;
    }
    benchmark::DoNotOptimize(g->st.cursorRow);
}

void BM_RepaintPage(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(0)));
    for (auto _ : state) {
        g->surface.clear(g->st.backColour);
        grid::RepaintAll(*g);
    }
    state.counters["visible_rows"] = g->st.visibleRows;
}

void BM_DrawRow(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(0)));
    const int r = g->st.topRow + 3;
    for (auto _ : state) grid::DrawRow(*g, r);
}

// The list's cells from a row source, as a drive's list has them; share bars off (0) or on (1)
// behind the last column, so the two runs differ only by the bars.
class ShareSource : public grid::RowSource {
  public:
    QStringView cell(int row, int column, QString& scratch) const override {
        switch (column) {
            case 0:
                return scratch = QStringLiteral("Folder %1").arg(row);
            case 1:
                return scratch = QString::number(row % 97);
            default:
                return scratch = QString::number(qint64(row) * 1024 * column);
        }
    }
    double share(int row) const override { return (row % 101) / 100.0; }
};

void BM_RepaintPageShares(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(1)));
    ShareSource source;
    g->st.source = &source;
    g->st.shareColumn = state.range(0) ? 4 : -1;
    g->st.shareColour = 0x899E1F;
    for (auto _ : state) {
        g->surface.clear(g->st.backColour);
        grid::RepaintAll(*g);
    }
}

void BM_CtrlA(benchmark::State& state) {
    auto g = MakeGrid(int(state.range(0)));
    g->st.selectionMode = 2;
    for (auto _ : state) {
        bool typed = false, changed = false;
        grid::HandleKey(*g, grid::vk::A, grid::CtrlKey, typed, changed, grid::kNoSumColumn, -1);
    }
}

}  // namespace

BENCHMARK(BM_ScrollOneRow)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveCursorOneRow)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintPage)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawRow)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintPageShares)
    ->Args({0, 100})
    ->Args({1, 100})
    ->Args({0, 1000000})
    ->Args({1, 1000000})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CtrlA)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
