#pragma once
// The folders of a walk below one selected folder, held as an explicit stack (no recursion:
// any depth the scan can list), each with the subfolders it still has to visit and the listed
// folder it is, so that a folder that took a listed one's name is told apart.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

#include "platform/FileSys.h"
#include "scan/FolderTable.h"

namespace folderops {

// Each listed folder's next sibling, for finding a folder's listed subfolders by name.
class ListedChildren {
  public:
    explicit ListedChildren(const scan::FolderTable& t);
    // The listed subfolders of record r, by native name.
    QHash<QByteArray, int> Of(int r) const;

  private:
    const scan::FolderTable& t_;
    std::vector<qint32> next_;
};

class SubtreeWalk {
  public:
    struct Level {
        std::vector<platform::DirEntry> dirs;  // its subfolders, as listed when it was entered
        size_t next = 0;                       // the next of them to visit
        platform::Identity id;                 // what it is (the source's in a copy)
        QByteArray native;                     // its name on disk
        QString name;                          // its name as shown
        int record = -1;                       // the listed folder it is, -1 when not listed
        bool left = false;                     // something of it stayed
        bool made = false;                     // a copy's destination folder made by the run
        QHash<QByteArray, int> listed;         // its listed subfolders (with record >= 0)
    };

    // base: the shown path of the walk's top folder, the listed folder record.
    SubtreeWalk(const ListedChildren& children, QString base, int record);

    Level& Top() { return levels_.back(); }
    bool AtTop() const { return levels_.size() == 1; }
    // Enters the subfolder e of the deepest level as listed folder record (-1: none).
    Level& Push(const platform::DirEntry& e, const platform::Identity& id, int record);
    Level Pop();
    // The listed record of the deepest level's subfolder named native; -1 when not listed.
    int ListedChild(const QByteArray& native) const;
    // The shown path of the deepest level, and of a name inside it.
    QString Path() const;
    QString PathOf(const QString& name) const;

  private:
    const ListedChildren& children_;
    QString base_;
    std::vector<Level> levels_;
};

}  // namespace folderops
