#include "folderops/FolderOps.h"

#include <algorithm>

#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "platform/Beep.h"
#include "platform/DirReader.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "util/FileUtil.h"
#include "util/PathUtil.h"
#include "util/TextUtil.h"

namespace folderops {
namespace {

// The root file system's own folders, guarded on drive C: like the Windows folder.
const QStringList kSystemFolders = {
    QStringLiteral("bin"),   QStringLiteral("boot"),   QStringLiteral("dev"),
    QStringLiteral("etc"),   QStringLiteral("lib"),    QStringLiteral("lib32"),
    QStringLiteral("lib64"), QStringLiteral("libx32"), QStringLiteral("proc"),
    QStringLiteral("root"),  QStringLiteral("run"),    QStringLiteral("sbin"),
    QStringLiteral("srv"),   QStringLiteral("sys"),    QStringLiteral("usr"),
    QStringLiteral("var")};

}  // namespace

QByteArray Native(const QString& path) {
    bool ok = false;
    const QByteArray native = platform::NativePath(path, &ok);
    return ok ? platform::NormaliseNative(native) : QByteArray();
}

FolderOps::FolderOps(scan::DriveList& list, OpsHost& host, QByteArray appFolderNative)
    : list_(list), host_(host), appFolder_(std::move(appFolderNative)) {}

// ---- rows ----

int FolderOps::RowCount() const {
    if (!list_.Grid) return 0;
    return std::clamp(std::min(list_.Grid->st.rowCount, list_.Folders.bound()) - 1, 0,
                      list_.Folders.bound());
}

int FolderOps::RecordOf(int row) const {
    return list_.Folders.Order[size_t(row)];
}

int FolderOps::IndentOf(int row) const {
    return list_.Grid->st.rowIndent.at(row);
}

bool FolderOps::Selected(int row) const {
    return list_.Grid->st.selected(row);
}

bool FolderOps::HasDisplayedChildren(int row) const {
    return row + 1 < RowCount() && IndentOf(row + 1) > IndentOf(row);
}

int FolderOps::DescendantsEnd(int row) const {
    int j = row + 1;
    while (j < RowCount() && IndentOf(j) > IndentOf(row)) ++j;
    return j;
}

QString FolderOps::DriveRoot() const {
    return QString(list_.CurrentDrive.toUpper()) + QStringLiteral(":\\");
}

bool FolderOps::IsDriveRoot(const QString& path) const {
    return path.size() <= 3 || Native(path) == Native(DriveRoot());
}

QString FolderOps::RowPath(int row) const {
    const scan::FolderTable& t = list_.Folders;
    const int f = RecordOf(row);
    if (f <= 0 || f >= t.bound()) return DriveRoot();
    QStringList names;
    for (int a = f; a > 0; a = t.Parent[size_t(a)]) {
        names.prepend(platform::NameFromNative(t.NativeName[size_t(a)]));
        if (t.Parent[size_t(a)] >= a) break;
    }
    return DriveRoot() + names.join(u'\\');
}

// ---- shared steps ----

void FolderOps::Attended() {
    if (!unattended_) host_.Turn();
}

void FolderOps::ReadUnattended() {
    unattended_ = host_.Unattended();
}

void FolderOps::RemoveEmptied(const std::vector<std::pair<int, QString>>& removal, ListFix& fix) {
    for (const auto& [row, folder] : removal) {
        const QByteArray native = Native(folder);
        platform::DirEntry e;
        // Only a real, empty folder of this drive goes: never its root, a link or a mount.
        if (!IsDriveRoot(folder) && platform::StatEntry(native, e) && e.isDir && !e.isLink &&
            !platform::IsMountPoint(native)) {
            platform::RemoveDirNative(native);
        }
        fix.ClearRowSizes(row, false);
        Attended();
    }
}

bool FolderOps::Cancelled() {
    return host_.EndCode() != 0;
}

bool FolderOps::CheckSelection(int operation) {
    const QString verb = VerbOf(operation);
    const bool move = verb.contains(u'移');
    const scan::FolderTable& t = list_.Folders;
    const int rows = RowCount();
    for (int i = 0; i < rows;) {
        if (!Selected(i)) {
            ++i;
            continue;
        }
        const int f = RecordOf(i);
        const QString path = RowPath(i);
        const QString name = f == 0 ? path : util::GetFileName(path);
        if (IndentOf(i) <= 20) {
            const bool windows = util::UpperAscii(name.left(3)) == QStringLiteral("WIN") &&
                                 (util::FileExist(path + QStringLiteral("\\WIN*.EXE")) ||
                                  util::FileExist(path + QStringLiteral("\\*.DLL")));
            const bool system = list_.CurrentDrive.toUpper() == u'C' && f > 0 &&
                                t.Level[size_t(f)] == 1 && kSystemFolders.contains(name);
            if (windows || system) {
                if (move) {
                    host_.Ask(SystemFolderText(name, verb, true, windows), kOk);
                    return false;
                }
                if (host_.Ask(SystemFolderText(name, verb, false, windows), kYesNo) != kAnswerYes)
                    return false;
            }
            if (util::UpperAscii(name) == QStringLiteral("RECYCLED")) {
                host_.Ask(RecycleBinText(verb), kOk);
                return false;
            }
        }
        int next = i + 1;
        if (f >= 0 && f < t.bound() && t.HasChildren[size_t(f)]) {
            const int end = DescendantsEnd(i);
            QString lines;
            int missing = 0;
            for (int j = i + 1; j < end; ++j) {
                if (Selected(j)) continue;
                if (++missing <= 5) {
                    lines += QStringLiteral("　・") +
                             platform::DisplayName(util::GetFileName(RowPath(j))) + u'|';
                }
            }
            if (missing > 5) lines += QStringLiteral("…（その他）|");
            if (missing > 0 && host_.Ask(UnselectedSubfoldersText(name, verb, lines),
                                         kYesNo | kSecondDefault) != kAnswerYes) {
                return false;
            }
            next = end;
        }
        i = next;
    }
    return true;
}

bool FolderOps::ConfirmRun(const QString& verb, const QString& drive, const QString& example) {
    if (host_.Ask(ConfirmText(verb, drive, example), kOkCancel | kSecondDefault) != kAnswerOk)
        return false;
    if (QStringLiteral("削除移動").contains(verb)) {
        const bool trash = useTrash_ && verb == VerbOf(kOpDelete);
        return host_.Ask(trash ? ConfirmTrashText(verb) : ConfirmAgainText(verb),
                         kYesNo | kSecondDefault) == kAnswerYes;
    }
    return true;
}

bool FolderOps::Refuse(const QString& path, bool otherFileSystem) {
    if (unattended_) {
        log_ += otherFileSystem ? OtherFileSystemLogLine(path) : NotDeletedLogLine(path);
        return true;
    }
    const QString text =
        otherFileSystem ? OtherFileSystemText(path, verb_) : CannotDeleteText(path);
    return host_.Ask(text, kYesNo) == kAnswerYes;
}

void FolderOps::WriteLog() {
    const QByteArray native = appFolder_ + "/temp.txt";
    platform::ReplacingFile file;
    if (file.open(native) && file.write(log_.toUtf8()) && file.commit()) {
        host_.OpenFile(native);
        return;
    }
    const int error = file.error();
    host_.Ask(LogNotWrittenText(platform::NameFromNative(native), platform::ErrorText(error)), kOk);
}

// ---- deletion ----

RunEnd FolderOps::DeleteCommand() {
    if (host_.DialogVisible()) {
        platform::Beep();
        return RunEnd::NotStarted;
    }
    if (!CheckSelection(kOpDelete)) return RunEnd::NotStarted;
    if (!ConfirmRun(VerbOf(kOpDelete), {}, {})) return RunEnd::NotStarted;
    return useTrash_ ? TrashRun() : DeleteRun();
}

bool FolderOps::DelFolder(const QString& path, bool wholeFolder) {
    const platform::DirReader root(Native(DriveRoot()));
    return DelFolderIn(path, wholeFolder, root.rootDevice());
}

bool FolderOps::StartFolder(const QString& path, quint64 device, QByteArray& native,
                            platform::DirEntry& self, bool& carryOn) {
    ReadUnattended();
    host_.SetTitle(platform::DisplayName(util::GetFileName(path)) + u' ' + verb_ +
                   QStringLiteral("中"));
    host_.Turn();
    native = Native(path);
    carryOn = true;
    if (native.isEmpty() || !platform::StatEntry(native, self)) return false;  // gone already
    if (IsDriveRoot(path)) return true;
    // A link, or another file system, where a folder of this drive stood: not entered.
    if (self.isLink || !self.isDir) {
        carryOn = Refuse(path, false);
        return false;
    }
    if (self.device != device || platform::IsMountPoint(native)) {
        carryOn = Refuse(path, true);
        return false;
    }
    return true;
}

bool FolderOps::DelFolderIn(const QString& path, bool wholeFolder, quint64 device) {
    QByteArray native;
    platform::DirEntry self;
    bool carryOn = true;
    if (!StartFolder(path, device, native, self, carryOn)) return carryOn;
    const bool root = IsDriveRoot(path);
    std::vector<platform::DirEntry> entries;
    platform::ListDir(native, QStringLiteral("*"), entries);
    for (const platform::DirEntry& e : entries) {
        if (e.isDir) continue;
        if (Cancelled()) break;
        const QString key = u'/' + util::LowerAscii(e.name) + u'/';
        if (QStringView(kSkipList).contains(key)) continue;
        // A link is removed itself, never what it points to.
        const QByteArray file = native + '/' + e.nativeName;
        if (!platform::DeleteFileNative(file)) {
            platform::SetAttributesNormal(file);
            platform::DeleteFileNative(file);
        }
        Attended();
    }
    if (Cancelled()) return false;
    if (!wholeFolder) return true;
    for (const platform::DirEntry& e : entries) {
        if (!e.isDir) continue;
        const QString child = path.endsWith(u'\\') ? path + e.name : path + u'\\' + e.name;
        if (!DelFolderIn(child, true, self.device)) return false;
    }
    // The drive's root folder stays, whatever the drive is.
    if (root) return true;
    platform::RemoveDirNative(native);
    Attended();
    if (!platform::StatEntry(native, self)) return true;
    return Refuse(path, false);
}

RunEnd FolderOps::DeleteRun() {
    verb_ = VerbOf(kOpDelete);
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    ListFix fix(list_);
    bool stopped = false;
    const int rows = RowCount();
    for (int r = 0; r < rows && !stopped;) {
        if (!Selected(r)) {
            ++r;
            continue;
        }
        const QString path = RowPath(r);
        int next = r + 1;
        if (!HasDisplayedChildren(r) && RecordOf(r) != 0) {
            stopped = !DelFolder(path, true);
            fix.ClearRowSizes(r, true);
        } else {
            // Its files, those of its selected displayed descendants, then the emptied
            // folders from the deepest up.
            const int end = DescendantsEnd(r);
            std::vector<std::pair<int, QString>> removal{{r, path}};
            stopped = !DelFolder(path, false);
            for (int j = r + 1; j < end && !stopped; ++j) {
                if (!Selected(j)) continue;
                const QString sub = RowPath(j);
                stopped = !DelFolder(sub, false);
                removal.insert(removal.begin(), {j, sub});
            }
            if (stopped) {
                fix.ClearRowSizes(r, true);  // what did go is gone from the list too
                break;
            }
            Attended();
            RemoveEmptied(removal, fix);
            next = end;
        }
        if (stopped) break;
        host_.Turn();
        if (!host_.DialogVisible()) break;
        r = next;
    }
    return EndRemovalRun(stopped, FinishedText(verb_), fix);
}

RunEnd FolderOps::EndRemovalRun(bool stopped, const QString& finished, ListFix& fix) {
    RunEnd result = RunEnd::Stopped;
    if (Cancelled()) {
        result = RunEnd::Cancelled;
    } else if (!stopped) {
        host_.HideDialog();
        if (!log_.isEmpty()) WriteLog();
        host_.Ask(finished, kOk);
        result = RunEnd::Finished;
    }
    host_.EndRun();
    fix.Finish();
    host_.AfterRun();
    return result;
}

}  // namespace folderops
