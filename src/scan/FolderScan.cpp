#include "scan/FolderScan.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <limits>
#include <thread>
#include <utility>

#include "platform/DirReader.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FolderWalk.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// Turns the walked folders into the list's tables: one folder record per folder in
// pre-order, the files in FileTable, the scan totals. Rows are made from them afterwards.
class RowBuilder : public FolderSink {
  public:
    // driveRoot: the walk's root is the drive's root folder, which counts no room of its own.
    RowBuilder(DriveList& list, const QByteArray& nativeRoot, bool driveRoot = true)
        : d_(list), nativeRoot_(nativeRoot), driveRoot_(driveRoot) {}

    bool enter(WalkedFolder& folder) override;
    bool leave() override;
    // After a walk the user stopped: the folders still open end with what was read of them,
    // so the list stands as a consistent, if incomplete, tree.
    void closeOpenFolders();

  private:
    struct Open {
        int row;
        qint32 fileCount;
        qint64 fileSize;
        qint64 alloc;
        qint64 subtree;
    };

    // Sums that would pass 2^63 stay at the largest figure, and the scan says so once.
    qint64 add(qint64 a, qint64 b, QStringView where) {
        qint64 sum;
        if (!__builtin_add_overflow(a, b, &sum)) return sum;
        overflow(where);
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    }
    qint64 multiply(qint64 a, qint64 b, QStringView where) {
        qint64 product;
        if (!__builtin_mul_overflow(a, b, &product)) return product;
        overflow(where);
        return std::numeric_limits<qint64>::max();
    }
    // leaf: the folder being entered, below the open ones; empty: the innermost open one.
    void overflow(QStringView leaf) {
        if (overflowSeen_) return;
        overflowSeen_ = true;
        if (!d_.ReportFailure) return;
        QString path;
        auto append = [&path](QStringView name) {
            if (!path.isEmpty() && !path.endsWith(u'\\')) path += u'\\';
            path += name;
        };
        for (const Open& o : open_) append(d_.Folders.name(o.row));
        if (!leaf.isEmpty()) append(leaf);
        d_.ReportFailure(TotalTooLargeText(platform::DisplayName(path)));
    }
    void noteDeviceGone(int error);
    void letEventsRun() {
        if (d_.ProcessEvents) d_.ProcessEvents();
    }
    // The window closes (everything is dropped) or the user stopped the listing.
    bool stopped() const { return d_.StopFlag || d_.StopAsked; }
    void close();

    DriveList& d_;
    QByteArray nativeRoot_;
    bool driveRoot_ = true;
    int records_ = 0;
    std::vector<Open> open_;
    bool deviceGoneSeen_ = false;
    bool overflowSeen_ = false;
};

// A folder could not be read because the device went away: the drive summary loses its
// total as well.
void RowBuilder::noteDeviceGone(int error) {
    if (deviceGoneSeen_ || !platform::DeviceGone(error)) return;
    platform::DriveSpace space;
    const int letter = platform::Drives().indexFor(nativeRoot_);
    if (letter >= 0 && platform::ReadDriveSpace(letter, space)) return;
    deviceGoneSeen_ = true;
    d_.DriveTotal = 0;
    if (d_.ReportFailure) d_.ReportFailure(platform::ErrorText(error));
}

bool RowBuilder::enter(WalkedFolder& folder) {
    ++d_.Depth;
    const QString& name = folder.name;
    // The hook shows the name as a person reads it, as often as it is painted.
    if (d_.ShowProgress) d_.ShowProgress(name);
    const int r = records_;
    if (folder.state != kFolderRead) noteDeviceGone(folder.error);
    d_.FolderTotal += qint32(folder.subfolders);

    // The folder's files; an unreadable folder is listed with the files it could list.
    qint64 fileSize = 0;
    qint64 fileClusters = 0;
    qint64 givenAlloc = 0;
    qint32 fileCount = 0;
    const bool allocGiven = folder.ownOccupied >= 0;
    // At the drive's own cluster size a file takes what the file system allocated for it;
    // a chosen cluster size asks what the files would take on such a drive.
    const bool allocated = !allocGiven && OccupiedAsAllocated(d_) &&
                           folder.fileAlloc.size() == folder.fileSizes.size();
    // A file with other names takes its room once, where the list meets it first.
    std::vector<char> counted(folder.fileSizes.size(), 1);
    for (const platform::LinkedEntry& l : folder.linked) {
        if (l.index >= counted.size()) continue;
        DriveList::LinkedFile& file = d_.Links[l.inode];
        file.names.push_back(r);
        if (file.owner >= 0) {
            counted[l.index] = 0;
            continue;
        }
        file.owner = r;
        file.links = l.links;
        const qint64 size = folder.fileSizes[l.index];
        file.occupied = allocated    ? folder.fileAlloc[l.index]
                        : allocGiven ? 0
                                     : FileClusters(size, d_.ClusterSize) * d_.ClusterSize;
    }
    FileTable& files = d_.Files;
    for (const qint64 size : folder.fileSizes) {
        if (files.FileTableCount >= files.bound()) {
            files.grow();
            letEventsRun();
            if (d_.StopFlag) return false;
        }
        files.FileBytes[size_t(files.FileTableCount)] = size;
        files.FileOwner[size_t(files.FileTableCount)] = r;
        ++files.FileTableCount;
        fileSize = add(fileSize, size, name);
        if (allocGiven) {
            if (size_t(fileCount) < folder.fileOccupied.size())
                givenAlloc = add(givenAlloc, folder.fileOccupied[size_t(fileCount)], name);
        } else if (counted[size_t(fileCount)] && allocated) {
            givenAlloc = add(givenAlloc, folder.fileAlloc[size_t(fileCount)], name);
        } else if (counted[size_t(fileCount)]) {
            fileClusters = add(fileClusters, FileClusters(size, d_.ClusterSize), name);
        }
        ++fileCount;
    }
    folder.fileSizes = {};
    folder.fileOccupied = {};
    folder.fileAlloc = {};
    if (d_.StopFlag) return false;

    const bool atDriveRoot = r == 0 && driveRoot_;
    const qint32 dirClusters = DirectoryClusters(atDriveRoot, fileCount, d_.DirEntriesPerCluster);
    // The drive's root folder counts no room of its own.
    const qint64 alloc =
        allocGiven  ? add(folder.ownOccupied, givenAlloc, name)
        : allocated ? add(atDriveRoot ? 0 : folder.ownAlloc, givenAlloc, name)
                    : multiply(add(dirClusters, fileClusters, name), qint64(d_.ClusterSize), name);

    d_.FileTotal += fileCount;
    d_.FileSizeTotal = add(d_.FileSizeTotal, fileSize, name);
    d_.AllocTotal = add(d_.AllocTotal, alloc, name);
    FolderTable& t = d_.Folders;
    t.ensure(r);
    t.Parent[size_t(r)] = open_.empty() ? 0 : open_.back().row;
    t.setName(r, name);
    if (r == 0) t.RootNative = std::move(folder.nativeName);
    t.State[size_t(r)] = folder.state;
    t.Id[size_t(r)] = {folder.device, folder.inode};
    t.StateError[size_t(r)] = folder.state == kFolderRead ? 0 : folder.error;
    for (QByteArray& leftOut : folder.leftOut) t.LeftOut.emplace_back(r, std::move(leftOut));
    if (folder.subfolders > 0) t.HasChildren[size_t(r)] = 1;
    open_.push_back({r, fileCount, fileSize, alloc, alloc});
    d_.RowCount = ++records_;
    if (records_ % 128 == 0) {
        // The volume line names the folder being read whenever the window may paint.
        d_.VOLDSP = platform::DisplayName(name);
        letEventsRun();
        // Only here and on leaving: the folder's record is whole when the walk stops.
        if (stopped()) return false;
    }
    return true;
}

bool RowBuilder::leave() {
    close();
    return !stopped();
}

void RowBuilder::closeOpenFolders() {
    FolderTable& t = d_.Folders;
    while (!open_.empty()) {
        // Subfolders that were listed but never reached have no records.
        const int r = open_.back().row;
        t.HasChildren[size_t(r)] = r + 1 < records_ && t.Parent[size_t(r + 1)] == r;
        close();
    }
    d_.FolderTotal = std::max(0, records_ - 1);
}

void RowBuilder::close() {
    const Open o = open_.back();
    open_.pop_back();
    const int r = o.row;
    --d_.Depth;
    FolderTable& t = d_.Folders;
    t.SubtreeTotal[size_t(r)] = o.subtree;
    t.Level[size_t(r)] = d_.Depth;
    t.FileCount[size_t(r)] = o.fileCount;
    t.FileSize[size_t(r)] = o.fileSize;
    t.AllocSize[size_t(r)] = o.alloc;
    t.ShownAlloc[size_t(r)] = o.alloc;
    t.Order[size_t(r)] = r;
    d_.LastSubtreeTotal = o.subtree;
    if (!open_.empty()) {
        Open& parent = open_.back();
        parent.subtree = add(parent.subtree, o.subtree, QStringView());
    }
}

}  // namespace

QString TotalTooLargeText(const QString& shownPath) {
    return shownPath + QStringLiteral(
                           ": 合計が扱える最大の値 (9,223,372,036,854,775,807 バイト) "
                           "を超えたので、その値で示します");
}

qint32 DirectoryClusters(bool root, qint32 fileCount, qint16 dirEntriesPerCluster) {
    if (root) return 0;
    if (fileCount == 0) return 1;
    if (dirEntriesPerCluster <= 0) return 0;
    const qint64 n = (qint64(fileCount) + dirEntriesPerCluster - 1) / dirEntriesPerCluster;
    return n >= 0 && n <= std::numeric_limits<qint16>::max() ? qint32(n) : 0;
}

int WorkerCount(int asked) {
    if (asked >= 0) return std::min(asked, 16);
    // Four readers per core, eight at least: with a cold cache the readers mostly wait for
    // the disk, and more of them keep it busy (on two cores, eight readers read a cold tree
    // in about 0.7 of the time of four); with a warm one the extra readers cost no CPU time.
    // The scan's own thread reads too while it would wait.
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(4 * cores, 8, 16);
}

qint16 DirEntriesPerClusterFor(qint32 clusterSize) {
    return qint16(clusterSize <= 2048 ? clusterSize / 64 - 1 : clusterSize / 64);
}

qint64 FileClusters(qint64 bytes, qint32 clusterSize) {
    if (bytes <= 0 || clusterSize <= 0) return 0;
    return (bytes - 1) / clusterSize + 1;
}

qint16 RowIndentFor(int indentStep, int level) {
    const qint64 v = qint64(indentStep) * level + 2;
    return v >= 0 && v <= std::numeric_limits<qint16>::max() ? qint16(v) : 0;
}

namespace {

void Scan(DriveList& list, const QByteArray& native, bool ok, const QString& path, bool driveRoot) {
    RowBuilder rows(list, native, driveRoot);
    // The records are numbered from 0: no rows stand until the scan is done.
    list.RowCount = 0;
    list.ListRowCount = 0;
    const int depth = list.Depth;
    try {
        // The root's record keeps its whole native path, every other one its own name.
        const WalkResult result =
            WalkFolders(ok ? native : QByteArray(), path, WorkerCount(list.ReadThreads), rows);
        list.RootError = result.rootError;
        if (list.StopAsked && !list.StopFlag) rows.closeOpenFolders();
    } catch (const std::exception& e) {
        // Exhausted memory: reported at once; the tables keep what was filled.
        list.Depth = depth;
        if (list.ReportFailure) list.ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

}  // namespace

void ScanFolder(DriveList& list, const QString& path) {
    bool ok = false;
    const QByteArray native = platform::NativePath(path, &ok);
    Scan(list, native, ok, path, true);
}

void ScanSubtree(DriveList& list, const QByteArray& nativeFolder, const QString& name) {
    Scan(list, nativeFolder, !nativeFolder.isEmpty(), name, false);
}

bool ScanFromSource(DriveList& list, const QString& path, const FolderFeed& source,
                    QString& error) {
    // Nothing below the drive's root is on this machine: no native root.
    RowBuilder rows(list, QByteArray());
    list.RowCount = 0;
    list.ListRowCount = 0;
    const int depth = list.Depth;
    try {
        const bool ok = source(path, rows, error);
        if (list.StopAsked && !list.StopFlag) rows.closeOpenFolders();
        return ok || (list.StopAsked && !list.StopFlag);
    } catch (const std::exception& e) {
        list.Depth = depth;
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

}  // namespace scan
