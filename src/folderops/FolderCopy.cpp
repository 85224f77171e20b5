#include <algorithm>
#include <cerrno>
#include <functional>

#include "folderops/FolderOps.h"
#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "folderops/RecordChain.h"
#include "folderops/SubtreeWalk.h"
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

bool FolderOps::OpenTarget(platform::FolderChain& to, int f, bool make, int* error,
                           std::vector<int>* made) {
    const scan::FolderTable& t = list_.Folders;
    std::vector<int> way;
    for (int a = f; a > 0; a = t.Parent[size_t(a)]) way.push_back(a);
    if (!to.OpenRoot(destRoot_, nullptr, error)) return false;
    for (auto it = way.rbegin(); it != way.rend(); ++it) {
        const QByteArray name = t.native(*it);
        int e = 0;
        // Made where missing (private until it is given its source's owner and mode), then
        // opened as any folder: never through a link, never onto another mount.
        bool entered = to.Enter(name, nullptr, &e);
        if (!entered && e == ENOENT && make) {
            const bool madeNow = platform::MakeDirAt(to.Fd(), name, &e, 0700);
            if (madeNow && made) made->push_back(*it);
            if (madeNow || e == EEXIST) entered = to.Enter(name, nullptr, &e);
        }
        if (!entered) {
            if (error) *error = e;
            return false;
        }
    }
    return true;
}

void FolderOps::GiveMadeFoldersTheirAttributes(RecordChain& chain) {
    // The deepest first (records are in tree order), so that a parent made read-only by its
    // mode comes last.
    std::sort(madeFolders_.begin(), madeFolders_.end(), std::greater<int>());
    for (const int f : madeFolders_) {
        platform::FolderChain to;
        if (chain.Open(f) && OpenTarget(to, f, false, nullptr))
            platform::CopyFolderAttributes(chain.Chain().Fd(), to.Fd());
    }
    madeFolders_.clear();
}

RunEnd FolderOps::CopyRun(Operation operation, const QString& drive) {
    op_ = operation;
    verb_ = VerbOf(operation);
    const bool move = operation == Operation::Move;
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    written_.clear();
    links_.Clear();
    madeFolders_.clear();
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
            GiveMadeFoldersTheirAttributes(chain);
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
            GiveMadeFoldersTheirAttributes(chain);
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
    links_.Clear();
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
    std::vector<int> made;
    if (!OpenTarget(to, f, true, &error, &made)) {
        madeFolders_.insert(madeFolders_.end(), made.begin(), made.end());
        return Report(CannotCreateText(target), NotCreatedLogLine(target));
    }
    Attended();
    written_.insert({to.Id().device, to.Id().inode});
    // The same folder reached through another drive: nothing to copy, nothing to remove.
    if (to.Id() == self) return true;
    wholeFolder = wholeFolder && f != 0;
    const bool madeSelf = !made.empty() && made.back() == f;
    // A whole folder is complete here (a move removes its source next); the folders above it,
    // and one whose selected subfolders follow, once the group is done.
    if (madeSelf && wholeFolder) made.pop_back();
    madeFolders_.insert(madeFolders_.end(), made.begin(), made.end());
    const Step inside = CopyInside(chain, to, source, wholeFolder, move, f);
    if (!chain.Chain().valid()) return inside.carryOn;
    if (madeSelf && wholeFolder && chain.Record() == f && chain.Chain().Depth() == to.Depth())
        platform::CopyFolderAttributes(chain.Chain().Fd(), to.Fd());
    if (!inside.carryOn || !move || !wholeFolder || inside.left) return inside.carryOn;
    if (!chain.OpenParent(f, &error)) return Unopened(source, error).carryOn;
    if (!platform::RemoveDirAt(chain.Chain().Fd(), list_.Folders.native(f), &self, &error) &&
        error != ENOENT) {
        return Report(SourceNotRemovedText(source, verb_), SourceNotRemovedLogLine(source));
    }
    Attended();
    return true;
}

FolderOps::Step FolderOps::CopyFiles(platform::FolderChain& from, platform::FolderChain& to,
                                     const QString& source, const QString& target, bool move,
                                     std::vector<platform::DirEntry>& dirs) {
    Step step;
    std::vector<platform::DirEntry> entries;
    int error = 0;
    if (!platform::ListAt(from.Fd(), entries, &error)) return Unopened(source, error);
    for (platform::DirEntry& n : entries) {
        if (n.isDir) {
            dirs.push_back(std::move(n));
            continue;
        }
        if (Cancelled()) break;
        const QString sourceFile = Child(source, n.name);
        const QString targetFile = Child(target, n.name);
        platform::DirEntry old;
        bool copy = true;
        if (platform::StatAt(to.Fd(), n.nativeName, old) && !old.isDir) {
            if (SameEntry(old, n)) continue;  // one file under two names: leave both
            if (old.mtime == n.mtime) {
                copy = move || old.size != n.size;
            } else if (old.mtime > n.mtime && !unattended_) {
                if (old.size == 0 || n.size == 0) {
                    copy = old.size == 0 && n.size == 0;
                } else {
                    const int answer = host_.Ask(OverwriteText(target, n.name, sourceFile, n.mtime,
                                                               targetFile, old.mtime, move),
                                                 kYesNoCancel | kSecondDefault);
                    if (answer != kAnswerYes && answer != kAnswerNo) return {false, true};
                    copy = answer == kAnswerYes;
                }
            }
        }
        platform::Identity copied{n.device, n.inode};
        if (copy) {
            if (!CopyOneFile(from, to, n, move, &copied, &error)) {
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
        } else if (move) {
            // Not copied, by the user's No or by the empty-file rule: the source keeps the only
            // copy of its bytes and stays where it is.
            step.left = true;
            ++left_;
            if (unattended_) log_ += SourceKeptLogLine(sourceFile);
            continue;
        }
        if (move && Skipped(n.name)) {
            // Copied, but a file of these names is never deleted.
            step.left = true;
            ++left_;
            if (unattended_) log_ += SkippedLogLine(sourceFile);
            continue;
        }
        // The source goes once its bytes are at the destination; only the file that was
        // copied, never a mode changed to force it.
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
    return step;
}

bool FolderOps::CopyOneFile(platform::FolderChain& from, platform::FolderChain& to,
                            const platform::DirEntry& n, bool move, platform::Identity* copied,
                            int* error) {
    if (n.isLink)
        return platform::CopyLinkAt(from.Fd(), n.nativeName, to.Fd(), n.nativeName, error);
    // A further name of a file copied in this run becomes a link to that copy (a move may
    // have removed the other names at the source already).
    const int first = n.regular ? links_.Find(n.device, n.inode) : -1;
    if (first >= 0 && platform::LinkCopyAt(first, to.Fd(), n.nativeName, error)) {
        links_.Used(n.device, n.inode);
        return true;
    }
    int keep = -1;
    const bool hold = n.regular && n.links > 1 && first < 0 && !links_.Full();
    if (!platform::CopyFileAt(from.Fd(), n.nativeName, to.Fd(), n.nativeName, error, !move, copied,
                              hold ? &keep : nullptr)) {
        return false;
    }
    if (hold && keep >= 0) links_.Add(n.device, n.inode, keep, n.links - 1);
    return true;
}

FolderOps::Step FolderOps::CopyInside(RecordChain& chain, platform::FolderChain& to,
                                      const QString& source, bool wholeFolder, bool move,
                                      int record) {
    platform::FolderChain& from = chain.Chain();
    const auto targetOf = [this](const QString& path) { return dest_ + path.mid(2); };
    SubtreeWalk walk(chain.Children(), source, record);
    const Step top = CopyFiles(from, to, source, targetOf(source), move, walk.Top().dirs);
    if (!top.carryOn) return top;
    if (Cancelled()) return {false, top.left};
    if (!wholeFolder) return top;
    walk.Top().left = top.left;
    int error = 0;
    for (;;) {
        SubtreeWalk::Level& level = walk.Top();
        if (level.next < level.dirs.size()) {
            const platform::DirEntry e = level.dirs[level.next++];
            const QString childSource = walk.PathOf(e.name);
            const QString childTarget = targetOf(childSource);
            // A listed folder must still be the one listed: one moved in under its name is
            // not carried along.
            const int listed = walk.ListedChild(e.nativeName);
            if (!from.Enter(e.nativeName, ListedId(listed), &error)) {
                const Step s = Unopened(childSource, error);
                level.left = level.left || s.left;
                if (!s.carryOn) return {false, true};
                continue;
            }
            const platform::Identity id = from.Id();
            if (written_.count({id.device, id.inode})) {
                if (!from.Leave()) return {Lost(walk.Path()).carryOn, true};
                continue;
            }
            // Made private, and given its source's owner and mode once its contents are in.
            bool made = false;
            bool entered = to.Enter(e.nativeName, nullptr, &error);
            if (!entered && error == ENOENT) {
                made = platform::MakeDirAt(to.Fd(), e.nativeName, &error, 0700);
                if (made || error == EEXIST) entered = to.Enter(e.nativeName, nullptr, &error);
            }
            if (!entered) {
                level.left = true;
                const bool carryOn =
                    Report(CannotCreateText(childTarget), NotCreatedLogLine(childTarget));
                if (!from.Leave()) return {carryOn && Lost(walk.Path()).carryOn, true};
                if (!carryOn) return {false, true};
                continue;
            }
            written_.insert({to.Id().device, to.Id().inode});
            SubtreeWalk::Level& below = walk.Push(e, id, listed);
            below.made = made;
            const Step s = CopyFiles(from, to, childSource, childTarget, move, below.dirs);
            below.left = s.left;
            if (!s.carryOn) return {false, true};
            if (Cancelled()) below.dirs.clear();  // unwound without going further
            continue;
        }
        if (walk.AtTop()) return {!Cancelled(), level.left};
        if (level.made) platform::CopyFolderAttributes(from.Fd(), to.Fd());
        const SubtreeWalk::Level done = walk.Pop();
        SubtreeWalk::Level& parent = walk.Top();
        const bool back = from.Leave();
        const bool backTo = to.Leave();
        if (!back || !backTo) {
            const QString path = walk.Path();
            return {Lost(back ? targetOf(path) : path).carryOn, true};
        }
        if (Cancelled()) return {false, true};
        if (done.left) {
            parent.left = true;
            continue;
        }
        if (move && !platform::RemoveDirAt(from.Fd(), done.native, &done.id, &error) &&
            error != ENOENT) {
            parent.left = true;
            const QString childSource = walk.PathOf(done.name);
            if (!Report(SourceNotRemovedText(childSource, verb_),
                        SourceNotRemovedLogLine(childSource))) {
                return {false, true};
            }
        }
        Attended();
    }
}

}  // namespace folderops
