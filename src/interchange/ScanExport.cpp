#include "interchange/ScanExport.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/DirReader.h"
#include "platform/DriveCatalog.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FolderScan.h"
#include "scan/FolderStates.h"

namespace interchange {

ScanExport::ScanExport(JsonStream& out, const ExportFigures& figures) : out_(out), fig_(figures) {}

void ScanExport::begin(const QByteArray& programVersion, qint64 timestamp) {
    out_.raw("[1,2,{\"progname\":\"foldex\",\"progver\":")
        .string(programVersion)
        .raw(",\"timestamp\":")
        .number(timestamp)
        .raw("},\n");
}

// Sums that would pass 2^63 stay at the largest figure, and the export says so once.
qint64 ScanExport::add(qint64 a, qint64 b) {
    qint64 sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    overflow();
    return std::numeric_limits<qint64>::max();
}

qint64 ScanExport::clusterBytes(qint64 clusters) {
    qint64 bytes;
    if (!__builtin_mul_overflow(clusters, qint64(fig_.clusterSize), &bytes)) return bytes;
    overflow();
    return std::numeric_limits<qint64>::max();
}

void ScanExport::overflow() {
    if (overflowSeen_) return;
    overflowSeen_ = true;
    if (ReportFailure)
        ReportFailure(
            scan::TotalTooLargeText(platform::DisplayName(platform::ArgFromNative(currentPath()))));
}

// A folder that failed because the device went away: the export is not the drive's.
void ScanExport::noteDeviceGone(int error) {
    if (deviceGoneSeen_ || !platform::DeviceGone(error)) return;
    platform::DriveSpace space;
    if (fig_.letter >= 0 && platform::ReadDriveSpace(fig_.letter, space)) return;
    deviceGoneSeen_ = true;
    if (ReportFailure) ReportFailure(platform::ErrorText(error));
}

QByteArray ScanExport::currentPath() const {
    QByteArray path;
    for (const QByteArray& name : path_) {
        if (!path.isEmpty() && !path.endsWith('/')) path += '/';
        path += name;
    }
    return path;
}

bool ScanExport::enter(scan::WalkedFolder& folder) {
    const bool root = path_.empty();
    path_.push_back(folder.nativeName);
    if (ShowProgress) ShowProgress(folder.name);
    if (!root) out_.raw(",\n");
    ++folders_;

    const qint32 count =
        qint32(std::min<size_t>(folder.files.size(), size_t(std::numeric_limits<qint32>::max())));
    const qint64 dirBytes =
        root ? 0
        : fig_.allocated
            ? folder.ownAlloc
            : clusterBytes(scan::DirectoryClusters(root, count, fig_.dirEntriesPerCluster));
    allocBytes_ = add(allocBytes_, dirBytes);
    out_.raw("[{\"name\":").string(folder.nativeName);
    out_.raw(",\"asize\":0,\"dsize\":").number(dirBytes);
    if (folder.inode != 0) out_.raw(",\"ino\":").number(folder.inode);
    if (root) out_.raw(",\"dev\":").number(folder.device);
    switch (folder.state) {
        case scan::kFolderRead:
            break;
        case scan::kFolderNotEntered:
            // A mount point or another file system: listed, not walked. A folder that is
            // one of its own ancestors is simply left empty.
            if (folder.error == EXDEV) out_.raw(",\"excluded\":\"otherfs\"");
            break;
        default:
            out_.raw(",\"read_error\":true");
            noteDeviceGone(folder.error);
            unreadable_ << QStringLiteral("読み取れません: ") +
                               platform::DisplayName(platform::ArgFromNative(currentPath())) +
                               QStringLiteral(" (") + platform::ErrorText(folder.error) + u')';
    }
    out_.raw("}");
    if (!folder.leftOut.empty()) {
        const QByteArray here = currentPath();
        for (const QByteArray& name : folder.leftOut)
            unreadable_ << scan::LeftOutLine(here.endsWith('/') ? here + name : here + '/' + name);
    }

    const bool holdsOwnFile = !leaveOutName_.isEmpty() && leaveOutFolder_.known() &&
                              leaveOutFolder_ == platform::Identity{folder.device, folder.inode};
    qint32 ownFiles = 0;
    qint64 ownBytes = 0;
    qint64 ownAlloc = dirBytes;
    for (const platform::FileDetail& f : folder.files) {
        if (holdsOwnFile && f.nativeName == leaveOutName_) continue;
        const qint64 dsize = fig_.allocated
                                 ? f.allocated
                                 : clusterBytes(scan::FileClusters(f.size, fig_.clusterSize));
        out_.raw(",\n{\"name\":").string(f.nativeName);
        out_.raw(",\"asize\":").number(f.size).raw(",\"dsize\":").number(dsize);
        if (f.inode != 0) out_.raw(",\"ino\":").number(f.inode);
        if (f.links > 1) out_.raw(",\"hlnkc\":true,\"nlink\":").number(quint64(f.links));
        if (!f.regular) out_.raw(",\"notreg\":true");
        if (!f.examined) out_.raw(",\"read_error\":true");
        out_.raw("}");
        ++files_;
        ++ownFiles;
        fileBytes_ = add(fileBytes_, f.size);
        ownBytes = add(ownBytes, f.size);
        // A file with other names takes its room once in the total, as in the list; each
        // name keeps its dsize, and readers count the inode once.
        if (f.links <= 1 || linkedSeen_.insert(f.inode).second) {
            allocBytes_ = add(allocBytes_, dsize);
            ownAlloc = add(ownAlloc, dsize);
        }
    }
    if (figures_) {
        figures_->add(figurePath_.empty() ? -1 : figurePath_.back(), folder.name, ownFiles,
                      ownBytes, ownAlloc);
        figurePath_.push_back(qint32(figures_->size() - 1));
    }
    folder.files = {};
    folder.fileSizes = {};
    return !out_.failed();
}

bool ScanExport::leave() {
    path_.pop_back();
    if (!figurePath_.empty()) figurePath_.pop_back();
    out_.raw("]");
    return !out_.failed();
}

bool ScanExport::end() {
    // A walk that was stopped leaves folders open; the file still closes them.
    while (!path_.empty()) leave();
    out_.raw("]\n");
    return out_.flush();
}

}  // namespace interchange
