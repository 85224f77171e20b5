#pragma once
// Deleting, copying and moving the selected folders of a list. The engine works on the
// list's rows and FolderTable, reaches the disk only through native names, asks every
// question and reports progress through OpsHost, and corrects the list in place.
//
// Beyond the Windows rules: every folder is opened from the drive's root one name at a time
// and must be the folder the scan listed; a symbolic link is never followed (it is deleted,
// copied and moved as a link); a folder on another file system (a mount, a bind mount) is
// never entered; whatever could not be read, copied or removed is asked about or logged, and
// the closing message says so; no file's mode is changed; a move deletes a source file only
// once its bytes are at the destination or the user kept the destination's; a drive's root
// folder itself is never removed; on drive C: the root file system's system folders are
// guarded like the Windows folder; files are copied through a temporary name.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "folderops/OpsText.h"

#include "folderops/LinkedCopies.h"
#include "folderops/OpsHost.h"
#include "platform/FileSys.h"
#include "scan/DriveList.h"

namespace folderops {

class ListFix;
class RecordChain;

// How a run ended.
enum class RunEnd {
    NotStarted,  // refused, or No / Cancel before anything happened
    Finished,    // the closing message was shown
    Stopped,     // No or Cancel to a question during the run
    Cancelled,   // the progress dialog's stop button
};

inline constexpr Operation kOpCopy = Operation::Copy;
inline constexpr Operation kOpDelete = Operation::Delete;
inline constexpr Operation kOpMove = Operation::Move;

// Names never deleted, as "/" + lower-case name + "/" in this text.
inline constexpr char16_t kSkipList[] =
    u"/win386.swp/pagefile.sys/schedlog.txt/shelliconcache/ttfcache/";

// A file name of the list above: never deleted (a Windows system's swap and cache files on
// its own drive); a copy copies it, a move copies it and leaves the source, counted as kept.
bool Skipped(const QString& name);

// The program path of name inside the folder path.
QString Child(const QString& path, const QString& name);

// The native path of a program path, normalised; empty when it has none.
QByteArray Native(const QString& path);

class FolderOps {
  public:
    // appFolderNative: where the unattended failure log "temp.txt" is written.
    FolderOps(scan::DriveList& list, OpsHost& host, QByteArray appFolderNative);

    // With the trash on, the delete command moves each selected folder to the desktop's trash
    // instead; a folder whose drive has no trash may still be deleted for good when asked.
    void SetUseTrash(bool on) { useTrash_ = on; }

    // The commands, from the busy check to AfterRun.
    RunEnd DeleteCommand();
    // destination: the DSTLST entry ("D:" or empty); roomLeft: what the destination would
    // have left after the run (DriveList::DestinationLeft), none when it has no medium.
    RunEnd CopyCommand(const QString& destination, std::optional<qint64> roomLeft);
    RunEnd MoveCommand(const QString& destination, std::optional<qint64> roomLeft);

    // The steps, each as the commands use them.
    bool CheckSelection(Operation operation);
    bool ConfirmRun(Operation operation, const QString& drive, const QString& example);
    // The program path of a row ("D:\A\B"), from the folder records' native names.
    QString RowPath(int row) const;
    QString CheckDest(Operation operation, const QString& destination,
                      std::optional<qint64> roomLeft);
    RunEnd CopyRun(Operation operation, const QString& drive);

    const QString& FailureLog() const { return log_; }

  private:
    // What came of one folder: whether the run goes on, and whether anything of it stayed.
    struct Step {
        bool carryOn = true;
        bool left = false;
    };

    // Notes the selected folder of record f as left when anything stayed while it was done.
    struct LeftMark {
        LeftMark(FolderOps& ops, int f) : ops(ops), f(f), before(ops.left_) {}
        ~LeftMark() {
            if (ops.left_ > before) ops.leftRecords_.insert(f);
        }
        FolderOps& ops;
        int f, before;
    };

    int RowCount() const;  // folder rows (the total row left out)
    int RecordOf(int row) const;
    int IndentOf(int row) const;
    bool Selected(int row) const;
    bool HasDisplayedChildren(int row) const;
    int DescendantsEnd(int row) const;
    QString DriveRoot() const;

    RunEnd DeleteRun();
    RunEnd TrashRun();
    bool HasUnselectedDescendant(int row) const;
    // The start of each selected folder: the progress title, a turn of the message loop, then
    // the folder of record f opened as it was listed. False when the run goes on without it,
    // carryOn false when the run is to stop.
    bool StartFolder(RecordChain& chain, int f, const QString& path, bool& carryOn);
    // Deletes the folder of a row (with wholeFolder everything in it and the folder itself,
    // else its own files), opened from the drive's root as it was listed.
    bool DeleteSelected(RecordChain& chain, int row, bool wholeFolder);
    // Deletes what the open folder (the chain's deepest) holds: its files, with wholeFolder
    // its subfolders too.
    Step DeleteInside(RecordChain& chain, const QString& path, bool wholeFolder, int record);
    // Deletes the files of the open folder (the chain's deepest); its subfolders go to dirs.
    Step DeleteFiles(platform::FolderChain& folder, const QString& path,
                     std::vector<platform::DirEntry>& dirs);
    // The identity a listed folder must still have (none for -1 or one never opened).
    const platform::Identity* ListedId(int record) const;
    bool TrashSelected(RecordChain& chain, int row, bool wholeFolder);
    bool NotTrashed(const QString& path, const QString& reason);
    bool CopySelected(RecordChain& chain, int row, bool wholeFolder, bool move);
    // Copies what the open folder (the chain's deepest) holds to the open destination folder:
    // its files, with wholeFolder its subfolders too (record: the listed folder it is).
    Step CopyInside(RecordChain& chain, platform::FolderChain& to, const QString& source,
                    bool wholeFolder, bool move, int record);
    // Copies the files of from into to; the subfolders go to dirs.
    Step CopyFiles(platform::FolderChain& from, platform::FolderChain& to, const QString& source,
                   const QString& target, bool move, std::vector<platform::DirEntry>& dirs);
    bool CopyOneFile(platform::FolderChain& from, platform::FolderChain& to,
                     const platform::DirEntry& n, bool move, platform::Identity* copied,
                     int* error);
    // Opens (making what is missing) the folder of record f at the destination drive; made
    // receives the records of the folders it made.
    bool OpenTarget(platform::FolderChain& to, int f, bool make, int* error,
                    std::vector<int>* made = nullptr);
    // The folders made above or for selected folders get their sources' owner and mode.
    void GiveMadeFoldersTheirAttributes(RecordChain& chain);
    // Something could not be done: asked (Yes goes on) or, unattended, logged; counted.
    bool Report(const QString& question, const QString& logLine);
    // A folder that could not be opened as it was listed (errno from RecordChain or
    // FolderChain): gone already goes on silently, everything else is reported.
    Step Unopened(const QString& path, int error);
    // The chain lost its way back up (a folder moved during the run): reported once.
    Step Lost(const QString& path);
    void Attended();  // lets events run when attended
    // Removes the emptied folders of a run, deepest first, and clears their rows.
    void RemoveEmptied(RecordChain& chain, const std::vector<int>& removal, ListFix& fix);
    // The closing message, saying what stayed when something did.
    QString Closing(const QString& finished) const;
    // The end of a delete or trash run: the closing message, the log, the list corrected.
    RunEnd EndRemovalRun(bool stopped, const QString& finished, ListFix& fix);
    void ReadUnattended();
    bool Cancelled();
    void WriteLog();

    scan::DriveList& list_;
    OpsHost& host_;
    QByteArray appFolder_;
    Operation op_ = Operation::Delete;
    QString verb_;  // the operation's verb in the texts
    bool unattended_ = false;
    QString log_;
    bool useTrash_ = false;
    QStringList trashPlaces_;  // the trash folders of this run, as shown
    // Folders written by the running copy (device, inode): never read again as a source.
    std::set<std::pair<quint64, quint64>> written_;
    LinkedCopies links_;            // copies with further names to come
    std::vector<int> madeFolders_;  // destination folders made, attributes still to give
    std::set<int> leftRecords_;     // selected folders of this run that stayed, in part or whole
    int left_ = 0;                  // files and folders of this run that stayed (reported or kept)
    bool lostShown_ = false;        // the run's chain lost its way, and that was reported
    QString dest_;                  // the destination drive of a copy or move ("D:")
    QByteArray destRoot_;           // its native root
};

}  // namespace folderops
