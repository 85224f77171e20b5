#include "folderops/FolderOps.h"
#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "platform/Beep.h"
#include "platform/DirReader.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "util/FileUtil.h"
#include "util/PathUtil.h"
#include "util/TextUtil.h"

namespace folderops {
namespace {

QString Child(const QString& path, const QString& name) {
    return path.endsWith(u'\\') ? path + name : path + u'\\' + name;
}

bool SameEntry(const platform::DirEntry& a, const platform::DirEntry& b) {
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace

QString FolderOps::CheckDest(int operation, const QString& destination, const QString& destFree) {
    const QString verb = VerbOf(operation);
    if (destination.isEmpty() || destination.at(0).toUpper() == list_.CurrentDrive.toUpper()) {
        host_.Ask(ChooseDestinationText(verb), kOk);
        return {};
    }
    const QString free = destFree.trimmed();
    if (free.isEmpty()) {
        host_.Ask(InsertMediumText(destination), kOk);
        return {};
    }
    if (free.startsWith(u'-')) {
        host_.Ask(NoRoomText(destination), kOk);
        return {};
    }
    return destination;
}

RunEnd FolderOps::CopyCommand(const QString& destination, const QString& destFree) {
    if (host_.DialogVisible()) {
        platform::Beep();
        return RunEnd::NotStarted;
    }
    const QString drive = CheckDest(kOpCopy, destination, destFree);
    if (drive.isEmpty() || !CheckSelection(kOpCopy)) return RunEnd::NotStarted;
    int first = 0;
    while (first < RowCount() && !Selected(first)) ++first;
    if (first >= RowCount()) return RunEnd::NotStarted;
    if (!ConfirmRun(VerbOf(kOpCopy), drive, RowPath(first))) return RunEnd::NotStarted;
    return CopyRun(VerbOf(kOpCopy), drive);
}

RunEnd FolderOps::MoveCommand(const QString& destination, const QString& destFree) {
    if (host_.DialogVisible()) {
        platform::Beep();
        return RunEnd::NotStarted;
    }
    const QString drive = CheckDest(kOpMove, destination, destFree);
    if (drive.isEmpty() || !CheckSelection(kOpMove)) return RunEnd::NotStarted;
    int first = 0;
    while (first < RowCount() && !Selected(first)) ++first;
    if (first >= RowCount()) return RunEnd::NotStarted;
    if (!ConfirmRun(VerbOf(kOpMove), drive, RowPath(first))) return RunEnd::NotStarted;
    return CopyRun(VerbOf(kOpMove), drive);
}

RunEnd FolderOps::CopyRun(const QString& verb, const QString& drive) {
    verb_ = verb;
    const bool move = verb == VerbOf(kOpMove);
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    written_.clear();
    ListFix fix(list_);
    const QString dest = drive.left(2);
    auto target = [&](const QString& source) { return dest + source.mid(2); };
    bool stopped = false;
    const int rows = RowCount();
    for (int c = 0; c < rows;) {
        if (!Selected(c)) {
            ++c;
            continue;
        }
        const QString source = RowPath(c);
        const QString to = target(source);
        if (!unattended_ && to.size() > 3 && util::DirExist(to) &&
            host_.Ask(FolderExistsText(dest, to), kYesNo | kSecondDefault) != kAnswerYes) {
            stopped = true;
            break;
        }
        int next = c + 1;
        if (!HasDisplayedChildren(c) && RecordOf(c) != 0) {
            stopped = !CopyFolder(source, to, true, move);
            if (move) fix.ClearRowSizes(c, true);
        } else {
            const int end = DescendantsEnd(c);
            std::vector<std::pair<int, QString>> removal{{c, source}};
            stopped = !CopyFolder(source, to, false, move);
            for (int b = c + 1; b < end && !stopped; ++b) {
                if (!Selected(b)) continue;
                const QString sub = RowPath(b);
                stopped = !CopyFolder(sub, target(sub), false, move);
                removal.insert(removal.begin(), {b, sub});
            }
            if (move && stopped) fix.ClearRowSizes(c, true);
            if (move && !stopped) {
                RemoveEmptied(removal, fix);
            }
            next = end;
        }
        if (stopped) break;
        host_.Turn();
        if (!host_.DialogVisible()) break;
        c = next;
    }
    // A copy flushes its new files once, here; a move flushed each before deleting its source.
    int syncError = 0;
    const bool synced = move || platform::SyncFileSystem(Native(dest + u'\\'), &syncError);
    RunEnd result = RunEnd::Stopped;
    if (!synced) {
        host_.Ask(LogNotWrittenText(dest + u'\\', platform::ErrorText(syncError)), kOk);
    } else if (Cancelled()) {
        result = RunEnd::Cancelled;
    } else if (!stopped) {
        host_.HideDialog();
        if (!log_.isEmpty()) WriteLog();
        host_.Ask(FinishedText(verb_), kOk);
        result = RunEnd::Finished;
    }
    host_.EndRun();
    if (move) {
        fix.Finish();
        host_.AfterRun();
    }
    return result;
}

bool FolderOps::CopyFolder(const QString& source, const QString& target, bool wholeFolder,
                           bool move) {
    const platform::DirReader root(Native(DriveRoot()));
    return CopyFolderIn(source, target, wholeFolder, move, root.rootDevice());
}

bool FolderOps::CopyFolderIn(const QString& source, const QString& target, bool wholeFolder,
                             bool move, quint64 device) {
    ReadUnattended();
    host_.SetTitle(platform::DisplayName(util::GetFileName(source)) + u' ' + verb_ +
                   QStringLiteral("中"));
    host_.Turn();
    const QByteArray from = Native(source);
    platform::DirEntry self;
    if (from.isEmpty() || !platform::StatEntry(from, self)) return true;  // gone already
    const bool root = IsDriveRoot(source);
    if (!root &&
        (self.isLink || !self.isDir || self.device != device || platform::IsMountPoint(from))) {
        if (unattended_) {
            log_ += OtherFileSystemLogLine(source);
            return true;
        }
        return host_.Ask(OtherFileSystemText(source, verb_), kYesNo) == kAnswerYes;
    }
    // A folder this run has written (a destination inside the source): never copied again.
    if (written_.count({self.device, self.inode})) return true;

    const QByteArray to = Native(target);
    platform::DirEntry made;
    if (!platform::StatEntry(to, made)) {
        util::MakeDirs(target);
        Attended();
    }
    if (to.isEmpty() || !platform::StatEntry(to, made) || !made.isDir || made.isLink) {
        if (unattended_) {
            log_ += NotCreatedLogLine(target);
            return true;
        }
        return host_.Ask(CannotCreateText(target), kYesNo) == kAnswerYes;
    }
    written_.insert({made.device, made.inode});
    // The same folder reached through another drive: nothing to copy, nothing to remove.
    if (SameEntry(made, self)) return true;

    bool kept = false;
    std::vector<platform::DirEntry> entries;
    platform::ListDir(from, QStringLiteral("*"), entries);
    for (const platform::DirEntry& n : entries) {
        if (n.isDir) continue;
        if (Cancelled()) break;
        const QString key = u'/' + util::LowerAscii(n.name) + u'/';
        if (QStringView(kSkipList).contains(key)) continue;
        const QByteArray sf = from + '/' + n.nativeName;
        const QByteArray tf = to + '/' + n.nativeName;
        const QString sourceFile = Child(source, n.name);
        const QString targetFile = Child(target, n.name);
        platform::DirEntry old;
        bool copy = true;
        if (platform::StatEntry(tf, old) && !old.isDir) {
            if (SameEntry(old, n)) continue;  // one file under two names: leave both
            if (old.mtime == n.mtime) {
                copy = move || old.size != n.size;
            } else if (old.mtime > n.mtime && !unattended_) {
                if (old.size == 0 || n.size == 0) {
                    copy = old.size == 0 && n.size == 0;
                } else {
                    const int answer = host_.Ask(
                        OverwriteText(target, n.name, sourceFile, n.mtime, targetFile, old.mtime),
                        kYesNoCancel | kSecondDefault);
                    if (answer != kAnswerYes && answer != kAnswerNo) return false;
                    copy = answer == kAnswerYes;
                }
            }
        }
        if (copy) {
            int error = 0;
            const bool done = n.isLink ? platform::CopyLinkNative(sf, tf, &error)
                                       : platform::CopyFileNative(sf, tf, &error, !move);
            if (!done) {
                kept = true;
                if (unattended_) {
                    log_ += NotCopiedLogLine(targetFile);
                    continue;
                }
                host_.CopyFailed(util::CopyFailureText(error, platform::DisplayName(targetFile)));
                if (host_.Ask(NotCopiedText(targetFile, sourceFile, verb_, move), kYesNo) !=
                    kAnswerYes) {
                    return false;
                }
                continue;
            }
        }
        // The source goes once its copy is in place, or the destination's copy was kept.
        if (move && !platform::DeleteFileNative(sf)) {
            platform::SetAttributesNormal(sf);
            platform::DeleteFileNative(sf);
        }
        Attended();
    }
    if (Cancelled()) return false;
    if (wholeFolder) {
        for (const platform::DirEntry& d : entries) {
            if (!d.isDir) continue;
            if (!CopyFolderIn(Child(source, d.name), Child(target, d.name), true, move,
                              self.device)) {
                return false;
            }
            Attended();
        }
    }
    if (!move || !wholeFolder || kept || root) return true;
    platform::RemoveDirNative(from);
    Attended();
    if (!platform::StatEntry(from, self)) return true;
    if (unattended_) {
        log_ += SourceNotRemovedLogLine(source);
        return true;
    }
    return host_.Ask(SourceNotRemovedText(source, verb_), kYesNo) == kAnswerYes;
}

}  // namespace folderops
