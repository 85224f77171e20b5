#include "print/PrintPages.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "grid/Grid.h"
#include "platform/PathMap.h"
#include "print/PrintIcons.h"
#include "util/TextUtil.h"

namespace print {

namespace {

constexpr double kTwipsPerMm = 1440.0 / 25.4;
constexpr OutColour kNearBlack = 2;
constexpr OutColour kBandColour = 0xF0F0F0;
constexpr OutColour kLightRule = 0xE8E8E8;
constexpr quint32 kPreviewTextWide = 0x777777;
constexpr quint32 kPreviewTextNarrow = 0x333333;

const QString kColumnTitles[kPrintColumns] = {
    QStringLiteral("Folder名"), QStringLiteral("File数"), QStringLiteral("Fileサイズ"),
    QStringLiteral("占有サイズ"), QStringLiteral("下位合計")};

FontFamily ListFamily(const PrintOptions& o) {
    return o.mincho ? FontFamily::Mincho : FontFamily::Gothic;
}

FontFamily OtherFamily(const PrintOptions& o) {
    return o.mincho ? FontFamily::Gothic : FontFamily::Mincho;
}

bool SetNameFont(PrevPrint& out, const PrintOptions& o, bool fullPath) {
    return out.SetPrintFont(ListFamily(o), o.ListFontSize(), o.bold, false, !fullPath);
}

bool SetNumberFont(PrevPrint& out, const PrintOptions& o) {
    return out.SetPrintFont(ListFamily(o), o.ListFontSize(), o.bold, false, false);
}

// The name as the window shows it: the characters a name holds, not the carriers that stand
// for them in the program's paths.
QString NameCell(const grid::GridState& g, int row) {
    return platform::DisplayName(grid::CellText(g, 0, row)).trimmed();
}

QString NumberCell(const grid::GridState& g, int column, int row) {
    return grid::CellText(g, column, row).trimmed();
}

int Level(const grid::GridState& g, int row) {
    return g.rowIndent.at(row, 0);
}

// Whole tree levels between a row and the first row; 0 without a level unit.
int LevelSteps(const grid::GridState& g, int row) {
    if (g.indentStep <= 0) return 0;
    return (Level(g, row) - Level(g, 0)) / g.indentStep;
}

// Drawn pages only: the rows of each level, in order, for the continuation-line search.
class LevelIndex {
  public:
    explicit LevelIndex(const grid::GridState& g) {
        for (int r = 1; r < g.rowCount; ++r) rows_[Level(g, r)].push_back(r);
    }
    // The nearest row above before with this level; row 0 (the root) carries no sibling
    // line and is never found. -1 when there is none.
    int above(int level, int before) const {
        auto it = rows_.constFind(level);
        if (it == rows_.constEnd()) return -1;
        const std::vector<int>& v = *it;
        auto pos = std::lower_bound(v.begin(), v.end(), before);
        return pos == v.begin() ? -1 : *(pos - 1);
    }

  private:
    QHash<int, std::vector<int>> rows_;
};

}  // namespace

double PrintOptions::ListFontSize() const {
    return kListFontSizes[size_t(std::clamp(sizeIndex, 0, int(kListFontSizes.size()) - 1))];
}

double PrintOptions::LineSpacing() const {
    return kLineSpacings[size_t(std::clamp(gapIndex, 0, int(kLineSpacings.size()) - 1))];
}

PageRange RangeOf(const PrintOptions& o) {
    PageRange r;
    if (o.allPages) return r;
    r.first = std::clamp(o.firstPage, 1, kLastPage);
    r.last = o.lastPage < r.first ? kLastPage : std::min(o.lastPage, kLastPage);
    return r;
}

bool ComputeMetrics(PrevPrint& out, const grid::GridState& g, const QString& title,
                    const PrintOptions& o, PrintMetrics& m) {
    m = PrintMetrics{};
    m.pixelX = out.PixelX();
    m.pixelY = out.PixelY();
    m.pageWidth = out.PageWidth();
    m.pageHeight = out.PageHeight();
    m.sideMargin = 5 * kTwipsPerMm;
    m.topMargin = 5 * kTwipsPerMm;
    m.gap = 2 * kTwipsPerMm;
    m.mm = kTwipsPerMm;
    m.printableWidth = m.pageWidth - 2 * m.sideMargin;
    m.printableBottom = m.pageHeight - 2 * m.topMargin;

    // The list font at 9 points first, then at its size: a font that cannot be set at all
    // shows up before any measuring.
    if (!out.SetPrintFont(ListFamily(o), 9.0, false, false, true)) return false;
    if (!SetNumberFont(out, o)) return false;
    const QString kW = QStringLiteral("W");
    const QString kTemplate = QStringLiteral("999,999,999,999");
    std::array<double, kPrintColumns> width{};
    // Columns as wide as their widest figure: a figure never loses a digit on paper either.
    m.chars[1] = 7;
    for (int r = 0; r < g.rowCount; ++r)
        m.chars[1] = std::max(m.chars[1], int(NumberCell(g, 1, r).size()));
    width[1] = m.chars[1] <= 7 ? out.TextWidth(QStringLiteral("W999,999W"))
                               : out.TextWidth(kW + QString(m.chars[1], u'9') + kW);
    int carried = 12;
    for (int c = 2; c < kPrintColumns; ++c) {
        for (int r = 0; r < g.rowCount; ++r) {
            carried = std::max(carried, int(NumberCell(g, c, r).size()));
        }
        m.chars[size_t(c)] = carried;
        const QString widest =
            carried <= kTemplate.size() ? kTemplate.right(carried) : QString(carried, u'9');
        width[size_t(c)] = out.TextWidth(kW + widest + kW);
    }
    width[0] = m.printableWidth - (width[1] + width[2] + width[3] + width[4]);
    m.edge[0] = m.sideMargin;
    for (int c = 0; c < kPrintColumns; ++c)
        m.edge[size_t(c + 1)] = m.edge[size_t(c)] + width[size_t(c)];
    m.edge[kPrintColumns] = m.sideMargin + m.printableWidth;

    if (!SetNameFont(out, o, false)) return false;
    m.H = out.TextHeight();
    m.pitch = std::round(o.LineSpacing() * m.H);
    m.textOffset = (m.pitch - m.H) / 2;
    if (o.gapIndex <= 0) {
        m.S = o.ListFontSize() <= 9.75 ? m.H : m.H + m.H / 15;
    } else {
        m.S = 1.2 * m.H;
    }
    m.S = std::max(m.S, m.pixelX);  // the indent loops step by S
    m.zHalf = out.TextWidth(QStringLiteral("Z")) / 2;
    m.blank = out.TextWidth(QStringLiteral(" "));
    // Beside its indent a name gives up its icon's and node's room, a blank and the margin
    // at the column's right.
    const double beside = 2 * m.S + m.blank + 20 * m.pixelX;
    m.levelCap = std::max(1, int(((m.edge[1] - m.edge[0]) / 2 - beside + m.mm) / m.S));

    if (!out.SetPrintFont(FontFamily::Mincho, 16, true, false, true)) return false;
    m.titleWidth = out.TextWidth(title);
    m.titleHeight = out.TextHeight();
    m.underlineY = m.topMargin + m.titleHeight;

    if (!out.SetPrintFont(FontFamily::Mincho, 9.75, false, false, false)) return false;
    m.labelHeight = out.TextHeight();
    m.labelTop = std::max(0.0, m.underlineY + 10 * m.pixelY - m.labelHeight / 2);

    if (!out.SetPrintFont(OtherFamily(o), 10.5, true, false, true)) return false;
    m.bandTop = m.labelTop + m.labelHeight + m.gap + m.gap;
    m.bandBottom = m.bandTop + out.TextHeight() + 2 * m.mm;
    return true;
}

namespace {

// The levels a row of steps levels is indented by: its own, at most the cap.
int IndentSteps(int steps, const PrintMetrics& m) {
    return std::min(steps, m.levelCap);
}

// The printed name of a row.
QString RowName(const grid::GridState& g, const PrintMetrics& m, bool fullPath, int row) {
    return PrintedName(NameCell(g, row), LevelSteps(g, row), m, fullPath || row == 0);
}

}  // namespace

QString PrintedName(const QString& name, int steps, const PrintMetrics& m, bool asIs) {
    if (asIs || steps <= m.levelCap) return name;
    return u'[' + QString::number(steps) + QStringLiteral("] ") + name;
}

NamePlace PlaceName(const PrevPrint& out, const grid::GridState& g, const PrintMetrics& m,
                    const PrintOptions& o, bool fullPath, bool drawn, int row) {
    NamePlace p;
    const double left = m.edge[0];
    const double right = m.edge[1] - 20 * m.pixelX;
    if (!drawn) {
        p.x = left + 10 * m.pixelX;
    } else if (!o.tree) {
        p.x = row == 0 ? left + m.S - m.mm : left + IndentSteps(LevelSteps(g, row), m) * m.S;
    } else {
        p.indent =
            (row == 0 || fullPath) ? m.S - m.mm : IndentSteps(LevelSteps(g, row), m) * m.S - m.mm;
        const double X = left + p.indent;
        const int code = row >= 0 && row < int(g.rowIcon.size()) ? g.rowIcon[size_t(row)] : 0;
        p.icon = code >= 10 && code <= 13 && X + m.S < m.edge[1];
        p.x = X + (p.icon ? 1.5 * m.S : 2 * m.S) + out.TextWidth(QStringLiteral(" "));
    }
    // A name nested deeper than the column is wide starts over the tree lines, as in the
    // window, far enough left to stand whole where it can (never one character a line).
    const double room = 6 * out.TextWidth(QStringLiteral("W"));
    if (drawn && right - p.x < room) {
        const double want = std::max(room, out.TextWidth(RowName(g, m, fullPath, row)));
        p.x = std::max(left + 10 * m.pixelX, right - want);
        p.icon = false;
    }
    p.space = right - p.x;
    return p;
}

std::vector<QString> SplitName(const PrevPrint& out, const QString& name, double width, bool wrap) {
    std::vector<QString> lines;
    if (name.isEmpty() || out.TextWidth(name) <= width) {
        lines.push_back(name);
        return lines;
    }
    if (width <= 0) {
        lines.push_back(QString());
        return lines;
    }
    qsizetype start = 0;
    while (start < name.size()) {
        // The longest beginning of the rest that fits, found by halving; a surrogate pair is
        // never split.
        qsizetype lo = 0;
        qsizetype hi = name.size() - start;
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (out.TextWidth(name.mid(start, mid)) <= width) {
                lo = mid;
            } else {
                hi = mid - 1;
            }
        }
        qsizetype take = lo;
        if (take > 0 && start + take < name.size() && name.at(start + take).isLowSurrogate()) {
            --take;
        }
        if (take == 0) {
            // Not even one character fits: one per line keeps the name whole.
            take = name.at(start).isHighSurrogate() && start + 1 < name.size() ? 2 : 1;
        }
        lines.push_back(name.mid(start, take));
        start += take;
        if (!wrap) break;
    }
    return lines;
}

namespace {

// The lines of one row that fit from rowTop: the whole name, or what fits above the
// printable bottom.
int LinesThatFit(const PrintMetrics& m, double rowTop, int lines) {
    int fit = 1;
    while (fit < lines && rowTop + m.textOffset + (fit + 1) * m.H <= m.printableBottom) ++fit;
    return fit;
}

}  // namespace

std::vector<PagePlan> LayoutPages(PrevPrint& out, const grid::GridState& g, const PrintMetrics& m,
                                  const PrintOptions& o, bool fullPath, int stopAfterPage) {
    std::vector<PagePlan> pages;
    if (!SetNameFont(out, o, fullPath)) return pages;
    const PageRange range = RangeOf(o);
    int row = 0;
    for (int page = 1; row < g.rowCount && page <= stopAfterPage; ++page) {
        PagePlan p;
        p.number = page;
        p.drawn = page >= range.first && page <= range.last;
        p.firstRow = row;
        double y = m.bandBottom;
        // A page always takes at least one row, so a page too small for any still ends.
        while (row < g.rowCount && (y < m.printableBottom || row == p.firstRow)) {
            const NamePlace place = PlaceName(out, g, m, o, fullPath, p.drawn, row);
            const int lines =
                int(SplitName(out, RowName(g, m, fullPath, row), place.space, o.wrap).size());
            int shown = lines;
            if (lines > 1) {
                shown = LinesThatFit(m, y, lines);
                // A wrapped name that would lose its end starts the next page instead.
                if (shown < lines && row != p.firstRow) break;
            }
            y += m.pitch + (shown - 1) * m.H;
            ++row;
        }
        p.lastRow = row - 1;
        p.rowsBottom = y;
        pages.push_back(p);
        if (page >= range.last) break;
    }
    return pages;
}

bool RangeHasPages(PrevPrint& out, const grid::GridState& g, const QString& title, bool fullPath,
                   const PrintOptions& o) {
    PrintMetrics m;
    if (!ComputeMetrics(out, g, title, o, m)) return true;
    const std::vector<PagePlan> pages = LayoutPages(out, g, m, o, fullPath, RangeOf(o).first);
    return std::any_of(pages.begin(), pages.end(), [](const PagePlan& p) { return p.drawn; });
}

namespace {

class PageDrawer {
  public:
    PageDrawer(PrevPrint& out, const grid::GridState& g, const QString& title, bool fullPath,
               const PrintOptions& o, const PrintMetrics& m)
        : out_(out), g_(g), title_(title), fullPath_(fullPath), o_(o), m_(m) {}

    bool draw(const PagePlan& p) {
        out_.ClearPage();
        if (!header(p.number)) return false;
        if (!SetNameFont(out_, o_, fullPath_)) return false;
        double y = m_.bandBottom;
        std::vector<double> tops;
        for (int r = p.firstRow; r <= p.lastRow; ++r) {
            tops.push_back(y);
            y = nameCell(r, y);
        }
        if (!SetNumberFont(out_, o_)) return false;
        for (int r = p.firstRow; r <= p.lastRow; ++r) numbers(r, tops[size_t(r - p.firstRow)]);
        rules(p, tops);
        return true;
    }

  private:
    bool header(int number) {
        const double left = m_.edge[0];
        const double right = m_.edge[kPrintColumns];
        if (!out_.SetPrintFont(FontFamily::Mincho, 16, true, false, true)) return false;
        const double tx = (m_.pageWidth - m_.titleWidth) / 2;
        out_.SetCurrentX(tx);
        out_.SetCurrentY(m_.topMargin);
        out_.OutText(title_);
        out_.OutFill(tx, m_.underlineY, tx + m_.titleWidth, m_.underlineY + m_.pixelY - 1,
                     kDefaultLine);

        if (!out_.SetPrintFont(FontFamily::Mincho, 9.75, false, false, false)) return false;
        const QString label = QStringLiteral("Page.") + QString::number(number);
        out_.SetCurrentX(right - out_.TextWidth(label));
        out_.SetCurrentY(m_.labelTop);
        out_.OutText(label);

        if (o_.frame) out_.OutFill(left, m_.bandTop, right, m_.bandBottom, kBandColour);
        if (!out_.SetPrintFont(OtherFamily(o_), 10.5, true, false, true)) return false;
        const double th = out_.TextHeight();
        for (int c = 0; c < kPrintColumns; ++c) {
            const QString title =
                g_.changeFigures && c > 0 ? u'±' + kColumnTitles[c] : kColumnTitles[c];
            const double w = out_.TextWidth(title);
            out_.SetCurrentX((m_.edge[size_t(c)] + m_.edge[size_t(c + 1)] - w) / 2);
            out_.SetCurrentY((m_.bandTop + m_.bandBottom - th) / 2);
            out_.OutText(title);
        }
        out_.OutLine(left, m_.bandBottom, right, m_.bandBottom, kNearBlack, 1);
        return true;
    }

    // The name cell with its tree; returns the row's bottom.
    double nameCell(int r, double top) {
        const NamePlace place = PlaceName(out_, g_, m_, o_, fullPath_, true, r);
        const std::vector<QString> lines =
            SplitName(out_, RowName(g_, m_, fullPath_, r), place.space, o_.wrap);
        const int shown = int(lines.size()) > 1 ? LinesThatFit(m_, top, int(lines.size())) : 1;
        const double bottom = top + m_.pitch + (shown - 1) * m_.H;
        if (o_.tree) tree(r, top, bottom, place);
        const double clip = m_.edge[1] - 10 * m_.pixelX;
        for (int k = 0; k < shown; ++k) {
            out_.SetCurrentX(place.x);
            out_.SetCurrentY(top + m_.textOffset + k * m_.H);
            out_.OutText(lines[size_t(k)], clip);
        }
        return bottom;
    }

    void vline(double x, double y1, double y2) {
        if (x < m_.edge[1]) out_.OutLine(x, y1, x, y2, kDefaultLine, 1);
    }

    // Lines that go on below a row run to its bottom, past the lines of a wrapped name.
    void tree(int r, double top, double bottom, const NamePlace& place) {
        const double left = m_.edge[0];
        const double colRight = m_.edge[1];
        const double D = place.indent;
        const double X = left + D;
        const double M = top + m_.pitch / 2;
        const double Bot = top + m_.pitch;
        const double Top = top;
        const double px = m_.pixelX;
        if (!fullPath_) {
            if (r == 0) {
                if (r + 1 < g_.rowCount && D >= 1) vline(X, M, bottom);
            } else {
                const quint8 flags = g_.rowTreeFlags[size_t(r)];
                if (D >= 1) vline(X, Top, (flags & 2) ? M : bottom);
                // A row deeper than the indent goes shows the lines of the levels the
                // indent shows.
                double x = D;
                int level =
                    Level(g_, r) -
                    (LevelSteps(g_, r) - IndentSteps(LevelSteps(g_, r), m_)) * g_.indentStep;
                int from = r;
                while (x > 8 * px) {
                    x -= m_.S;
                    level -= g_.indentStep;
                    const int above = index().above(level, from);
                    if (above < 0) continue;
                    from = above;
                    if (!(g_.rowTreeFlags[size_t(above)] & 2) && x >= 0) {
                        vline(left + x, Top, bottom);
                    }
                }
                if (D >= 1 && X < colRight) {
                    out_.OutLine(X, M, std::min(X + m_.S, colRight), M, kDefaultLine, 1);
                }
                if ((flags & 1) && X + m_.zHalf + 4 * px < colRight) {
                    const double z = m_.zHalf;
                    out_.OutFill(X - z, M - z, X + z + 4 * px, M + z + 4 * px, 0xFFFFFF);
                    out_.OutBox(X - z, M - z, X + z + 4 * px, M + z + 4 * px, kDefaultLine, 1);
                    out_.OutLine(X - 0.6 * z, M, X + 0.85 * z, M, kDefaultLine, 1);
                    const bool open = r + 1 < g_.rowCount && Level(g_, r + 1) > Level(g_, r);
                    if (!open) out_.OutLine(X, M - 0.6 * z, X, M + 0.85 * z, kDefaultLine, 1);
                }
            }
        }
        if (place.icon) {
            const int code = g_.rowIcon[size_t(r)];
            const double s = m_.S;
            out_.OutPicture(PrintIcon(code - 10), 0, 0, kPrintIconSize, kPrintIconSize, X + s / 2,
                            Bot - s - (m_.pitch - s) / 2, s, s);
        }
    }

    void numbers(int r, double top) {
        for (int c = 1; c < kPrintColumns; ++c) {
            const QString text = NumberCell(g_, c, r).rightJustified(m_.chars[size_t(c)], u' ');
            out_.SetCurrentX(m_.edge[size_t(c)] + 10 * m_.pixelX);
            out_.SetCurrentY(top + m_.textOffset);
            out_.OutText(text, m_.edge[size_t(c + 1)] - 10 * m_.pixelX);
        }
    }

    void rules(const PagePlan& p, const std::vector<double>& tops) {
        const double left = m_.edge[0];
        const double right = m_.edge[kPrintColumns];
        if (o_.hRules) {
            for (size_t i = 0; i < tops.size(); ++i) {
                const double bottom = i + 1 < tops.size() ? tops[i + 1] : p.rowsBottom;
                out_.OutLine(o_.tree ? m_.edge[1] : left, bottom, right, bottom, kDefaultLine, 1);
                if (o_.tree && i > 0)
                    out_.OutLine(left, tops[i], m_.edge[1], tops[i], kLightRule, 1);
            }
        }
        const double ruleBottom = o_.vRules ? p.rowsBottom : m_.bandBottom;
        if (o_.vRules || o_.frame) {
            for (int c = 1; c < kPrintColumns; ++c) {
                out_.OutLine(m_.edge[size_t(c)], m_.bandTop, m_.edge[size_t(c)], ruleBottom,
                             kDefaultLine, 1);
            }
        }
        if (o_.frame) out_.OutBox(left, m_.bandTop, right, p.rowsBottom, kNearBlack, 1);
    }

    const LevelIndex& index() {
        if (!index_) index_ = std::make_unique<LevelIndex>(g_);
        return *index_;
    }

    PrevPrint& out_;
    const grid::GridState& g_;
    const QString& title_;
    bool fullPath_;
    const PrintOptions& o_;
    const PrintMetrics& m_;
    std::unique_ptr<LevelIndex> index_;
};

}  // namespace

PrintResult PrintPages(PrevPrint& out, const grid::GridState& g, const QString& title,
                       bool fullPath, const PrintOptions& o, PrintProgress* progress) {
    PrintResult result;
    const bool preview = out.Preview();
    auto failed = [&](const QString& text) {
        if (progress) {
            progress->End();
            progress->ShowError(text);
        }
        result.failed = true;
        result.errorText = text;
        return result;
    };
    out.SetTextColour(preview ? (o.wideWindow ? kPreviewTextWide : kPreviewTextNarrow) : 0);
    PrintMetrics m;
    if (!ComputeMetrics(out, g, title, o, m)) return failed(out.ErrorText());
    const PageRange range = RangeOf(o);
    // The preview shows the first page of the range only.
    const std::vector<PagePlan> pages =
        LayoutPages(out, g, m, o, fullPath, preview ? range.first : kLastPage);
    if (!preview && progress)
        progress->Begin(QStringLiteral("FOLDEX 印刷"), QStringLiteral("印刷中"));

    PageDrawer drawer(out, g, title, fullPath, o, m);
    bool pageOpen = false;  // the printer's current sheet carries a drawn page
    // Events run between pages; pages laid out for rows that are gone are not drawn.
    const int rows = g.rowCount;
    auto stop = [&](int rounds) { return progress->Pump(rounds) || g.rowCount != rows; };
    for (const PagePlan& p : pages) {
        ++result.pagesLaidOut;
        if (p.drawn) {
            // Each further printed page starts a new sheet.
            if (!preview && pageOpen && !out.EndPage()) return failed(out.ErrorText());
            if (!drawer.draw(p)) return failed(out.ErrorText());
            ++result.pagesDrawn;
            pageOpen = true;
        }
        if (progress && stop(1)) {
            result.cancelled = true;
            break;
        }
        if (p.drawn && preview) {
            out.EndPage();
            return result;
        }
        if (!p.drawn && preview) out.ClearPage();
        if (progress && stop(100)) {
            result.cancelled = true;
            break;
        }
    }
    if (preview) {
        // Nothing of the range exists: an empty sheet rather than the last one shown.
        out.ClearPage();
        out.EndPage();
        return result;
    }
    if (progress) progress->End();
    if (!out.EndDoc()) return failed(out.ErrorText());
    return result;
}

}  // namespace print
