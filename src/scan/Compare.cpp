#include "scan/Compare.h"

#include <algorithm>

#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// The first record after each folder's subtree, from the parents of a pre-order.
template <typename ParentOf>
std::vector<qint32> SubtreeEnds(int count, ParentOf parent) {
    std::vector<qint32> end(size_t(count), count);
    std::vector<qint32> open;
    for (int i = 0; i < count; ++i) {
        const int p = i == 0 ? -1 : parent(i);
        while (!open.empty() && open.back() != p) {
            end[size_t(open.back())] = i;
            open.pop_back();
        }
        open.push_back(i);
    }
    return end;
}

// The children of folder f, by name (the walk's order need not be the same in both scans).
template <typename NameOf>
void ChildrenByName(int f, const std::vector<qint32>& end, NameOf name, std::vector<qint32>& out) {
    out.clear();
    for (int c = f + 1; c < end[size_t(f)]; c = end[size_t(c)]) out.push_back(c);
    std::sort(out.begin(), out.end(), [&](int a, int b) { return name(a) < name(b); });
}

class Merger {
  public:
    Merger(const FolderTable& now, int nowCount, const FigureTree& then, DriveList& list)
        : now_(now), n_(nowCount), then_(then), m_(then.size()), list_(list) {}

    void run() {
        nowEnd_ = SubtreeEnds(n_, [&](int i) { return now_.Parent[size_t(i)]; });
        thenEnd_ = SubtreeEnds(m_, [&](int i) { return then_.Parent[size_t(i)]; });
        match();
        int gone = 0;
        for (int t = 0; t < m_; ++t) gone += taken_[size_t(t)] ? 0 : 1;
        const int records = n_ + gone;
        FolderTable& out = list_.Folders;
        out.reset(records + 1);
        out.RootNative = now_.RootNative;
        list_.Change.assign(size_t(records), kChangeSame);
        build();
        list_.RowCount = records;
    }

  private:
    // Pairs every folder of now with the folder of then at the same path, parents first.
    void match() {
        matchOf_.assign(size_t(n_), -1);
        taken_.assign(size_t(m_), 0);
        if (n_ == 0 || m_ == 0) return;
        matchOf_[0] = 0;
        taken_[0] = 1;
        std::vector<qint32> a, b;
        for (int f = 0; f < n_; ++f) {
            const int t = matchOf_[size_t(f)];
            if (t < 0 || nowEnd_[size_t(f)] == f + 1 || thenEnd_[size_t(t)] == t + 1) continue;
            ChildrenByName(
                f, nowEnd_, [&](int i) { return now_.name(i); }, a);
            ChildrenByName(
                t, thenEnd_, [&](int i) { return then_.name(i); }, b);
            size_t i = 0, j = 0;
            while (i < a.size() && j < b.size()) {
                const int c = now_.name(a[i]).compare(then_.name(b[j]));
                if (c < 0) {
                    ++i;
                } else if (c > 0) {
                    ++j;
                } else {
                    matchOf_[size_t(a[i])] = b[j];
                    taken_[size_t(b[j])] = 1;
                    ++i;
                    ++j;
                }
            }
        }
    }

    int put(int parent, QStringView name, ChangeMark mark) {
        FolderTable& t = list_.Folders;
        const int r = next_++;
        const size_t i = size_t(r);
        t.Parent[i] = parent;
        t.Level[i] = parent < 0 ? 0 : t.Level[size_t(parent)] + 1;
        if (parent >= 0) t.HasChildren[size_t(parent)] = 1;
        t.Order[i] = r;
        t.setName(r, name);
        list_.Change[i] = mark;
        list_.Depth = std::max(list_.Depth, t.Level[i]);
        return r;
    }

    void figures(int r, qint64 files, qint64 bytes, qint64 alloc, qint64 subtree) {
        FolderTable& t = list_.Folders;
        const size_t i = size_t(r);
        t.FileCount[i] = qint32(std::clamp<qint64>(files, INT32_MIN, INT32_MAX));
        t.FileSize[i] = bytes;
        t.AllocSize[i] = alloc;
        t.ShownAlloc[i] = alloc;
        t.SubtreeTotal[i] = subtree;
    }

    // Folder f of now, with what it was then.
    int putNow(int f, int parent) {
        const size_t i = size_t(f);
        const int t = matchOf_[i];
        const int r = put(parent, now_.name(f), t >= 0 ? kChangeSame : kChangeNew);
        const size_t ti = size_t(t);
        figures(r, now_.FileCount[i] - (t >= 0 ? then_.Files[ti] : 0),
                now_.FileSize[i] - (t >= 0 ? then_.Bytes[ti] : 0),
                now_.AllocSize[i] - (t >= 0 ? then_.Alloc[ti] : 0),
                now_.SubtreeTotal[i] - (t >= 0 ? then_.Subtree[ti] : 0));
        FolderTable& out = list_.Folders;
        out.State[size_t(r)] = now_.State[i];
        out.StateError[size_t(r)] = now_.StateError[i];
        out.Id[size_t(r)] = now_.Id[i];
        return r;
    }

    // The subtree of then's folder g, gone since, below record parent.
    void putGone(int g, int parent) {
        const int base = next_;
        for (int t = g; t < thenEnd_[size_t(g)]; ++t) {
            const size_t ti = size_t(t);
            const int r =
                put(t == g ? parent : base + (then_.Parent[ti] - g), then_.name(t), kChangeGone);
            figures(r, -qint64(then_.Files[ti]), -then_.Bytes[ti], -then_.Alloc[ti],
                    -then_.Subtree[ti]);
        }
    }

    // Now's folders in pre-order; a folder's gone subfolders follow its own.
    void build() {
        struct Open {
            int f, r;
        };
        std::vector<Open> open;
        auto close = [&] {
            const Open o = open.back();
            open.pop_back();
            const int t = matchOf_[size_t(o.f)];
            if (t < 0) return;
            for (int c = t + 1; c < thenEnd_[size_t(t)]; c = thenEnd_[size_t(c)])
                if (!taken_[size_t(c)]) putGone(c, o.r);
        };
        for (int f = 0; f < n_; ++f) {
            const int parent = f == 0 ? -1 : now_.Parent[size_t(f)];
            while (!open.empty() && open.back().f != parent) close();
            open.push_back({f, putNow(f, open.empty() ? -1 : open.back().r)});
        }
        while (!open.empty()) close();
    }

    const FolderTable& now_;
    const int n_;
    const FigureTree& then_;
    const int m_;
    DriveList& list_;
    std::vector<qint32> nowEnd_, thenEnd_, matchOf_;
    std::vector<quint8> taken_;
    int next_ = 0;
};

// The folders of a comparison's table (records 0 .. records - 1) that changed, with every
// folder above them, into list's table and marks in the same order; the root always. Returns
// how many.
int KeepChanged(const FolderTable& all, const std::vector<quint8>& marks, int records,
                DriveList& list) {
    std::vector<char> keep(size_t(records), 0);
    for (int f = records - 1; f >= 0; --f) {
        const size_t i = size_t(f);
        const bool changed = (i < marks.size() && marks[i] != kChangeSame) ||
                             all.FileCount[i] != 0 || all.FileSize[i] != 0 ||
                             all.AllocSize[i] != 0 || all.SubtreeTotal[i] != 0;
        if (changed) keep[i] = 1;
        // Pre-order: every folder below f has been seen, and marked f where it was kept.
        if (keep[i] && f > 0) keep[size_t(all.Parent[i])] = 1;
    }
    if (records > 0) keep[0] = 1;
    int kept = 0;
    for (const char k : keep) kept += k;
    FolderTable& out = list.Folders;
    out.reset(kept + 1);
    out.RootNative = all.RootNative;
    list.Change.assign(size_t(kept), kChangeSame);
    list.Depth = 0;
    std::vector<qint32> at(size_t(records), -1);
    int r = 0;
    for (int f = 0; f < records; ++f) {
        const size_t i = size_t(f);
        if (!keep[i]) continue;
        const size_t o = size_t(r);
        const int parent = f == 0 ? -1 : at[size_t(all.Parent[i])];
        out.copyRecord(all, f, r);
        // Its parent and children are those kept.
        out.Parent[o] = parent;
        out.HasChildren[o] = 0;
        if (parent >= 0) out.HasChildren[size_t(parent)] = 1;
        out.ShownAlloc[o] = all.AllocSize[i];
        out.SubtreeTotal[o] = all.SubtreeTotal[i];
        list.Change[o] = i < marks.size() ? marks[i] : quint8(kChangeSame);
        list.Depth = std::max(list.Depth, out.Level[o]);
        at[i] = r++;
    }
    return kept;
}

}  // namespace

void EnterComparison(DriveList& list, const FigureTree& then, const QString& thenLabel) {
    if (Comparing(list)) LeaveComparison(list);
    auto state = std::make_shared<ComparisonState>();
    state->Shape = TakeShape(list);
    const int records = Records(list);
    state->Folders = std::move(list.Folders);
    state->Files = std::move(list.Files);
    state->Links = std::move(list.Links);
    state->RowCount = list.RowCount;
    state->ListRowCount = list.ListRowCount;
    state->FolderTotal = list.FolderTotal;
    state->FileTotal = list.FileTotal;
    state->Depth = list.Depth;
    state->FileSizeTotal = list.FileSizeTotal;
    state->AllocTotal = list.AllocTotal;
    state->LastSubtreeTotal = list.LastSubtreeTotal;
    state->Incomplete = list.Incomplete;
    state->VOLDSP = list.VOLDSP;
    state->Then = thenLabel;
    state->SortKind = list.SortKind;
    list.Folders = FolderTable();
    list.Files = FileTable();
    list.Links.clear();
    list.Collapsed.clear();
    list.SelKeptByLinks = 0;
    list.Depth = 0;

    Merger(state->Folders, records, then, list).run();
    // The drive's changes: the total row shows them as a listing shows its totals.
    qint64 files = 0, bytes = 0;
    for (int t = 0; t < then.size(); ++t) {
        files += then.Files[size_t(t)];
        bytes = SaturatingAdd(bytes, then.Bytes[size_t(t)]);
    }
    list.FolderTotal = std::max(0, list.RowCount - 1);
    list.FileTotal = qint32(std::clamp<qint64>(state->FileTotal - files, INT32_MIN, INT32_MAX));
    list.FileSizeTotal = state->FileSizeTotal - bytes;
    list.AllocTotal = list.RowCount > 0 ? list.Folders.SubtreeTotal[0] : 0;
    list.LastSubtreeTotal = list.AllocTotal;
    list.VOLDSP =
        state->VOLDSP + QStringLiteral("  （比較: ") + thenLabel + QStringLiteral(" から）");
    const ListShape shape = state->Shape;
    list.Comparison = std::move(state);
    RowsFromScan(list);
    // The same folders open, closed and selected as in the listing.
    ApplyShape(list, shape);
    if (list.FullPath) ShowPaths(list);
}

void LeaveComparison(DriveList& list) {
    if (!Comparing(list)) return;
    const std::shared_ptr<ComparisonState> state = std::move(list.Comparison);
    list.Comparison.reset();
    list.Change.clear();
    list.Change.shrink_to_fit();
    list.Folders = std::move(state->Folders);
    list.Files = std::move(state->Files);
    list.Links = std::move(state->Links);
    list.Collapsed.clear();
    list.RowCount = state->RowCount;
    list.ListRowCount = state->ListRowCount;
    list.FolderTotal = state->FolderTotal;
    list.FileTotal = state->FileTotal;
    list.Depth = state->Depth;
    list.FileSizeTotal = state->FileSizeTotal;
    list.AllocTotal = state->AllocTotal;
    list.LastSubtreeTotal = state->LastSubtreeTotal;
    list.Incomplete = state->Incomplete;
    list.VOLDSP = state->VOLDSP;
    // The listing's sort comes back; paths a sort brought go with it, paths asked for stay.
    const bool askedPaths = list.FullPath && !list.PathsBySort;
    list.SortKind = state->SortKind;
    list.PathsBySort = list.SortKind != 0 && !askedPaths;
    list.FullPath = askedPaths || list.PathsBySort;
    // The rows are built again for the level, then shaped as they were.
    list.RowCount = std::max(0, state->ListRowCount - 1);
    RowsFromScan(list);
    ApplyShape(list, state->Shape);
    if (list.FullPath) ShowPaths(list);
}

bool ChangedOnly(const DriveList& list) {
    return Comparing(list) && list.Comparison->ChangedOnly;
}

void ShowChangedOnly(DriveList& list, bool on) {
    if (!Comparing(list) || ChangedOnly(list) == on) return;
    ComparisonState& state = *list.Comparison;
    const ListShape shape = TakeShape(list);
    if (on) {
        state.AllRecords = Records(list);
        state.AllDepth = list.Depth;
        state.AllFolders = std::move(list.Folders);
        state.AllChange = std::move(list.Change);
        list.Folders = FolderTable();
        list.Change.clear();
        const int records = KeepChanged(state.AllFolders, state.AllChange, state.AllRecords, list);
        list.RowCount = records;
    } else {
        list.Folders = std::move(state.AllFolders);
        list.Change = std::move(state.AllChange);
        state.AllFolders = FolderTable();
        state.AllChange.clear();
        list.Depth = state.AllDepth;
        list.RowCount = state.AllRecords;
    }
    state.ChangedOnly = on;
    list.Collapsed.clear();
    RowsFromScan(list);
    ApplyShape(list, shape);
    if (list.FullPath) ShowPaths(list);
}

void DropComparison(DriveList& list) {
    list.Comparison.reset();
    list.Change.clear();
    list.Change.shrink_to_fit();
}

bool FiguresFromSource(const FolderFeed& source, FigureTree& out, QString& error) {
    DriveList list;
    list.ClusterSize = qint32(kImportBlock);
    list.DirEntriesPerCluster = qint16(kImportBlock / 64);
    list.ReadThreads = 0;
    list.Files.reset();
    if (!ScanFromSource(list, QStringLiteral("\\"), source, error)) return false;
    list.Files = FileTable();
    list.ListRowCount = list.RowCount + 1;
    out = TakeFigures(list);
    out.Source.clear();
    return true;
}

}  // namespace scan
