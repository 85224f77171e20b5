#include "scan/FigureTree.h"

#include "scan/DriveList.h"
#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {

QStringView FigureTree::name(int i) const {
    if (i <= 0 || i >= size()) return {};
    const quint32 begin = nameEnd_[size_t(i - 1)];
    return QStringView(names_).mid(begin, nameEnd_[size_t(i)] - begin);
}

void FigureTree::add(int parent, QStringView name, qint32 files, qint64 bytes, qint64 alloc) {
    Parent.push_back(parent);
    Files.push_back(files);
    Bytes.push_back(bytes);
    Alloc.push_back(alloc);
    Subtree.push_back(0);
    // The root's name is the drive's path, not a name below it.
    if (Parent.size() > 1) names_ += name;
    nameEnd_.push_back(quint32(names_.size()));
}

void FigureTree::sumSubtrees() {
    for (size_t i = 0; i < Alloc.size(); ++i) Subtree[i] = Alloc[i];
    for (size_t i = Alloc.size(); i-- > 1;) {
        const qint32 p = Parent[i];
        // Held at the largest figure, as the list holds its sums: a tree read from a file may
        // hold any figures.
        if (p >= 0 && size_t(p) < i)
            Subtree[size_t(p)] = SaturatingAdd(Subtree[size_t(p)], Subtree[i]);
    }
}

void FigureTree::reserve(size_t folders, size_t nameChars) {
    Parent.reserve(folders);
    Files.reserve(folders);
    Bytes.reserve(folders);
    Alloc.reserve(folders);
    Subtree.reserve(folders);
    nameEnd_.reserve(folders);
    names_.reserve(qsizetype(nameChars));
}

void FigureTree::squeeze() {
    Parent.shrink_to_fit();
    Files.shrink_to_fit();
    Bytes.shrink_to_fit();
    Alloc.shrink_to_fit();
    Subtree.shrink_to_fit();
    nameEnd_.shrink_to_fit();
    names_.squeeze();
}

FigureTree TakeFigures(const DriveList& list) {
    FigureTree tree;
    const FolderTable& t = list.Folders;
    const int records = std::min(Records(list), t.bound());
    size_t chars = 0;
    for (int f = 1; f < records; ++f) chars += size_t(t.name(f).size());
    tree.reserve(size_t(std::max(records, 0)), chars);
    for (int f = 0; f < records; ++f) {
        const size_t i = size_t(f);
        tree.add(f == 0 ? -1 : t.Parent[i], t.name(f), t.FileCount[i], t.FileSize[i],
                 t.AllocSize[i]);
        tree.Subtree[i] = t.SubtreeTotal[i];
    }
    tree.Source = SnapshotSource(list);
    return tree;
}

QByteArray SnapshotSource(const DriveList& list) {
    if (ImportedDriveOf(QString(list.CurrentDrive))) return {};
    return list.Folders.RootNative;
}

}  // namespace scan
