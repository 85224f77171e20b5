#include <cerrno>

#include "folderops/FolderOps.h"
#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "folderops/RecordChain.h"
#include "platform/Beep.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "util/FileUtil.h"
#include "util/TextUtil.h"

namespace folderops {
namespace {

bool SameEntry(const platform::DirEntry& a, const platform::DirEntry& b) {
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace

QString FolderOps::CheckDest(Operation operation, const QString& destination,
                             std::optional<qint64> roomLeft) {
    const QString verb = VerbOf(operation);
    if (destination.isEmpty() || destination.at(0).toUpper() == list_.CurrentDrive.toUpper()) {
        host_.Ask(ChooseDestinationText(verb), kOk);
        return {};
    }
    if (!roomLeft) {
        host_.Ask(InsertMediumText(destination), kOk);
        return {};
    }
    if (*roomLeft < 0) {
        host_.Ask(NoRoomText(destination), kOk);
        return {};
    }
    return destination;
}

RunEnd FolderOps::CopyCommand(const QString& destination, std::optional<qint64> roomLeft) {
    if (host_.DialogVisible()) {
        platform::Beep();
        return RunEnd::NotStarted;
    }
    const QString drive = CheckDest(kOpCopy, destination, roomLeft);
    if (drive.isEmpty() || !CheckSelection(kOpCopy)) return RunEnd::NotStarted;
    int first = 0;
    while (first < RowCount() && !Selected(first)) ++first;
    if (first >= RowCount()) return RunEnd::NotStarted;
    if (!ConfirmRun(kOpCopy, drive, RowPath(first))) return RunEnd::NotStarted;
    return CopyRun(kOpCopy, drive);
}

RunEnd FolderOps::MoveCommand(const QString& destination, std::optional<qint64> roomLeft) {
    if (host_.DialogVisible()) {
        platform::Beep();
        return RunEnd::NotStarted;
    }
    const QString drive = CheckDest(kOpMove, destination, roomLeft);
    if (drive.isEmpty() || !CheckSelection(kOpMove)) return RunEnd::NotStarted;
    int first = 0;
    while (first < RowCount() && !Selected(first)) ++first;
    if (first >= RowCount()) return RunEnd::NotStarted;
    if (!ConfirmRun(kOpMove, drive, RowPath(first))) return RunEnd::NotStarted;
    return CopyRun(kOpMove, drive);
}

bool FolderOps::OpenTarget(platform::FolderChain& to, int f, bool make, int* error) {
    const scan::FolderTable& t = list_.Folders;
    std::vector<int> way;
    for (int a = f; a > 0; a = t.Parent[size_t(a)]) way.push_back(a);
    if (!to.OpenRoot(destRoot_, nullptr, error)) return false;
    for (auto it = way.rbegin(); it != way.rend(); ++it) {
        const QByteArray name = t.native(*it);
        int e = 0;
        // Made where missing, then opened as any folder: never through a link, never onto
        // another mount.
        if (!to.Enter(name, nullptr, &e) &&
            (e != ENOENT || !make || (!platform::MakeDirAt(to.Fd(), name, &e) && e != EEXIST) ||
             !to.Enter(name, nullptr, &e))) {
            if (error) *error = e;
            return false;
        }
    }
    return true;
}

RunEnd FolderOps::CopyRun(Operation operation, const QString& drive) {
    op_ = operation;
    verb_ = VerbOf(operation);
    const bool move = operation == Operation::Move;
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    written_.clear();
    left_ = 0;
    leftRecords_.clear();
    lostShown_ = false;
    ListFix fix(list_);
    RecordChain chain(list_.Folders, true);
    dest_ = drive.left(2);
    destRoot_ = Native(dest_ + u'\\');
    bool stopped = false;
    const int rows = RowCount();
    for (int c = 0; c < rows;) {
        if (!Selected(c)) {
            ++c;
            continue;
        }
        const QString to = dest_ + RowPath(c).mid(2);
        platform::FolderChain there;
        if (!unattended_ && RecordOf(c) != 0 && OpenTarget(there, RecordOf(c), false, nullptr) &&
            host_.Ask(FolderExistsText(dest_, to), kYesNo | kSecondDefault) != kAnswerYes) {
            stopped = true;
            break;
        }
        there.Reset();
        int next = c + 1;
        if (!HasDisplayedChildren(c) && RecordOf(c) != 0) {
            stopped = !CopySelected(chain, c, true, move);
            if (move) fix.ClearRowSizes(c, true);
        } else {
            const int end = DescendantsEnd(c);
            std::vector<int> removal{c};
            stopped = !CopySelected(chain, c, false, move);
            for (int b = c + 1; b < end && !stopped; ++b) {
                if (!Selected(b)) continue;
                stopped = !CopySelected(chain, b, false, move);
                removal.insert(removal.begin(), b);
            }
            if (move && stopped) fix.ClearRowSizes(c, true);
            if (move && !stopped) RemoveEmptied(chain, removal, fix);
            next = end;
        }
        if (stopped) break;
        host_.Turn();
        if (!host_.DialogVisible()) break;
        c = next;
    }
    // A copy flushes its new files once, here; a move flushed each before deleting its source.
    int syncError = 0;
    const bool synced = move || platform::SyncFileSystem(destRoot_, &syncError);
    RunEnd result = RunEnd::Stopped;
    if (!synced) {
        host_.Ask(LogNotWrittenText(dest_ + u'\\', platform::ErrorText(syncError)), kOk);
    } else if (Cancelled()) {
        result = RunEnd::Cancelled;
    } else if (!stopped) {
        host_.HideDialog();
        if (!log_.isEmpty()) WriteLog();
        host_.Ask(Closing(FinishedText(verb_)), kOk);
        result = RunEnd::Finished;
    }
    host_.EndRun();
    if (move) {
        fix.Finish();
        host_.AfterRun();
    }
    return result;
}

bool FolderOps::CopySelected(RecordChain& chain, int row, bool wholeFolder, bool move) {
    const QString source = RowPath(row);
    const QString target = dest_ + source.mid(2);
    const int f = RecordOf(row);
    const LeftMark mark(*this, f);
    bool carryOn = true;
    if (!StartFolder(chain, f, source, carryOn)) return carryOn;
    int error = 0;
    const platform::Identity self = chain.Chain().Id();
    // A folder this run has written (a destination inside the source): never copied again.
    if (written_.count({self.device, self.inode})) return true;
    platform::FolderChain to;
    if (!OpenTarget(to, f, true, &error)) {
        return Report(CannotCreateText(target), NotCreatedLogLine(target));
    }
    Attended();
    written_.insert({to.Id().device, to.Id().inode});
    // The same folder reached through another drive: nothing to copy, nothing to remove.
    if (to.Id() == self) return true;
    wholeFolder = wholeFolder && f != 0;
    const Step inside = CopyInside(chain.Chain(), to, source, target, wholeFolder, move);
    if (!chain.Chain().valid()) return inside.carryOn;
    if (!inside.carryOn || !move || !wholeFolder || inside.left) return inside.carryOn;
    if (!chain.OpenParent(f, &error)) return Unopened(source, error).carryOn;
    if (!platform::RemoveDirAt(chain.Chain().Fd(), list_.Folders.native(f), &self, &error) &&
        error != ENOENT) {
        return Report(SourceNotRemovedText(source, verb_), SourceNotRemovedLogLine(source));
    }
    Attended();
    return true;
}

FolderOps::Step FolderOps::CopyInside(platform::FolderChain& from, platform::FolderChain& to,
                                      const QString& source, const QString& target,
                                      bool wholeFolder, bool move) {
    Step step;
    std::vector<platform::DirEntry> entries;
    int error = 0;
    if (!platform::ListAt(from.Fd(), entries, &error)) return Unopened(source, error);
    for (const platform::DirEntry& n : entries) {
        if (n.isDir) continue;
        if (Cancelled()) break;
        if (Skipped(n.name)) continue;
        const QString sourceFile = Child(source, n.name);
        const QString targetFile = Child(target, n.name);
        platform::DirEntry old;
        bool copy = true;
        bool keptByUser = false;
        if (platform::StatAt(to.Fd(), n.nativeName, old) && !old.isDir) {
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
                    if (answer != kAnswerYes && answer != kAnswerNo) return {false, true};
                    copy = answer == kAnswerYes;
                    keptByUser = !copy;
                }
            }
        }
        platform::Identity copied{n.device, n.inode};
        if (copy) {
            const bool done = n.isLink ? platform::CopyLinkAt(from.Fd(), n.nativeName, to.Fd(),
                                                              n.nativeName, &error)
                                       : platform::CopyFileAt(from.Fd(), n.nativeName, to.Fd(),
                                                              n.nativeName, &error, !move, &copied);
            if (!done) {
                step.left = true;
                if (!unattended_)
                    host_.CopyFailed(
                        util::CopyFailureText(error, platform::DisplayName(targetFile)));
                if (!Report(NotCopiedText(targetFile, sourceFile, verb_, move),
                            NotCopiedLogLine(targetFile))) {
                    return {false, true};
                }
                continue;
            }
        } else if (move && !keptByUser && (old.size == 0 || n.size == 0)) {
            // Not copied by the empty-file rule: the source keeps the only copy of its bytes.
            step.left = true;
            ++left_;
            if (unattended_) log_ += SourceKeptLogLine(sourceFile);
            continue;
        }
        // The source goes once its bytes are at the destination, or the user kept the
        // destination's copy; only the file that was copied, never a mode changed to force it.
        if (move && !platform::DeleteFileAt(from.Fd(), n.nativeName, &copied, &error) &&
            error != ENOENT) {
            step.left = true;
            if (!Report(FilesNotRemovedText(source, 1, platform::ErrorText(error), verb_),
                        FileNotRemovedLogLine(sourceFile, platform::ErrorText(error)))) {
                return {false, true};
            }
        }
        Attended();
    }
    if (Cancelled()) return {false, step.left};
    if (!wholeFolder) return step;
    for (const platform::DirEntry& d : entries) {
        if (!d.isDir) continue;
        const QString childSource = Child(source, d.name);
        const QString childTarget = Child(target, d.name);
        if (!from.Enter(d.nativeName, nullptr, &error)) {
            const Step s = Unopened(childSource, error);
            step.left = step.left || s.left;
            if (!s.carryOn) return {false, true};
            continue;
        }
        const platform::Identity id = from.Id();
        if (written_.count({id.device, id.inode})) {
            from.Leave();
            continue;
        }
        if (!to.Enter(d.nativeName, nullptr, &error) &&
            (error != ENOENT ||
             (!platform::MakeDirAt(to.Fd(), d.nativeName, &error) && error != EEXIST) ||
             !to.Enter(d.nativeName, nullptr, &error))) {
            step.left = true;
            const bool carryOn =
                Report(CannotCreateText(childTarget), NotCreatedLogLine(childTarget));
            if (!from.Leave()) return {carryOn && Lost(source).carryOn, true};
            if (!carryOn) return {false, true};
            continue;
        }
        written_.insert({to.Id().device, to.Id().inode});
        const Step s = CopyInside(from, to, childSource, childTarget, true, move);
        const bool back = from.Leave();
        const bool backTo = to.Leave();
        if (!back || !backTo) return {s.carryOn && Lost(back ? target : source).carryOn, true};
        if (!s.carryOn) return {false, true};
        if (s.left) {
            step.left = true;
            continue;
        }
        if (move && !platform::RemoveDirAt(from.Fd(), d.nativeName, &id, &error) &&
            error != ENOENT) {
            step.left = true;
            if (!Report(SourceNotRemovedText(childSource, verb_),
                        SourceNotRemovedLogLine(childSource))) {
                return {false, true};
            }
        }
        Attended();
    }
    return step;
}

}  // namespace folderops
