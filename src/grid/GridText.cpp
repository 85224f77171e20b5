// Cell text: splitting, alignment, colour overrides and the letter-case styles.
#include <QFontMetrics>
#include <algorithm>

#include "grid/Grid.h"
#include "grid/GridInternal.h"
#include "platform/PathMap.h"
#include "util/TextUtil.h"

namespace grid {

using namespace detail;

QString AsciiLower(const QString& text) {
    return util::LowerAscii(text);
}

QString AsciiUpper(const QString& text) {
    return util::UpperAscii(text);
}

QString Capitalise(const QString& text) {
    if (text.isEmpty()) return text;
    return AsciiUpper(text.left(1)) + AsciiLower(text.mid(1));
}

QString TitleCase(const QString& text) {
    if (text.isEmpty()) return text;
    static const QString kSmall = QStringLiteral("/and/or/of/for/in/etc./");
    QString t = text.toLower();
    const int n = int(t.size());
    int p = -1;  // the word starts at p + 1
    for (;;) {
        while (p + 1 < n && t[p + 1] == u' ') ++p;
        const int start = p + 1;
        int end = start;
        while (end < n && t[end] != u' ' && t[end] != u',') ++end;
        const QString word = t.mid(start, end - start);
        if (!kSmall.contains(u'/' + word + u'/')) {
            if (word.isEmpty()) break;
            const bool vowel = std::any_of(word.begin(), word.end(), [](QChar c) {
                return c == u'a' || c == u'i' || c == u'u' || c == u'e' || c == u'o';
            });
            if (!vowel) {
                t.replace(start, end - start, word.toUpper());
            } else {
                t.replace(start, 1, word.left(1).toUpper());
            }
        }
        p = end;
        if (p >= n) break;
    }
    return t;
}

QString PathCase(const QString& text) {
    QString t = text;
    const int n = int(t.size());
    int start = 0;
    if (n >= 2 && t[1] == u':') {
        t.replace(0, 1, t.left(1).toUpper());
        start = n >= 3 && t[2] == u'\\' ? 3 : 2;
    }
    while (start < n) {
        const int p = int(t.indexOf(u'\\', start));
        const int end = p < 0 ? n : p;
        t.replace(start, end - start, Capitalise(t.mid(start, end - start)));
        if (p < 0) break;
        start = p + 1;
    }
    return t;
}

QString ApplyCase(int style, const QString& text) {
    switch (style) {
        case 1:
            return text.toLower();
        case 2:
            return text.toUpper();
        case 3:
            return Capitalise(text);
        case 4:
            return TitleCase(text);
        case -1:
            return PathCase(text);
        default:
            return text;
    }
}

namespace {
constexpr int kMinNameRoom = 40;  // pixels below which a name starts further left

// Where the name of row r starts in a left-aligned first column.
int NameLeft(const GridState& st, int r, const QFont& font) {
    const int icon = r < st.rowBound() ? st.rowIcon[size_t(r)] : 0;
    int w = -1;
    if (icon >= 1 && icon <= 4) {
        w = st.iconWidth[size_t(icon)];
    } else if (icon > 9) {
        w = st.iconWidth[0];
    }
    // A row without an icon starts at the column's own left edge, not where the last
    // row with an icon happened to put it.
    int left = w >= 0 ? st.rowIndent[r] + w + 2 : st.columnLeft[0] + 4;
    // A folder nested deeper than the column is wide still shows the start of its name
    // (over the tree lines) rather than nothing.
    const int right = st.cellRects[0].right;
    if (left > right - kMinNameRoom) {
        const int room = 4 * QFontMetrics(font).averageCharWidth();
        left = std::min(left, std::max(st.columnLeft[0] + 4, right - room));
    }
    return left;
}

// The text a cell shows. A tab is the program's own (the overview puts one before a drive's
// label) and is laid out, not shown as ^I: a name carries its control codes as private-use
// characters.
QString ShownText(const GridState& st, int c, const QString& text) {
    if (!text.contains(u'\t'))
        return ApplyCase(st.columnCase[size_t(c)], platform::DisplayName(text));
    QStringList parts = text.split(u'\t');
    for (QString& part : parts) part = platform::DisplayName(part);
    return ApplyCase(st.columnCase[size_t(c)], parts.join(u'\t'));
}

// A figure (digits, separators, sign, unit) is drawn narrower when it does not fit, never cut.
bool IsFigure(int column, const QString& shown) {
    return column > 0 && std::all_of(shown.begin(), shown.end(), [](QChar ch) {
               return ch.isDigit() || QStringView(u",.- KMGB").contains(ch);
           });
}
}  // namespace

QString ClippedCellText(const Grid& g, int x, int y) {
    const GridState& st = g.st;
    const int r = RowAtY(st, y);
    const int c = ColumnAtX(st, x);
    if (r < 0 || r >= st.rowCount || r >= st.rowBound() || c < 0 || c >= st.columnCount ||
        c >= kMaxColumns)
        return {};
    const QString shown = ShownText(st, c, CellText(st, c, r));
    if (shown.trimmed().isEmpty() || IsFigure(c, shown)) return {};
    const QFont font = FontOf(st, st.fontMode == 3 && st.altFontColumn[size_t(c)] != 0);
    const CellRect& rect = st.cellRects[size_t(c)];
    const int left = c == 0 && st.columnAlign[0] == 0 ? NameLeft(st, r, font) : rect.left;
    // Measured as drawn: the overview's names hold a tab before the label.
    if (QFontMetrics(font).size(Qt::TextExpandTabs, shown).width() <= rect.right - left) return {};
    QString whole = shown.trimmed();
    whole.replace(u'\t', u' ');
    return whole;
}

void DrawCellText(Grid& g, int c, int r, const QString& text) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    if (c < 0 || c >= kMaxColumns || r < 0) return;
    // Every path that draws a cell's text comes here: the bar goes in just before, behind it.
    if (c == st.shareColumn) ShareBar(g, c, r);
    const Colour saved = s.textColour;
    bool overridden = false;
    if (st.cellCursor && c == st.drawnCursorColumn && r == st.cursorRow) {
        s.textColour = st.cursorTextColour;
        overridden = true;
    } else if (st.selectionMode != 0 && st.selected(r)) {
        s.textColour = st.selTextColour;
        overridden = true;
    }
    const int align = st.columnAlign[size_t(c)];
    CellRect& rect = st.cellRects[size_t(c)];
    if (c == 0 && align == 0) rect.left = NameLeft(st, r, s.font());
    if (c == 0) {
        rect.top = (r - st.topRow) * st.rowHeight + (st.rowHeight - s.textHeight()) / 2;
    } else {
        rect.top = s.currentY;
    }
    rect.bottom = s.currentY + st.rowHeight;
    const QString shown = ShownText(st, c, text);
    // A figure (digits, separators, sign, unit) wider than its cell is drawn narrower, never
    // cut: every digit stays readable. Other text keeps its alignment and is clipped.
    const int room = rect.right - rect.left;
    // Cells are made for 17 digits and a sign: only a longer figure is measured, so painting
    // an ordinary list costs nothing more.
    const bool figure = shown.trimmed().size() > 17 && IsFigure(c, shown);
    const int width = figure ? QFontMetrics(s.font()).horizontalAdvance(shown.trimmed()) : 0;
    if (figure && room > 0 && width > room) {
        const QFont saved = s.font();
        QFont narrow = saved;
        narrow.setStretch(std::max(25, 100 * room / width));
        s.setFont(narrow);
        s.drawText(rect, shown.trimmed(), align);
        s.setFont(saved);
    } else {
        s.drawText(rect, shown, align);
    }
    if (overridden) s.textColour = saved;
}

void DrawRowTexts(Grid& g, int r) {
    GridState& st = g.st;
    if (r < 0 || r >= st.rowCount || r >= st.rowBound()) return;
    const int cc = std::min(st.columnCount, kMaxColumns);
    std::array<QString, kMaxColumns> cells;
    int pieces = 0;
    if (st.source) {
        for (; pieces < cc; ++pieces) cells[size_t(pieces)] = CellText(st, pieces, r);
    } else if (size_t(r) < st.rowText.size()) {
        const QString& t = st.rowText[size_t(r)];
        int start = 0;
        while (pieces < cc) {
            const int p = int(t.indexOf(kFieldSep, start));
            cells[size_t(pieces++)] = t.mid(start, p < 0 ? -1 : p - start);
            if (p < 0) break;
            start = p + 1;
        }
    }
    if (st.fontMode != 3) {
        for (int c = 0; c < pieces; ++c) DrawCellText(g, c, r, cells[size_t(c)]);
        return;
    }
    // Two passes, so that the font changes only once per row.
    const bool current = st.altFontActive != 0;
    for (int c = 0; c < pieces; ++c) {
        if ((st.altFontColumn[size_t(c)] != 0) == current && !cells[size_t(c)].isEmpty()) {
            DrawCellText(g, c, r, cells[size_t(c)]);
        }
    }
    PutFont(g, !current);
    for (int c = 0; c < pieces; ++c) {
        if ((st.altFontColumn[size_t(c)] != 0) != current) DrawCellText(g, c, r, cells[size_t(c)]);
    }
}

}  // namespace grid
