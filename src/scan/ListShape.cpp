#include "scan/ListShape.h"

#include <QHash>
#include <algorithm>

#include "grid/Grid.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// A row folds its subtree by default at the level limit.
bool FoldedByLevel(const DriveList& list, int f) {
    return list.ShownLevel > 0 && list.Folders.Level[size_t(f)] >= list.ShownLevel;
}

QString PathOf(const DriveList& list, int f) {
    return f == 0 ? QString() : FolderPath(list, f);
}

// Finds folders of the new table by their paths: each name is looked up among the
// children of the folder above it.
class PathIndex {
  public:
    explicit PathIndex(const DriveList& list) : t_(list.Folders) {
        const int records = Records(list);
        children_.reserve(records);
        for (int f = 1; f < records; ++f) children_.insert({t_.Parent[size_t(f)], t_.name(f)}, f);
    }
    int find(const QString& path) const {
        if (path.isEmpty()) return 0;
        int at = 0;
        for (const QStringView name : QStringView(path).split(u'\\')) {
            const auto it = children_.constFind({at, name});
            if (it == children_.constEnd()) return -1;
            at = *it;
        }
        return at;
    }

  private:
    struct Key {
        int parent;
        QStringView name;
        bool operator==(const Key& o) const { return parent == o.parent && name == o.name; }
    };
    friend size_t qHash(const Key& k, size_t seed) { return qHashMulti(seed, k.parent, k.name); }
    const FolderTable& t_;
    QHash<Key, int> children_;
};

}  // namespace

ListShape TakeShape(const DriveList& list) {
    ListShape shape;
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    const int rows = std::min(list.RowCount - 1, t.bound());
    const bool tree = list.SortKind == 0 && !list.PathsFlag;
    for (int r = 0; tree && r < rows; ++r) {
        const int f = t.Order[size_t(r)];
        if (f < 0 || f >= records || !t.HasChildren[size_t(f)]) continue;
        const bool folded = list.Collapsed.count(f) != 0;
        if (folded != FoldedByLevel(list, f)) shape.folds.emplace_back(PathOf(list, f), folded);
    }
    if (!list.Grid) return shape;
    const grid::GridState& st = list.Grid->st;
    if (st.cursorRow >= 0 && st.cursorRow < rows) {
        shape.hasCursor = true;
        shape.cursor = PathOf(list, t.Order[size_t(st.cursorRow)]);
        shape.cursorOffset = std::max(0, st.cursorRow - st.topRow);
    }
    for (int r = 0; r < rows && st.selectedCount > 0; ++r)
        if (st.selected(r)) shape.selected.push_back(PathOf(list, t.Order[size_t(r)]));
    return shape;
}

void ApplyShape(DriveList& list, const ListShape& shape) {
    if (list.RowCount <= 0) return;
    const bool tree = list.SortKind == 0 && !list.PathsFlag;
    if (shape.folds.empty() && !shape.hasCursor && shape.selected.empty()) return;
    const PathIndex index(list);
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    if (tree && !shape.folds.empty()) {
        std::vector<char> folded(size_t(records), 0);
        for (int f = 0; f < records; ++f) folded[size_t(f)] = FoldedByLevel(list, f);
        for (const auto& [path, fold] : shape.folds) {
            const int f = index.find(path);
            if (f >= 0) folded[size_t(f)] = fold;
        }
        ApplyFolds(list, folded);
        ComputeTreeFlags(list);
        list.RowsExpanded = true;
    }
    if (!list.Grid) return;
    grid::Grid& g = *list.Grid;
    const int rows = std::min(list.RowCount - 1, t.bound());
    std::vector<int> rowOf(size_t(records), -1);
    for (int r = 0; r < rows; ++r) {
        const int f = t.Order[size_t(r)];
        if (f >= 0 && f < records) rowOf[size_t(f)] = r;
    }
    // A folder folded away shows through its nearest ancestor that has a row.
    auto shownRow = [&](int f) {
        while (f > 0 && rowOf[size_t(f)] < 0) f = t.Parent[size_t(f)];
        return f >= 0 ? rowOf[size_t(f)] : -1;
    };
    grid::ResetSelection(g.st);
    for (const QString& path : shape.selected) {
        const int f = index.find(path);
        if (f >= 0 && rowOf[size_t(f)] >= 0) grid::SetRowSelected(g, rowOf[size_t(f)], -1);
    }
    CountSelection(list);
    if (shape.hasCursor) {
        const int f = index.find(shape.cursor);
        int row = f >= 0 ? shownRow(f) : -1;
        if (row < 0) {
            // The folder is gone: the nearest ancestor of its path that remains.
            QString path = shape.cursor;
            while (row < 0 && !path.isEmpty()) {
                const qsizetype cut = path.lastIndexOf(u'\\');
                path.truncate(std::max<qsizetype>(cut, 0));
                const int a = index.find(path);
                if (a >= 0) row = shownRow(a);
            }
        }
        grid::ShowRow(g, std::max(row, 0), shape.cursorOffset);
    }
}

}  // namespace scan
