#include "scan/FolderScan.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <thread>
#include <utility>

#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FolderSource.h"
#include "scan/SizeFormat.h"

namespace scan {
namespace {

struct Walk {
    DriveList& d;
    FolderSource& source;
    QByteArray nativeRoot;  // with no trailing '/' except for "/"
    std::vector<std::pair<quint64, quint64>> ancestors;
    bool deviceGoneSeen = false;
};

const QString& Placeholder() {
    static const QString blanks(kPlaceholderWidth, u' ');
    return blanks;
}

QByteArray Join(const QByteArray& folder, const QByteArray& name) {
    if (folder.isEmpty()) return name;
    return folder + '/' + name;
}

QByteArray NativeOf(const Walk& w, const QByteArray& relative) {
    if (relative.isEmpty()) return w.nativeRoot;
    return w.nativeRoot == "/" ? "/" + relative : w.nativeRoot + '/' + relative;
}

// A listed subfolder that the walk may enter: a real directory on the root's device, no
// mount point, and not the same directory as one of its ancestors.
bool MayEnter(const Walk& w, const platform::DirListing::Sub& sub, const QByteArray& relative) {
    if (sub.examined) {
        if (sub.device != w.source.rootDevice()) return false;
        const auto key = std::make_pair(sub.device, sub.inode);
        if (std::find(w.ancestors.begin(), w.ancestors.end(), key) != w.ancestors.end())
            return false;
    }
    return !platform::IsMountPoint(NativeOf(w, relative));
}

void LetEventsRun(DriveList& d) {
    if (d.ProcessEvents) d.ProcessEvents();
}

// A folder could not be read because the device went away: the drive summary loses its
// total as well.
void NoteDeviceGone(Walk& w, int error) {
    if (w.deviceGoneSeen || !platform::DeviceGone(error)) return;
    platform::DriveSpace space;
    const int letter = platform::Drives().indexFor(w.nativeRoot);
    if (letter >= 0 && platform::ReadDriveSpace(letter, space)) return;
    w.deviceGoneSeen = true;
    w.d.DriveTotal = 0;
    if (w.d.ReportFailure) w.d.ReportFailure(platform::ErrorText(error));
}

// name: the row's folder name (the path as given for the first folder, else the folder's
// own name, which is the last part of its path since a name never holds a "\").
void ScanOne(Walk& w, const QString& name, const QByteArray& relative, const QByteArray& nativeName,
             const FolderSource::TaskRef& task, FolderListing listing) {
    DriveList& d = w.d;
    grid::Grid& g = *d.Grid;

    // 1-2.
    ++d.Depth;
    d.VOLDSP = name;
    if (d.ShowProgress) d.ShowProgress(name);

    // 3.
    qint64 fileSize = 0;
    qint64 fileClusters = 0;
    qint32 fileCount = 0;
    const int r = g.st.rowCount;

    // 5. An unreadable folder is listed with no files.
    if (!listing.ok) {
        NoteDeviceGone(w, listing.error);
        listing.fileSizes.clear();
        listing.subs.clear();
    }
    d.FolderTotal += qint32(listing.subs.size());
    FileTable& files = d.Files;
    for (const qint64 size : listing.fileSizes) {
        if (files.FileTableCount >= files.bound()) {
            files.grow();
            LetEventsRun(d);
            if (d.StopFlag) break;
        }
        files.FileBytes[size_t(files.FileTableCount)] = size;
        files.FileOwner[size_t(files.FileTableCount)] = r;
        ++files.FileTableCount;
        fileSize += size;
        fileClusters += FileClusters(size, d.ClusterSize);
        ++fileCount;
    }
    listing.fileSizes = {};

    // 6.
    if (d.StopFlag) return;

    // 7-9.
    const qint32 dirClusters = DirectoryClusters(r == 0, fileCount, d.DirEntriesPerCluster);
    const qint64 alloc = (dirClusters + fileClusters) * qint64(d.ClusterSize);
    const int mark = SizeMark(alloc);

    // 10.
    const QChar sep = grid::kFieldSep;
    QString text;
    text.reserve(name.size() + 70);
    text += name;
    text += sep;
    text += QString::number(fileCount);
    text += sep;
    text += CellSize(fileSize, d.UnitMode);
    text += sep;
    text += CellSize(alloc, d.UnitMode);
    text += sep;
    text += Placeholder();
    grid::AddRow(g, text, (d.Depth - 1) & 7, mark);

    // 11.
    if (g.st.rowCount % 128 == 0) {
        LetEventsRun(d);
        if (d.StopFlag) return;
    }

    // 12. The grid is not painted during the scan, so the icon goes straight in.
    g.st.rowIcon[size_t(r)] = quint8(r == 0 ? 10 + d.DriveKind : 10);

    // 13.
    d.FileTotal += fileCount;
    d.FileSizeTotal += fileSize;
    d.AllocTotal += alloc;
    qint64 subtree = alloc;
    d.Folders.ensure(r);
    d.Folders.NativeName[size_t(r)] = nativeName;

    // 14.
    if (!listing.subs.empty()) {
        d.Folders.HasChildren[size_t(r)] = 1;
        const std::vector<platform::DirListing::Sub> subs = std::move(listing.subs);
        const std::vector<FolderSource::TaskRef> tasks = w.source.children(task);
        // The relative path of a folder that is not entered stays empty.
        std::vector<QByteArray> childRelative(subs.size());
        for (size_t i = 0; i < subs.size(); ++i) {
            if (i >= tasks.size()) continue;
            QByteArray rel = Join(relative, subs[i].nativeName);
            if (MayEnter(w, subs[i], rel)) {
                childRelative[i] = std::move(rel);
            } else {
                w.source.skip(tasks[i]);
            }
        }
        for (size_t i = 0; i < subs.size(); ++i) {
            const platform::DirListing::Sub& sub = subs[i];
            const int child = g.st.rowCount;
            d.Folders.ensure(child);
            d.Folders.Parent[size_t(child)] = r;
            const bool enter = !childRelative[i].isEmpty();
            FolderListing childListing;
            if (enter) childListing = w.source.take(tasks[i]);
            w.ancestors.emplace_back(sub.device, sub.inode);
            ScanOne(w, sub.name, childRelative[i], sub.nativeName,
                    enter ? tasks[i] : FolderSource::TaskRef(), std::move(childListing));
            w.ancestors.pop_back();
            if (d.StopFlag) return;
            subtree += d.LastSubtreeTotal;
        }
    }

    // 15.
    --d.Depth;
    d.Folders.SubtreeTotal[size_t(r)] = subtree;
    QString& rowText = g.st.rowText[size_t(r)];
    const QString cell = CellSize(subtree, d.UnitMode).left(kPlaceholderWidth);
    rowText.replace(rowText.size() - kPlaceholderWidth, cell.size(), cell);
    d.Folders.RowText[size_t(r)] = rowText;

    // 16.
    const qint16 indent = RowIndentFor(d.IndentStep, d.Depth);
    d.Folders.Indent[size_t(r)] = indent;
    g.st.rowIndent.set(r, indent);
    d.Folders.Level[size_t(r)] = quint8(d.Depth);
    d.Folders.FileCount[size_t(r)] = fileCount;
    d.Folders.FileSize[size_t(r)] = fileSize;
    d.Folders.AllocSize[size_t(r)] = alloc;
    d.Folders.ShownAlloc[size_t(r)] = alloc;
    d.Folders.Order[size_t(r)] = r;
    d.LastSubtreeTotal = subtree;
}

int WorkerCount(int asked) {
    if (asked >= 0) return std::min(asked, 16);
    // One reader per core; the scan's own thread reads too while it would wait.
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, 4);
}

}  // namespace

qint32 DirectoryClusters(bool root, qint32 fileCount, qint16 dirEntriesPerCluster) {
    if (root) return 0;
    if (fileCount == 0) return 1;
    if (dirEntriesPerCluster <= 0) return 0;
    const qint64 n = (qint64(fileCount) + dirEntriesPerCluster - 1) / dirEntriesPerCluster;
    return n >= 0 && n <= std::numeric_limits<qint16>::max() ? qint32(n) : 0;
}

qint64 FileClusters(qint64 bytes, qint32 clusterSize) {
    if (bytes <= 0 || clusterSize <= 0) return 0;
    return (bytes - 1) / clusterSize + 1;
}

qint16 RowIndentFor(int indentStep, int level) {
    const qint64 v = qint64(indentStep) * level + 2;
    return v >= 0 && v <= std::numeric_limits<qint16>::max() ? qint16(v) : 0;
}

void ScanFolder(DriveList& list, const QString& path) {
    if (!list.Grid) return;
    bool ok = false;
    const QByteArray native = platform::NativePath(path, &ok);
    FolderSource source(ok ? native : QByteArray(), ok ? WorkerCount(list.ReadThreads) : 0);
    Walk w{list, source, native, {}, false};
    FolderListing top;
    FolderSource::TaskRef rootTask;
    if (source.valid()) {
        w.ancestors.emplace_back(source.rootDevice(), source.rootInode());
        rootTask = source.root(top);
    }
    list.RootError =
        source.valid() ? (top.ok ? 0 : top.error) : (source.error() ? source.error() : -1);
    // The root's record keeps its whole native path, every other one its own name.
    const int depth = list.Depth;
    try {
        ScanOne(w, path, QByteArray(), native, rootTask, std::move(top));
    } catch (const std::exception& e) {
        // Exhausted memory: reported at once; the tables keep what was filled.
        list.Depth = depth;
        if (list.ReportFailure) list.ReportFailure(QString::fromLocal8Bit(e.what()));
    }
    source.stop();
}

}  // namespace scan
