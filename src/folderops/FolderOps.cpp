#include "folderops/FolderOps.h"

#include <algorithm>
#include <cerrno>

#include "folderops/ListFix.h"
#include "folderops/OpsText.h"
#include "folderops/RecordChain.h"
#include "folderops/SubtreeWalk.h"
#include "platform/Beep.h"
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

bool Skipped(const QString& name) {
    // No name of the list is longer: most files are passed without making a key.
    if (name.size() > 14) return false;
    return QStringView(kSkipList).contains(u'/' + util::LowerAscii(name) + u'/');
}

QString Child(const QString& path, const QString& name) {
    return path.endsWith(u'\\') ? path + name : path + u'\\' + name;
}

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

QString FolderOps::RowPath(int row) const {
    const scan::FolderTable& t = list_.Folders;
    const int f = RecordOf(row);
    if (f <= 0 || f >= t.bound()) return DriveRoot();
    QStringList names;
    for (int a = f; a > 0; a = t.Parent[size_t(a)]) {
        names.prepend(t.name(a).toString());
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

void FolderOps::RemoveEmptied(RecordChain& chain, const std::vector<int>& removal, ListFix& fix) {
    const scan::FolderTable& t = list_.Folders;
    for (const int row : removal) {
        const int f = RecordOf(row);
        // Never the drive's root; only the listed folder, from its listed parent.
        int error = 0;
        if (f > 0 && !leftRecords_.count(f) && chain.OpenParent(f, &error) &&
            !platform::RemoveDirAt(chain.Chain().Fd(), t.native(f), &t.Id[size_t(f)], &error)) {
            // Still holding what was kept or already reported, or gone, or no longer the
            // folder listed: left as it is. Anything else is a failure of its own.
            if (error != ENOENT && error != ENOTEMPTY && error != EEXIST && error != ESTALE) {
                Report(op_ == Operation::Delete ? CannotDeleteText(RowPath(row))
                                                : SourceNotRemovedText(RowPath(row), verb_),
                       NotDeletedLogLine(RowPath(row)));
            }
        }
        fix.ClearRowSizes(row, false);
        Attended();
    }
}

bool FolderOps::Report(const QString& question, const QString& logLine) {
    ++left_;
    if (unattended_) {
        log_ += logLine;
        return true;
    }
    return host_.Ask(question, kYesNo) == kAnswerYes;
}

FolderOps::Step FolderOps::Unopened(const QString& path, int error) {
    switch (error) {
        case ENOENT:
            return {true, false};  // gone already
        case EXDEV:
            return {Report(OtherFileSystemText(path, verb_), OtherFileSystemLogLine(path)), true};
        case ESTALE:
        case ELOOP:
        case ENOTDIR:
        case EINVAL:
            return {Report(ChangedText(path, verb_), ChangedLogLine(path, verb_)), true};
        default:
            return {Report(UnreadableText(path, platform::ErrorText(error), verb_),
                           UnreadableLogLine(path, platform::ErrorText(error))),
                    true};
    }
}

FolderOps::Step FolderOps::Lost(const QString& path) {
    if (lostShown_) return {true, true};
    lostShown_ = true;
    return Unopened(path, ESTALE);
}

QString FolderOps::Closing(const QString& finished) const {
    return left_ > 0 ? FinishedLeftText(finished, verb_, left_) : finished;
}

bool FolderOps::Cancelled() {
    return host_.EndCode() != 0;
}

bool FolderOps::CheckSelection(Operation operation) {
    const QString verb = VerbOf(operation);
    const bool move = operation == Operation::Move;
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

bool FolderOps::ConfirmRun(Operation operation, const QString& drive, const QString& example) {
    const QString verb = VerbOf(operation);
    if (host_.Ask(ConfirmText(verb, drive, example), kOkCancel | kSecondDefault) != kAnswerOk)
        return false;
    if (operation == Operation::Delete || operation == Operation::Move) {
        const bool trash = useTrash_ && operation == Operation::Delete;
        return host_.Ask(trash ? ConfirmTrashText(verb) : ConfirmAgainText(verb),
                         kYesNo | kSecondDefault) == kAnswerYes;
    }
    return true;
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
    if (!ConfirmRun(kOpDelete, {}, {})) return RunEnd::NotStarted;
    return useTrash_ ? TrashRun() : DeleteRun();
}

bool FolderOps::StartFolder(RecordChain& chain, int f, const QString& path, bool& carryOn) {
    ReadUnattended();
    host_.SetTitle(platform::DisplayName(util::GetFileName(path)) + u' ' + verb_ +
                   QStringLiteral("中"));
    host_.Turn();
    int error = 0;
    if (chain.Open(f, &error)) return true;
    carryOn = Unopened(path, error).carryOn;
    return false;
}

bool FolderOps::DeleteSelected(RecordChain& chain, int row, bool wholeFolder) {
    const QString path = RowPath(row);
    const int f = RecordOf(row);
    const LeftMark mark(*this, f);
    bool carryOn = true;
    if (!StartFolder(chain, f, path, carryOn)) return carryOn;
    int error = 0;
    const platform::Identity self = chain.Chain().Id();
    const Step inside = DeleteInside(chain, path, wholeFolder && f != 0, f);
    if (!chain.Chain().valid()) return inside.carryOn;
    // The drive's root folder stays, whatever the drive is.
    if (!inside.carryOn || !wholeFolder || f == 0 || inside.left) return inside.carryOn;
    if (!chain.OpenParent(f, &error)) return Unopened(path, error).carryOn;
    if (!platform::RemoveDirAt(chain.Chain().Fd(), list_.Folders.native(f), &self, &error) &&
        error != ENOENT) {
        return Report(CannotDeleteText(path), NotDeletedLogLine(path));
    }
    Attended();
    return true;
}

FolderOps::Step FolderOps::DeleteFiles(platform::FolderChain& folder, const QString& path,
                                       std::vector<platform::DirEntry>& dirs) {
    Step step;
    std::vector<platform::DirEntry> entries;
    int error = 0;
    // Only names and kinds: a delete needs no sizes or times.
    if (!platform::ListAt(folder.Fd(), entries, &error, true)) return Unopened(path, error);
    int failed = 0, firstError = 0;
    for (platform::DirEntry& e : entries) {
        if (e.isDir) {
            dirs.push_back(std::move(e));
            continue;
        }
        if (Cancelled()) break;
        if (Skipped(e.name)) {
            step.left = true;
            ++left_;
            if (unattended_) log_ += SkippedLogLine(Child(path, e.name));
            continue;
        }
        // A link is removed itself, never what it points to; no mode is changed to force it.
        if (!platform::DeleteFileAt(folder.Fd(), e.nativeName, nullptr, &error) &&
            error != ENOENT) {
            if (failed++ == 0) firstError = error;
            if (unattended_)
                log_ += FileNotRemovedLogLine(Child(path, e.name), platform::ErrorText(error));
        }
        Attended();
    }
    if (failed > 0) {
        step.left = true;
        left_ += failed - 1;  // Report counts one
        step.carryOn =
            Report(FilesNotRemovedText(path, failed, platform::ErrorText(firstError), verb_), {});
    }
    return step;
}

const platform::Identity* FolderOps::ListedId(int record) const {
    // A record of a folder removed since it was listed stands for nothing now.
    if (record < 0 || list_.Folders.FileCount[size_t(record)] < 0) return nullptr;
    const platform::Identity& id = list_.Folders.Id[size_t(record)];
    return id.known() ? &id : nullptr;
}

FolderOps::Step FolderOps::DeleteInside(RecordChain& chain, const QString& path, bool wholeFolder,
                                        int record) {
    platform::FolderChain& folder = chain.Chain();
    SubtreeWalk walk(chain.Children(), path, record);
    Step top = DeleteFiles(folder, path, walk.Top().dirs);
    if (!top.carryOn) return top;
    if (Cancelled()) return {false, top.left};
    if (!wholeFolder) return top;
    walk.Top().left = top.left;
    int error = 0;
    for (;;) {
        SubtreeWalk::Level& level = walk.Top();
        if (level.next < level.dirs.size()) {
            const platform::DirEntry& e = level.dirs[level.next++];
            const QString child = walk.PathOf(e.name);
            // A listed folder must still be the one listed: one moved in under its name is
            // not emptied.
            const int listed = walk.ListedChild(e.nativeName);
            if (!folder.Enter(e.nativeName, ListedId(listed), &error)) {
                // Turned into a link or a file since it was listed: that entry itself goes.
                if ((error == ELOOP || error == ENOTDIR) &&
                    (platform::DeleteFileAt(folder.Fd(), e.nativeName, nullptr, &error) ||
                     error == ENOENT)) {
                    continue;
                }
                const Step s = Unopened(child, error);
                level.left = level.left || s.left;
                if (!s.carryOn) return {false, true};
                continue;
            }
            const platform::DirEntry entry = e;
            SubtreeWalk::Level& below = walk.Push(entry, folder.Id(), listed);
            const Step s = DeleteFiles(folder, child, below.dirs);
            below.left = s.left;
            if (!s.carryOn || Cancelled()) {
                below.dirs.clear();  // unwound below without going further
                if (!s.carryOn) return {false, true};
            }
            continue;
        }
        if (walk.AtTop()) return {!Cancelled(), level.left};
        const SubtreeWalk::Level done = walk.Pop();
        SubtreeWalk::Level& parent = walk.Top();
        const QString parentPath = walk.Path();
        if (!folder.Leave(&error)) {
            const Step lost = Lost(parentPath);
            return {lost.carryOn, true};
        }
        if (Cancelled()) return {false, true};
        if (done.left) {
            parent.left = true;
            continue;
        }
        if (!platform::RemoveDirAt(folder.Fd(), done.native, &done.id, &error) && error != ENOENT) {
            parent.left = true;
            const QString child = walk.PathOf(done.name);
            if (!Report(CannotDeleteText(child), NotDeletedLogLine(child))) return {false, true};
        }
        Attended();
    }
}

RunEnd FolderOps::DeleteRun() {
    op_ = Operation::Delete;
    verb_ = VerbOf(op_);
    host_.BeginRun(verb_);
    ReadUnattended();
    log_.clear();
    left_ = 0;
    leftRecords_.clear();
    lostShown_ = false;
    ListFix fix(list_);
    RecordChain chain(list_.Folders, true);
    bool stopped = false;
    const int rows = RowCount();
    for (int r = 0; r < rows && !stopped;) {
        if (!Selected(r)) {
            ++r;
            continue;
        }
        int next = r + 1;
        if (!HasDisplayedChildren(r) && RecordOf(r) != 0) {
            stopped = !DeleteSelected(chain, r, true);
            fix.ClearRowSizes(r, true);
        } else {
            // Its files, those of its selected displayed descendants, then the emptied
            // folders from the deepest up.
            const int end = DescendantsEnd(r);
            std::vector<int> removal{r};
            stopped = !DeleteSelected(chain, r, false);
            for (int j = r + 1; j < end && !stopped; ++j) {
                if (!Selected(j)) continue;
                stopped = !DeleteSelected(chain, j, false);
                removal.insert(removal.begin(), j);
            }
            if (stopped) {
                fix.ClearRowSizes(r, true);  // what did go is gone from the list too
                break;
            }
            Attended();
            RemoveEmptied(chain, removal, fix);
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
        host_.Ask(Closing(finished), kOk);
        result = RunEnd::Finished;
    }
    host_.EndRun();
    fix.Finish();
    host_.AfterRun();
    return result;
}

}  // namespace folderops
