#pragma once
// Deleting, copying and moving the selected folders of a list. The engine works on the
// list's rows and FolderTable, reaches the disk only through native names, asks every
// question and reports progress through OpsHost, and corrects the list in place.
//
// Beyond the Windows rules: a symbolic link is never followed (it is deleted, copied and
// moved as a link); a folder on another file system (a mount, a bind mount) inside a selected
// folder is never entered and counts as a folder that cannot be removed; a drive's root
// folder itself is never removed; on drive C: the root file system's system folders are
// guarded like the Windows folder; files are copied through a temporary name.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <set>
#include <utility>
#include <vector>

#include "folderops/OpsHost.h"
#include "platform/FileSys.h"
#include "scan/DriveList.h"

namespace folderops {

class ListFix;

// How a run ended.
enum class RunEnd {
    NotStarted,  // refused, or No / Cancel before anything happened
    Finished,    // the closing message was shown
    Stopped,     // No or Cancel to a question during the run
    Cancelled,   // the progress dialog's stop button
};

inline constexpr int kOpCopy = 1;
inline constexpr int kOpDelete = 2;
inline constexpr int kOpMove = 3;

// Names never deleted, as "/" + lower-case name + "/" in this text.
inline constexpr char16_t kSkipList[] =
    u"/win386.swp/pagefile.sys/schedlog.txt/shelliconcache/ttfcache/";

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
    // destination: the DSTLST entry ("D:" or empty); destFree: the text of MOVDSP.
    RunEnd CopyCommand(const QString& destination, const QString& destFree);
    RunEnd MoveCommand(const QString& destination, const QString& destFree);

    // The steps, each as the commands use them.
    bool CheckSelection(int operation);
    bool ConfirmRun(const QString& verb, const QString& drive, const QString& example);
    // The program path of a row ("D:\A\B"), from the folder records' native names.
    QString RowPath(int row) const;
    bool DelFolder(const QString& path, bool wholeFolder);
    QString CheckDest(int operation, const QString& destination, const QString& destFree);
    RunEnd CopyRun(const QString& verb, const QString& drive);
    bool CopyFolder(const QString& source, const QString& target, bool wholeFolder, bool move);

    const QString& FailureLog() const { return log_; }

  private:
    int RowCount() const;  // folder rows (the total row left out)
    int RecordOf(int row) const;
    int IndentOf(int row) const;
    bool Selected(int row) const;
    bool HasDisplayedChildren(int row) const;
    int DescendantsEnd(int row) const;
    QString DriveRoot() const;
    bool IsDriveRoot(const QString& path) const;

    RunEnd DeleteRun();
    RunEnd TrashRun();
    bool HasUnselectedDescendant(int row) const;
    bool TrashFolder(const QString& path, bool wholeFolder, quint64 device);
    bool NotTrashed(const QString& path, const QString& reason);
    // The start of each folder of a delete or trash run: the progress title, then the folder
    // as it stands now. False when the run goes on without it (gone already, or a link or
    // another file system where it stood), carryOn false when the run is to stop.
    bool StartFolder(const QString& path, quint64 device, QByteArray& native,
                     platform::DirEntry& self, bool& carryOn);
    bool DelFolderIn(const QString& path, bool wholeFolder, quint64 device);
    bool Refuse(const QString& path, bool otherFileSystem);
    bool CopyFolderIn(const QString& source, const QString& target, bool wholeFolder, bool move,
                      quint64 device);
    void Attended();  // lets events run when attended
    // Removes the emptied folders of a run, deepest first, and clears their rows.
    void RemoveEmptied(const std::vector<std::pair<int, QString>>& removal, ListFix& fix);
    // The end of a delete or trash run: the closing message, the log, the list corrected.
    RunEnd EndRemovalRun(bool stopped, const QString& finished, ListFix& fix);
    void ReadUnattended();
    bool Cancelled();
    void WriteLog();

    scan::DriveList& list_;
    OpsHost& host_;
    QByteArray appFolder_;
    QString verb_;
    bool unattended_ = false;
    QString log_;
    bool useTrash_ = false;
    QStringList trashPlaces_;  // the trash folders of this run, as shown
    // Folders written by the running copy (device, inode): never read again as a source.
    std::set<std::pair<quint64, quint64>> written_;
};

}  // namespace folderops
