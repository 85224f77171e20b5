#pragma once
// The page layout of a printed list: metrics, columns, title, header band, rows with the
// name column's tree, rules and frame, page by page through PrevPrint.
#include <QString>
#include <array>
#include <vector>

#include "grid/GridState.h"
#include "print/PrevPrint.h"

namespace print {

inline constexpr int kLastPage = 32767;  // "to the end"
inline constexpr int kPrintColumns = 5;

// The print options, as the print settings window holds them.
struct PrintOptions {
    bool mincho = true;    // FONTYP item 0 (明朝体); false: Gothic
    int sizeIndex = 1;     // SIZLST: 9, 9.75, 10.5, 11.25, 12 points
    bool bold = false;     // BLDSEL
    bool allPages = true;  // 頁範囲OPT item 0
    int firstPage = 1;     // TOPLIN
    int lastPage = 1;      // ENDLIN; kLastPage when it reads 最終
    bool tree = true;      // ツリー印字SEL
    bool hRules = true;    // 横罫SEL
    bool vRules = true;    // 縦罫SEL
    bool frame = true;     // 外枠SEL
    bool wrap = true;      // 折返SEL
    int gapIndex = 1;      // 行間LST: 1.2, 1.4, 1.6, 1.8 lines
    // The print settings window is 4951 twips wide or wider: lighter preview text.
    bool wideWindow = true;

    double ListFontSize() const;  // points
    double LineSpacing() const;   // lines
};

// The items of SIZLST and 行間LST, in order.
inline constexpr std::array<double, 5> kListFontSizes{9.0, 9.75, 10.5, 11.25, 12.0};
inline constexpr std::array<double, 4> kLineSpacings{1.2, 1.4, 1.6, 1.8};

// First and last page to draw: all pages 1..kLastPage; a last page below the first runs to
// the end.
struct PageRange {
    int first = 1;
    int last = kLastPage;
};
PageRange RangeOf(const PrintOptions& o);

// Every measure of the page, in twips.
struct PrintMetrics {
    double pixelX = 1, pixelY = 1;  // one printer pixel
    double pageWidth = 0, pageHeight = 0;
    double sideMargin = 0, topMargin = 0, gap = 0, mm = 0;
    double printableWidth = 0, printableBottom = 0;
    // Line metrics in the list font.
    double H = 0;           // height of "A"
    double pitch = 0;       // line spacing x H, whole twips
    double textOffset = 0;  // (pitch - H) / 2
    double S = 0;           // icon and indent step
    double zHalf = 0;       // half the width of "Z"
    double blank = 0;       // width of one blank
    // Levels below the root that the name column indents: a deeper row stands at this
    // indent with its level before its name, so that every name keeps half the column.
    int levelCap = 1;
    // Columns: character counts (column 1: 7) and edges; column c spans edge[c]..edge[c+1].
    std::array<int, kPrintColumns> chars{};
    std::array<double, kPrintColumns + 1> edge{};
    // Title, page label and header band.
    double titleWidth = 0, titleHeight = 0, underlineY = 0;
    double labelHeight = 0, labelTop = 0;
    double bandTop = 0, bandBottom = 0;  // rows start at bandBottom
};

// Sets the fonts on out (list font first at 9 points, then at its size) and measures.
// False when a font cannot be set (out's error text tells why).
bool ComputeMetrics(PrevPrint& out, const grid::GridState& g, const QString& title,
                    const PrintOptions& o, PrintMetrics& m);

// One page of the layout: rows firstRow..lastRow (inclusive; lastRow < firstRow when none).
struct PagePlan {
    int number = 0;
    bool drawn = false;
    int firstRow = 0;
    int lastRow = -1;
    double rowsBottom = 0;  // y below the last row
};

// Where a row's name goes on a page: start x and width of its space, in twips. The name
// font must be set on out.
struct NamePlace {
    double x = 0;
    double space = 0;
    double indent = 0;  // D (tree): the row's node x relative to the table's left edge
    bool icon = false;  // the row's icon is drawn
};
NamePlace PlaceName(const PrevPrint& out, const grid::GridState& g, const PrintMetrics& m,
                    const PrintOptions& o, bool fullPath, bool drawn, int row);

// The name a row of steps levels below the root prints: its level before it when the row is
// deeper than the indent goes ("[17] name"); asIs (full paths, the root) as it is.
QString PrintedName(const QString& name, int steps, const PrintMetrics& m, bool asIs);

// A name cut into lines that fit width (one line unless wrap), with out's current font. A line
// holds at least one character even when none fits; with no space at all (an indent past the
// column) the name has one empty line.
std::vector<QString> SplitName(const PrevPrint& out, const QString& name, double width, bool wrap);

// Lays out the pages without drawing, from page 1 up to stopAfterPage, the last page of the
// range or the last row, after ComputeMetrics (sets the name font on out). PrintPages draws
// exactly these pages.
std::vector<PagePlan> LayoutPages(PrevPrint& out, const grid::GridState& g, const PrintMetrics& m,
                                  const PrintOptions& o, bool fullPath,
                                  int stopAfterPage = kLastPage);

// Whether the range of o holds a page of the list laid out on out's target (set with
// SetTarget), found before anything is printed. True when the layout cannot be measured: the
// run itself then says why.
bool RangeHasPages(PrevPrint& out, const grid::GridState& g, const QString& title, bool fullPath,
                   const PrintOptions& o);

// The widget side of a print run: the progress window with its stop button, and the error
// message box.
class PrintProgress {
  public:
    virtual ~PrintProgress() = default;
    // Shows the progress window (caption "FOLDEX 印刷", title "印刷中", no away box).
    virtual void Begin(const QString& caption, const QString& title) = 0;
    // Lets pending events run rounds times; true once the person has asked to stop.
    virtual bool Pump(int rounds) = 0;
    // Hides the progress window.
    virtual void End() = 0;
    // Shows a failure in the platform's standard message box.
    virtual void ShowError(const QString& text) = 0;
};

struct PrintResult {
    int pagesLaidOut = 0;
    int pagesDrawn = 0;
    bool cancelled = false;
    bool failed = false;
    QString errorText;
};

// Lays out and draws the list of g on out's target: the preview stops after its first drawn
// page; the printer gets every page of the range. progress may be null (preview).
PrintResult PrintPages(PrevPrint& out, const grid::GridState& g, const QString& title,
                       bool fullPath, const PrintOptions& o, PrintProgress* progress);

}  // namespace print
