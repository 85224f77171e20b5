#pragma once
// A listing's folder figures read where they lie, for a writer that streams them (a snapshot)
// without a second copy: a FigureTree, or the folder table of a listed drive with the same
// folders and figures as TakeFigures would copy.
#include <QByteArray>
#include <QStringView>
#include <QtGlobal>

#include "scan/FigureTree.h"

namespace scan {

struct DriveList;
struct FolderTable;

class FigureView {
  public:
    explicit FigureView(const FigureTree& tree);
    explicit FigureView(const DriveList& list);

    int size() const { return size_; }
    int parent(int i) const;        // -1 for the root
    QStringView name(int i) const;  // the root's is empty
    qint32 files(int i) const;
    qint64 bytes(int i) const;
    qint64 alloc(int i) const;

    qint64 Taken = 0;   // as FigureTree::Taken
    QByteArray Source;  // as FigureTree::Source

  private:
    const FigureTree* tree_ = nullptr;
    const FolderTable* table_ = nullptr;
    int size_ = 0;
};

}  // namespace scan
