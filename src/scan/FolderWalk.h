#pragma once
// The walk of a folder tree, apart from what is made of it: folders come out depth first
// in the scan's order (a folder with its files, then each subfolder by the sorted name
// list with its own subtree), each with what the walk could do with it. The walk keeps
// its own stack, so depth has no limit but memory. The list's rows, a report or an export
// are each a sink that takes the folders as they come.
#include <QByteArray>
#include <QString>
#include <vector>

#include "platform/DirReader.h"
#include "scan/FolderTable.h"

namespace scan {

struct WalkedFolder {
    QString name;           // the program name; for the root, the name the walk was given
    QByteArray nativeName;  // the name on disk; for the root, its whole native path
    int level = 0;          // 0 for the root
    FolderState state = kFolderRead;
    int error = 0;                  // errno behind a state other than read
    std::vector<qint64> fileSizes;  // the files directly in the folder
    std::vector<qint64> fileAlloc;  // their allocated bytes, when read from a disk
    // The files of fileSizes with other names (hard links): index and inode.
    std::vector<platform::LinkedEntry> linked;
    qint64 ownAlloc = 0;  // the folder's own allocated bytes, when read from a disk
    // The same files with names, inodes and link counts, for a sink that wants them.
    std::vector<platform::FileDetail> files;
    quint64 device = 0;  // the folder itself, when it was opened
    quint64 inode = 0;
    size_t subfolders = 0;  // listed subfolders, each entered (and left) next
    // Subfolders left out because their names begin with "}", by native name.
    std::vector<QByteArray> leftOut;
    // Occupied bytes as another source (an imported scan) gives them: the folder itself
    // and each file. ownOccupied -1: counted from the sizes by the cluster size, as on disk.
    qint64 ownOccupied = -1;
    std::vector<qint64> fileOccupied;
};

class FolderSink {
  public:
    virtual ~FolderSink() = default;
    // True when enter should get WalkedFolder::files as well (costs time: off for the list).
    virtual bool wantsFiles() const { return false; }
    // A folder, before its subfolders. The sink may take fileSizes. False stops the walk.
    virtual bool enter(WalkedFolder& folder) = 0;
    // The folder entered last and not yet left is done with its subtree. False stops.
    virtual bool leave() = 0;
};

struct WalkResult {
    // errno of the root when it could not be opened or listed (-1: no such drive), else 0.
    int rootError = 0;
};

// Walks the folder at nativeRoot (shown as rootName) with threads read-ahead workers.
// Subfolders whose names begin with "}" are left out; mount points, other file systems and
// a folder that is one of its own ancestors are listed but not entered.
WalkResult WalkFolders(const QByteArray& nativeRoot, const QString& rootName, int threads,
                       FolderSink& sink);

}  // namespace scan
