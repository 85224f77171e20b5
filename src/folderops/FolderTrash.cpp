// The delete command with the trash on: each selected folder is moved to the desktop's trash
// as a whole, after the same checks and questions as a delete.
#include <cerrno>
#include <set>

#include "folderops/FolderOps.h"
#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "folderops/RecordChain.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/Trash.h"
#include "util/PathUtil.h"
#include "util/TextUtil.h"

namespace folderops {
bool FolderOps::HasUnselectedDescendant(int row) const {
    const int end = DescendantsEnd(row);
    for (int j = row + 1; j < end; ++j)
        if (!Selected(j)) return true;
    return false;
}

bool FolderOps::NotTrashed(const QString& path, const QString& reason) {
    return Report(NotTrashedText(path, reason), NotTrashedLogLine(path));
}

// Moves the folder of a row to its drive's trash, or with wholeFolder false only its own
// files; returns false when the run is to stop.
bool FolderOps::TrashSelected(RecordChain& chain, int row, bool wholeFolder) {
    const QString path = RowPath(row);
    const int f = RecordOf(row);
    const LeftMark mark(*this, f);
    bool carryOn = true;
    if (!StartFolder(chain, f, path, carryOn)) return carryOn;
    int error = 0;
    const platform::Identity self = chain.Chain().Id();
    const QByteArray native = platform::PathOfDescriptor(chain.Chain().Fd());
    // The trash records where a folder was: a path the system cannot name (past its length
    // limit, or gone meanwhile) cannot be recorded.
    if (native.isEmpty()) return NotTrashed(path, platform::ErrorText(ENAMETOOLONG));
    if (wholeFolder) {
        // The rename would carry a mount along with its folder.
        bool ok = false;
        const QByteArray mount = platform::MountBelow(native, &ok);
        if (!ok || !mount.isEmpty()) {
            const QString where = platform::DrivePath(mount);
            return NotTrashed(
                path, QStringLiteral("別のファイル・システム ") +
                          platform::DisplayName(where.isEmpty() ? platform::ArgFromNative(mount)
                                                                : where) +
                          QStringLiteral(" がフォルダー内にあります"));
        }
    }
    // Found from the folder itself: its own file system's trash, reached without a path.
    const platform::TrashPlace trash = platform::FindTrashAt(chain.Chain().Fd(), &error);
    if (!trash.valid()) {
        // Nothing is deleted for good without a person's yes.
        if (unattended_) {
            ++left_;
            log_ += NotTrashedLogLine(path);
            return true;
        }
        // No: kept by the user's own choice, and it stays.
        if (host_.Ask(NoTrashText(path), kYesNo | kSecondDefault) != kAnswerYes) {
            ++left_;
            return true;
        }
        return DeleteSelected(chain, row, wholeFolder);
    }
    const QString place = platform::ArgFromNative(trash.files());
    if (wholeFolder) {
        if (!chain.OpenParent(f, &error)) return Unopened(path, error).carryOn;
        if (!platform::MoveToTrashAt(trash, chain.Chain().Fd(), list_.Folders.native(f), native,
                                     &self, nullptr, &error)) {
            return NotTrashed(path, platform::ErrorText(error));
        }
        if (!trashPlaces_.contains(place)) trashPlaces_ << place;
        return true;
    }
    std::vector<platform::DirEntry> entries;
    if (!platform::ListAt(chain.Chain().Fd(), entries, &error))
        return Unopened(path, error).carryOn;
    int failed = 0, firstError = 0;
    for (const platform::DirEntry& e : entries) {
        if (e.isDir) continue;
        if (Cancelled()) break;
        if (Skipped(e.name)) continue;
        const platform::Identity id{e.device, e.inode};
        if (platform::MoveToTrashAt(trash, chain.Chain().Fd(), e.nativeName,
                                    native + '/' + e.nativeName, &id, nullptr, &error)) {
            if (!trashPlaces_.contains(place)) trashPlaces_ << place;
        } else if (error != ENOENT) {
            if (failed++ == 0) firstError = error;
            if (unattended_)
                log_ += FileNotRemovedLogLine(Child(path, e.name), platform::ErrorText(firstError));
        }
        Attended();
    }
    if (failed > 0) {
        left_ += failed - 1;
        if (!Report(FilesNotRemovedText(path, failed, platform::ErrorText(firstError), verb_), {}))
            return false;
    }
    return !Cancelled();
}

RunEnd FolderOps::TrashRun() {
    op_ = Operation::Delete;
    verb_ = VerbOf(op_);
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    left_ = 0;
    leftRecords_.clear();
    lostShown_ = false;
    trashPlaces_.clear();
    ListFix fix(list_);
    RecordChain chain(list_.Folders, true);
    bool stopped = false;
    const int rows = RowCount();
    for (int r = 0; r < rows && !stopped;) {
        if (!Selected(r)) {
            ++r;
            continue;
        }
        // A folder goes whole when nothing shown below it stays; else its own files go, and
        // its selected descendants follow as rows of their own.
        const bool whole = RecordOf(r) != 0 && !HasUnselectedDescendant(r);
        stopped = !TrashSelected(chain, r, whole);
        fix.ClearRowSizes(r, whole);
        if (stopped) break;
        host_.Turn();
        if (!host_.DialogVisible()) break;
        r = whole ? DescendantsEnd(r) : r + 1;
    }
    return EndRemovalRun(stopped, TrashedText(verb_, trashPlaces_), fix);
}

}  // namespace folderops
