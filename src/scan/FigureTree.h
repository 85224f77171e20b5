#pragma once
// A listing's folder figures without its files: what a snapshot keeps and what a comparison
// reads as the earlier state. Folders in pre-order, the root first, each after its parent.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <vector>

namespace scan {

struct DriveList;

struct FigureTree {
    std::vector<qint32> Parent;  // -1 for the root
    std::vector<qint32> Files;   // the folder's own figures
    std::vector<qint64> Bytes;
    std::vector<qint64> Alloc;
    std::vector<qint64> Subtree;  // occupied by the folder and everything below it
    // When the listing ended, seconds since 1970 (UTC); 0 when not known.
    qint64 Taken = 0;
    // The drive's mount or folder (native path); empty for a tree read from a file.
    QByteArray Source;

    int size() const { return int(Parent.size()); }
    // The folder's name as the list shows it; the root's is empty.
    QStringView name(int i) const;
    // Appends a folder after its parent (parent < size(), -1 only for the first).
    void add(int parent, QStringView name, qint32 files, qint64 bytes, qint64 alloc);
    // Subtree of every folder from Alloc, children added into their parents.
    void sumSubtrees();
    void reserve(size_t folders, size_t nameChars);
    // Gives back room left over from growing.
    void squeeze();
    // The text that holds every name, for writers that keep it whole.
    const QString& namePool() const { return names_; }

  private:
    QString names_;
    std::vector<quint32> nameEnd_;
};

// The figures of a listed drive's folders (not the total row): own figures and subtree totals
// as the table holds them; Source is SnapshotSource(list).
FigureTree TakeFigures(const DriveList& list);

// The drive whose snapshots a listing keeps and is compared with: its mount or folder. Empty
// for an imported scan: the folder its root names belongs to another machine or another time,
// so it never stands for a drive of this one.
QByteArray SnapshotSource(const DriveList& list);

}  // namespace scan
