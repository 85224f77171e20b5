// Print layout speed: the preview of page 1 and all pages to PDF for a 20,000-row list.
//   bench_print [rows] [pdf path]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "grid/Grid.h"
#include "print/PrevPrint.h"
#include "print/PrintPages.h"

namespace {

// A tree of folders in pre-order: levels 0, 1, 2, 3, 3, 2, 3 ... with some long names.
void FillRows(grid::GridState& g, int rows) {
    g.indentStep = 16;
    g.dimRows(rows);
    g.rowCount = rows;
    const QChar sep(2);
    static const int kPattern[] = {1, 2, 3, 3, 2, 3, 1, 2};
    std::vector<int> levels(static_cast<size_t>(rows), 0);
    for (int i = 0; i < rows; ++i) levels[size_t(i)] = i == 0 ? 0 : kPattern[(i - 1) % 8];
    for (int i = 0; i < rows; ++i) {
        QString name = QStringLiteral("フォルダ%1").arg(i);
        if (i % 7 == 0) name += QStringLiteral(" とても長い名前の付いたフォルダの例 long name");
        g.rowText[size_t(i)] = name + sep + QString::number(i % 999) + sep +
                               QStringLiteral("%L1").arg(qint64(i) * 4097) + sep +
                               QStringLiteral("%L1").arg(qint64(i) * 8192) + sep +
                               QStringLiteral("%L1").arg(qint64(i) * 123457);
        g.rowIndent.set(i, levels[size_t(i)] * 16 + 2);
        g.rowIcon[size_t(i)] = quint8(i == 0 ? 13 : 10);
        bool last = true;
        for (int j = i + 1; j < rows; ++j) {
            if (levels[size_t(j)] < levels[size_t(i)]) break;
            if (levels[size_t(j)] == levels[size_t(i)]) {
                last = false;
                break;
            }
        }
        const bool kids = i + 1 < rows && levels[size_t(i + 1)] > levels[size_t(i)];
        g.rowTreeFlags[size_t(i)] = quint8((kids ? 1 : 0) | (last && i > 0 ? 2 : 0));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 20000;
    QTemporaryDir dir;
    const QString pdf = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath("bench.pdf");
    grid::GridState g;
    FillRows(g, rows);
    const QString title = QStringLiteral("ベンチ (T:) 2,000 GB");
    print::PrintOptions o;

    QPdfWriter writer(pdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
    writer.setResolution(1200);

    // The preview: the first time includes font loading, so it is run a few times.
    print::PrevPrint preview;
    int shown = 0;
    const QString image = qEnvironmentVariable("FOLDEX_BENCH_PREVIEW");
    preview.SetPageSink([&](const QImage& page) {
        if (++shown == 1 && !image.isEmpty()) page.save(image);
    });
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        preview.SetTarget(&writer, true);
        const print::PrintResult r = print::PrintPages(preview, g, title, false, o, nullptr);
        std::printf("preview page 1 of %d rows, run %d: %.1f ms (pages laid out %d, drawn %d)\n",
                    rows, run + 1, t.nsecsElapsed() / 1e6, r.pagesLaidOut, r.pagesDrawn);
    }

    QElapsedTimer t;
    t.start();
    print::PrevPrint printer;
    if (!printer.SetTarget(&writer, false)) {
        std::printf("cannot start the PDF: %s\n", qPrintable(printer.ErrorText()));
        return 1;
    }
    const print::PrintResult r = print::PrintPages(printer, g, title, false, o, nullptr);
    std::printf("all pages to PDF: %.2f s, %d pages, failed %d, %s\n", t.nsecsElapsed() / 1e9,
                r.pagesDrawn, int(r.failed), qPrintable(pdf));
    return r.failed ? 1 : 0;
}
