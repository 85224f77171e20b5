#include "scan/SubtreeRefresh.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/Figures.h"
#include "scan/FolderScan.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// The hard-linked files after the splice: names renumbered, and each file's room counted
// once, at its first name in the new order (moved there from where it was counted).
void MergeLinks(DriveList& list, DriveList& fresh, int f, int end, int delta) {
    FolderTable& t = list.Folders;
    auto renumber = [&](qint32 r) { return r < f ? r : r >= end ? r + delta : -1; };
    std::unordered_map<quint64, DriveList::LinkedFile> merged;
    for (auto& [inode, file] : list.Links) {
        DriveList::LinkedFile out;
        out.links = file.links;
        out.occupied = file.occupied;
        out.owner = renumber(file.owner);
        for (const qint32 n : file.names)
            if (const qint32 r = renumber(n); r >= 0) out.names.push_back(r);
        if (!out.names.empty() || out.owner >= 0) merged.emplace(inode, std::move(out));
    }
    for (auto& [inode, file] : fresh.Links) {
        DriveList::LinkedFile& out = merged[inode];
        const qint32 freshOwner = file.owner >= 0 ? file.owner + f : -1;
        for (const qint32 n : file.names) out.names.push_back(n + f);
        std::sort(out.names.begin(), out.names.end());
        if (out.owner >= 0 && freshOwner >= 0) {
            // Counted twice: the later one gives its share back.
            const qint32 keep = std::min(out.owner, freshOwner);
            const qint32 drop = std::max(out.owner, freshOwner);
            t.AllocSize[size_t(drop)] -= drop == freshOwner ? file.occupied : out.occupied;
            out.occupied = keep == freshOwner ? file.occupied : out.occupied;
            out.owner = keep;
        } else if (freshOwner >= 0) {
            out.owner = freshOwner;
            out.occupied = file.occupied;
        }
        out.links = std::max(out.links, file.links);
    }
    for (auto& [inode, file] : merged) {
        if (file.owner >= 0 || file.names.empty()) continue;
        // Its counting name was in the old subtree and is gone: the first remaining name
        // takes its room.
        file.owner = *std::min_element(file.names.begin(), file.names.end());
        t.AllocSize[size_t(file.owner)] += file.occupied;
    }
    std::erase_if(merged, [](const auto& e) { return e.second.names.empty(); });
    list.Links = std::move(merged);
}

// Subtree totals and the drive's totals from the folders' own figures.
void Recount(DriveList& list, int records) {
    FolderTable& t = list.Folders;
    std::vector<qint64> sums(size_t(records), 0);
    qint64 files = 0, bytes = 0, alloc = 0;
    for (int r = records - 1; r >= 0; --r) {
        const size_t i = size_t(r);
        sums[i] = SaturatingAdd(sums[i], t.AllocSize[i]);
        t.SubtreeTotal[i] = sums[i];
        t.ShownAlloc[i] = t.AllocSize[i];
        if (r > 0) {
            const size_t p = size_t(t.Parent[i]);
            sums[p] = SaturatingAdd(sums[p], sums[i]);
        }
        if (t.FileCount[i] > 0) files += t.FileCount[i];
        bytes = SaturatingAdd(bytes, t.FileSize[i]);
        alloc = SaturatingAdd(alloc, t.AllocSize[i]);
    }
    list.FolderTotal = std::max(0, records - 1);
    list.FileTotal = qint32(std::min<qint64>(files, std::numeric_limits<qint32>::max()));
    list.FileSizeTotal = bytes;
    list.AllocTotal = alloc;
    list.LastSubtreeTotal = records > 0 ? t.SubtreeTotal[0] : 0;
}

}  // namespace

bool RefreshSubtree(DriveList& list, int f, QString& error) {
    FolderTable& t = list.Folders;
    const int records = Records(list);
    if (f <= 0 || f >= records) {
        error = QStringLiteral("フォルダーがありません。");
        return false;
    }
    const QByteArray root = platform::Drives().root(platform::LetterIndex(list.CurrentDrive));
    if (root.isEmpty() || t.RootNative.isEmpty()) {
        error = QStringLiteral("取り込んだスキャンは読み直せません。");
        return false;
    }
    if (t.State[size_t(f)] == kFolderNotEntered || t.State[size_t(f)] == kFolderVanished) {
        error = platform::ErrorText(t.StateError[size_t(f)] ? t.StateError[size_t(f)] : ENOENT);
        return false;
    }

    DriveList fresh;
    fresh.ClusterSize = list.ClusterSize;
    fresh.ClusterChosen = list.ClusterChosen;
    fresh.DirEntriesPerCluster = list.DirEntriesPerCluster;
    fresh.ReadThreads = list.ReadThreads;
    fresh.ReportFailure = list.ReportFailure;
    fresh.ShowProgress = list.ShowProgress;
    // The owner's event turns, and its stop and close, reach the reading.
    fresh.ProcessEvents = [&] {
        if (list.ProcessEvents) list.ProcessEvents();
        fresh.StopFlag = list.StopFlag || list.StopAsked;
    };
    fresh.Folders.reset();
    fresh.Files.reset();
    ScanSubtree(fresh, t.nativePath(f), t.name(f).toString());
    if (list.StopFlag || list.StopAsked || fresh.StopFlag) {
        error = QStringLiteral("中止しました。");
        return false;
    }
    if (fresh.RootError != 0 || fresh.RowCount <= 0) {
        error = platform::ErrorText(fresh.RootError > 0 ? fresh.RootError : ENOENT);
        return false;
    }

    const int end = SubtreeEnd(t, f, records);
    const int n = fresh.RowCount;
    const int delta = n - (end - f);
    const int newRecords = records + delta;
    FolderTable nt;
    nt.reset(newRecords + 1);
    nt.RootNative = t.RootNative;
    for (int r = 0; r < f; ++r) nt.copyRecord(t, r, r);
    const qint32 baseLevel = t.Level[size_t(f)];
    const qint32 parentOfF = t.Parent[size_t(f)];
    for (int r = 0; r < n; ++r) {
        if (r == 0) {
            nt.copyRecord(fresh.Folders, 0, f);
            nt.Parent[size_t(f)] = parentOfF;
            nt.Level[size_t(f)] = baseLevel;
            continue;
        }
        nt.copyRecord(fresh.Folders, r, f + r);
        nt.Parent[size_t(f + r)] += f;
        nt.Level[size_t(f + r)] += baseLevel;
    }
    for (int r = end; r < records; ++r) {
        nt.copyRecord(t, r, r + delta);
        qint32& p = nt.Parent[size_t(r + delta)];
        if (p >= end) p += delta;
    }
    nt.Level[size_t(newRecords)] = 0;

    // The files: those before, the new ones, those after, each owned by its new record.
    FileTable nf;
    nf.reset(std::max(1, list.Files.FileTableCount + fresh.Files.FileTableCount));
    qint32 count = 0;
    auto put = [&](qint64 bytes, qint32 owner) {
        nf.FileBytes[size_t(count)] = bytes;
        nf.FileOwner[size_t(count)] = owner;
        ++count;
    };
    const FileTable& of = list.Files;
    for (qint32 i = 0; i < of.FileTableCount; ++i)
        if (of.FileOwner[size_t(i)] < f) put(of.FileBytes[size_t(i)], of.FileOwner[size_t(i)]);
    for (qint32 i = 0; i < fresh.Files.FileTableCount; ++i)
        put(fresh.Files.FileBytes[size_t(i)], fresh.Files.FileOwner[size_t(i)] + f);
    for (qint32 i = 0; i < of.FileTableCount; ++i)
        if (of.FileOwner[size_t(i)] >= end)
            put(of.FileBytes[size_t(i)], of.FileOwner[size_t(i)] + delta);
    nf.FileTableCount = count;

    // From here on nothing fails: the list takes the new tables.
    list.Folders = std::move(nt);
    list.Files = std::move(nf);
    MergeLinks(list, fresh, f, end, delta);
    list.Collapsed.clear();
    list.RowCount = newRecords;
    Recount(list, newRecords);
    if (list.AllocTotal > list.DriveTotal) list.DriveTotal = list.AllocTotal;
    ShowDriveFigures(list);
    return true;
}

}  // namespace scan
