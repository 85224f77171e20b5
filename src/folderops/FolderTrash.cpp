// The delete command with the trash on: each selected folder is moved to the desktop's trash
// as a whole, after the same checks and questions as a delete.
#include <set>

#include "folderops/FolderOps.h"
#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "platform/DirReader.h"
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
    if (unattended_) {
        log_ += NotTrashedLogLine(path);
        return true;
    }
    return host_.Ask(NotTrashedText(path, reason), kYesNo) == kAnswerYes;
}

// Moves a folder to its drive's trash, or with wholeFolder false only its own files; returns
// false when the run is to stop.
bool FolderOps::TrashFolder(const QString& path, bool wholeFolder, quint64 device) {
    QByteArray native;
    platform::DirEntry self;
    bool carryOn = true;
    if (!StartFolder(path, device, native, self, carryOn)) return carryOn;
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
    int error = 0;
    const platform::TrashPlace trash = platform::FindTrash(native, &error);
    if (!trash.valid()) {
        // Nothing is deleted for good without a person's yes.
        if (unattended_) {
            log_ += NotTrashedLogLine(path);
            return true;
        }
        if (host_.Ask(NoTrashText(path), kYesNo | kSecondDefault) != kAnswerYes) return true;
        return DelFolderIn(path, wholeFolder, device);
    }
    const QString place = platform::ArgFromNative(trash.files());
    if (wholeFolder) {
        if (!platform::MoveToTrash(trash, native, nullptr, &error))
            return NotTrashed(path, platform::ErrorText(error));
        if (!trashPlaces_.contains(place)) trashPlaces_ << place;
        return true;
    }
    std::vector<platform::DirEntry> entries;
    platform::ListDir(native, QStringLiteral("*"), entries);
    for (const platform::DirEntry& e : entries) {
        if (e.isDir) continue;
        if (Cancelled()) break;
        const QString key = u'/' + util::LowerAscii(e.name) + u'/';
        if (QStringView(kSkipList).contains(key)) continue;
        // A file that cannot go stays where it is, as in a delete.
        if (platform::MoveToTrash(trash, native + '/' + e.nativeName) &&
            !trashPlaces_.contains(place)) {
            trashPlaces_ << place;
        }
        Attended();
    }
    return !Cancelled();
}

RunEnd FolderOps::TrashRun() {
    verb_ = VerbOf(kOpDelete);
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    trashPlaces_.clear();
    ListFix fix(list_);
    const platform::DirReader root(Native(DriveRoot()));
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
        stopped = !TrashFolder(RowPath(r), whole, root.rootDevice());
        fix.ClearRowSizes(r, whole);
        if (stopped) break;
        host_.Turn();
        if (!host_.DialogVisible()) break;
        r = whole ? DescendantsEnd(r) : r + 1;
    }
    return EndRemovalRun(stopped, TrashedText(verb_, trashPlaces_), fix);
}

}  // namespace folderops
