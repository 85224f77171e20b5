#include <QStringList>
#include <algorithm>
#include <vector>

#include "platform/Fonts.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// Windows names of Japanese faces carry 明朝 or ゴシック; a face chosen here by its installed
// name (IPAMincho, Noto Sans CJK JP) says so through its writing systems.
bool FontTakesKanjiWord(const QString& name) {
    return platform::FontIsJapanese(name) || name.contains(QStringLiteral("明朝")) ||
           name.contains(QStringLiteral("ゴシック")) || name == QLatin1String("System") ||
           name == QLatin1String("FixedSys") || name == QLatin1String("Terminal");
}

// The total row's first cell: the count and a word chosen by the grid's font name.
QString TotalName(const DriveList& list) {
    const int count = list.FolderTotal + 1;
    const QString font = list.Grid ? list.Grid->st.font1Name : list.FontName;
    const bool kanji = FontTakesKanjiWord(font);
    QString word;
    if (kanji) {
        word = QStringLiteral(" フォルダ");
    } else {
        word = count == 1 ? QStringLiteral(" Folder ") : QStringLiteral(" Folders ");
    }
    // A listing stopped by the user counts only what it read.
    if (list.Incomplete) word += kanji ? QStringLiteral("（中止）") : QStringLiteral("(stopped)");
    return QString::number(count) + word;
}

bool IsTotalRow(const DriveList& list, int f) {
    return f < 0 || f >= Records(list);
}

}  // namespace

QString FolderPath(const DriveList& list, int f) {
    const FolderTable& t = list.Folders;
    if (f <= 0 || f >= t.bound()) return t.name(0).toString();
    // The root's name is the drive's path, not part of a path below it.
    std::vector<int> chain;
    for (int a = f; a > 0 && chain.size() <= size_t(f); a = t.Parent[size_t(a)]) chain.push_back(a);
    QString path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.isEmpty() || it != chain.rbegin()) path += u'\\';
        path += t.name(*it);
    }
    return path;
}

QString RowName(const DriveList& list, int row) {
    QString scratch;
    return RowCellText(list, row, 0, scratch).toString();
}

QStringView RowCellText(const DriveList& list, int row, int column, QString& scratch) {
    const FolderTable& t = list.Folders;
    if (row < 0 || row >= list.RowCount || row >= t.bound()) return {};
    const int f = t.Order[size_t(row)];
    const bool total = IsTotalRow(list, f);
    // A comparison shows changes: signed figures, new and gone folders named so.
    const bool changes = Comparing(list);
    if (column == 0) {
        if (total) return scratch = TotalName(list);
        const ChangeMark mark = ChangeOf(list, f);
        if (mark == kChangeSame && !(list.PathsFlag && f > 0)) return t.name(f);
        scratch = list.PathsFlag && f > 0 ? FolderPath(list, f) : t.name(f).toString();
        if (mark != kChangeSame) scratch += QStringLiteral("  （") + ChangeWord(mark) + u'）';
        return scratch;
    }
    const RowFigures shown = ShownFigures(list, row);
    switch (column) {
        case 1:
            return scratch = CountText(shown.files, changes);
        case 2:
            return scratch = CellSize(shown.bytes, list.UnitMode, changes);
        case 3:
            return scratch = CellSize(shown.alloc, list.UnitMode, changes);
        case 4:
            if (total) return {};
            return scratch = CellSize(shown.subtree, list.UnitMode, changes);
        default:
            return {};
    }
}

QStringView ListCells::cell(int row, int column, QString& scratch) const {
    return RowCellText(*list_, row, column, scratch);
}

double ListCells::share(int row) const {
    const DriveList& list = *list_;
    const FolderTable& t = list.Folders;
    if (row < 0 || row >= list.RowCount || row >= t.bound()) return -1;
    const int f = t.Order[size_t(row)];
    // The root has no parent folder to be a share of; changes are no shares.
    if (f <= 0 || IsTotalRow(list, f) || Comparing(list)) return -1;
    const int parent = t.Parent[size_t(f)];
    if (parent < 0 || parent >= f) return -1;
    const qint64 whole = t.SubtreeTotal[size_t(parent)];
    const qint64 part = ShownFigures(list, row).subtree;
    if (whole <= 0 || part <= 0) return 0;
    return std::min(1.0, double(part) / double(whole));
}

}  // namespace scan
