#include "folderops/ListFix.h"

#include <algorithm>

#include <cerrno>

#include "folderops/RecordChain.h"
#include "platform/FileSys.h"
#include "scan/FolderScan.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace folderops {

ListFix::ListFix(scan::DriveList& list) : list_(list) {
    records_ = std::clamp(list.ListRowCount - 1, 0, list.Folders.bound());
    rowOf_.assign(size_t(records_), -1);
    const int rows = std::min(list.RowCount, list.Folders.bound());
    for (int r = 0; r < rows; ++r) {
        const int f = list.Folders.Order[size_t(r)];
        if (f >= 0 && f < records_) rowOf_[size_t(f)] = r;
    }
}

int ListFix::RowOf(int record) const {
    return record >= 0 && record < records_ ? rowOf_[size_t(record)] : -1;
}

void ListFix::ClearRowSizes(int row, bool wholeSubtree) {
    if (row < 0 || row >= std::min(list_.RowCount, list_.Folders.bound())) return;
    const int R = list_.Folders.Order[size_t(row)];
    if (R < 0 || R >= records_) return;
    const int end = wholeSubtree ? scan::SubtreeEnd(list_.Folders, R, records_) : R + 1;

    scan::FolderTable& t = list_.Folders;
    std::vector<std::vector<qint64>> kept(size_t(end - R));
    std::vector<qint64> delta(size_t(end - R), 0);
    // Read as a new scan would read them: by name from the root, never through a link or
    // onto another mount, at any depth. Below a folder that is gone nothing is left to read.
    RecordChain chain(list_.Folders, false);
    for (int f = R; f < end; ++f) {
        const int p = t.Parent[size_t(f)];
        const bool parentGone = f > R && p >= R && t.FileCount[size_t(p)] < 0;
        delta[size_t(f - R)] = Reread(chain, f, kept[size_t(f - R)], parentGone);
    }
    // The subtree totals follow, each folder's change added once on the way up (in tree
    // order a folder's subtree comes after it).
    for (int f = end - 1; f >= R; --f) {
        const qint64 d = delta[size_t(f - R)];
        t.SubtreeTotal[size_t(f)] += d;
        const int p = t.Parent[size_t(f)];
        if (f > R && p >= R) delta[size_t(p - R)] += d;
    }
    for (int a = R; a > 0;) {
        a = t.Parent[size_t(a)];
        t.SubtreeTotal[size_t(a)] += delta[0];
    }

    // FileTable keeps the files that are still there, so that another cluster size counts
    // exactly them.
    scan::FileTable& files = list_.Files;
    std::vector<size_t> next(kept.size(), 0);
    for (qint32 i = 0; i < files.FileTableCount; ++i) {
        const qint32 owner = files.FileOwner[size_t(i)];
        if (owner < R || owner >= end) continue;
        const size_t k = size_t(owner - R);
        files.FileBytes[size_t(i)] = next[k] < kept[k].size() ? kept[k][next[k]++] : 0;
    }
    for (size_t k = 0; k < kept.size(); ++k) {
        for (; next[k] < kept[k].size(); ++next[k]) {
            if (files.FileTableCount >= files.bound()) files.grow();
            files.FileBytes[size_t(files.FileTableCount)] = kept[k][next[k]];
            files.FileOwner[size_t(files.FileTableCount)] = R + qint32(k);
            ++files.FileTableCount;
        }
    }

    for (int f = R; f < end; ++f) RefreshRow(f);
    for (int a = R; a > 0;) {
        a = list_.Folders.Parent[size_t(a)];
        RefreshRow(a);
    }
}

qint64 ListFix::Reread(RecordChain& chain, int f, std::vector<qint64>& kept, bool parentGone) {
    scan::FolderTable& t = list_.Folders;
    const size_t i = size_t(f);
    int error = ENOENT;
    bool exists = !parentGone && chain.Open(f, &error);
    // A mount, or a folder that cannot be opened, still stands where it was listed: a new scan
    // lists it too (not entered, or unreadable with nothing counted in it).
    platform::DirEntry shut;  // such a folder as its parent sees it
    if (!exists && error != ENOENT && error != ELOOP && error != ENOTDIR &&
        chain.Record() == t.Parent[i]) {
        exists = platform::StatAt(chain.Chain().Fd(), t.native(f), shut) && shut.isDir;
    }
    qint32 count = -1;  // removed
    qint64 bytes = 0, alloc = 0;
    if (exists && t.State[i] == scan::kFolderNotEntered) {
        // A mount that the scan did not enter was not entered now either: its figures stand.
        count = t.FileCount[i];
        bytes = t.FileSize[i];
        alloc = t.AllocSize[i];
    } else if (exists) {
        std::vector<platform::DirEntry> entries;
        if (chain.Record() == f) platform::ListAt(chain.Chain().Fd(), entries);
        const bool allocated = scan::OccupiedAsAllocated(list_);
        count = 0;
        qint64 clusters = 0, bytesTaken = 0;
        for (const platform::DirEntry& e : entries) {
            if (e.isDir) continue;
            ++count;
            bytes = scan::SaturatingAdd(bytes, e.size);
            kept.push_back(e.size);
            // A file with other names is counted where it was counted before, unless that
            // folder is gone.
            if (e.links > 1) {
                scan::DriveList::LinkedFile& file = list_.Links[e.inode];
                const qint32 owner = file.owner;
                if (owner >= 0 && owner != f && owner < t.bound() &&
                    t.FileCount[size_t(owner)] >= 0)
                    continue;
                file.owner = f;
                file.links = e.links;
                file.occupied = allocated ? e.allocated
                                          : scan::FileClusters(e.size, list_.ClusterSize) *
                                                qint64(list_.ClusterSize);
            }
            if (allocated)
                bytesTaken = scan::SaturatingAdd(bytesTaken, e.allocated);
            else
                clusters =
                    scan::SaturatingAdd(clusters, scan::FileClusters(e.size, list_.ClusterSize));
        }
        if (allocated) {
            // A folder occupies its own blocks, read or not (as a new scan counts them).
            platform::DirEntry self;
            const qint64 own =
                f == 0 ? 0
                : chain.Record() == f
                    ? (platform::StatOpen(chain.Chain().Fd(), self) ? self.allocated : 0)
                    : shut.allocated;
            alloc = scan::SaturatingAdd(bytesTaken, own);
        } else {
            const qint32 dirClusters =
                scan::DirectoryClusters(f == 0, count, list_.DirEntriesPerCluster);
            alloc = (clusters + dirClusters) * qint64(list_.ClusterSize);
        }
    }
    list_.FileTotal += std::max(count, 0) - std::max(t.FileCount[i], 0);
    list_.FileSizeTotal += bytes - t.FileSize[i];
    const qint64 delta = alloc - t.AllocSize[i];
    list_.AllocTotal += delta;
    t.FileCount[i] = count;
    t.FileSize[i] = bytes;
    t.AllocSize[i] = alloc;
    return delta;
}

void ListFix::RefreshRow(int f) {
    scan::FolderTable& t = list_.Folders;
    const size_t i = size_t(f);
    t.ShownAlloc[i] = t.AllocSize[i];
    // A collapsed row shows the sums of its whole subtree, read again.
    if (const auto c = list_.Collapsed.find(f); c != list_.Collapsed.end()) {
        scan::RowFigures sums;
        for (int g = f, end = scan::SubtreeEnd(t, f, records_); g < end; ++g) {
            sums.files += std::max(t.FileCount[size_t(g)], 0);
            sums.bytes = scan::SaturatingAdd(sums.bytes, t.FileSize[size_t(g)]);
            sums.alloc = scan::SaturatingAdd(sums.alloc, t.AllocSize[size_t(g)]);
        }
        sums.subtree = t.SubtreeTotal[i];
        c->second = sums;
        t.ShownAlloc[i] = sums.alloc;
    }
    const int row = RowOf(f);
    if (row < 0 || !list_.Grid || list_.OverviewShown) return;
    grid::GridState& st = list_.Grid->st;
    const size_t r = size_t(row);
    st.rowMark[r] = quint8(scan::SizeMark(t.ShownAlloc[i]));
    if (f != 0) st.rowIcon[r] = quint8(t.FileCount[i] < 0 ? 14 : 10);
}

void ListFix::Finish() {
    if (list_.ListRowCount <= 0) return;
    // Rows show the figures the table holds now; the total row the new totals.
    scan::CountSelection(list_);
    if (list_.Grid) grid::RepaintAll(*list_.Grid);
}

}  // namespace folderops
