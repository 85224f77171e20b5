#include "scan/FigureView.h"

#include <algorithm>

#include "scan/DriveList.h"
#include "scan/TreeRows.h"

namespace scan {

FigureView::FigureView(const FigureTree& tree)
    : Taken(tree.Taken), Source(tree.Source), tree_(&tree), size_(tree.size()) {}

FigureView::FigureView(const DriveList& list)
    : Source(list.Folders.RootNative),
      table_(&list.Folders),
      size_(std::max(0, std::min(Records(list), list.Folders.bound()))) {}

int FigureView::parent(int i) const {
    if (i == 0) return -1;
    return tree_ ? tree_->Parent[size_t(i)] : table_->Parent[size_t(i)];
}

QStringView FigureView::name(int i) const {
    if (i == 0) return {};
    return tree_ ? tree_->name(i) : table_->name(i);
}

qint32 FigureView::files(int i) const {
    return tree_ ? tree_->Files[size_t(i)] : table_->FileCount[size_t(i)];
}

qint64 FigureView::bytes(int i) const {
    return tree_ ? tree_->Bytes[size_t(i)] : table_->FileSize[size_t(i)];
}

qint64 FigureView::alloc(int i) const {
    return tree_ ? tree_->Alloc[size_t(i)] : table_->AllocSize[size_t(i)];
}

}  // namespace scan
