#include "scan/FolderTable.h"

namespace scan {

void FolderTable::reset(int n) {
    auto fresh = [n](auto& v) {
        v.clear();
        v.shrink_to_fit();
        v.resize(size_t(n));
    };
    fresh(Level);
    fresh(Parent);
    fresh(HasChildren);
    fresh(FileCount);
    fresh(FileSize);
    fresh(AllocSize);
    fresh(SubtreeTotal);
    fresh(ShownAlloc);
    fresh(Order);
    fresh(RowText);
    fresh(Indent);
    fresh(NativeName);
}

void FolderTable::grow(int step) {
    const size_t n = Level.size() + size_t(step);
    Level.resize(n);
    Parent.resize(n);
    HasChildren.resize(n);
    FileCount.resize(n);
    FileSize.resize(n);
    AllocSize.resize(n);
    SubtreeTotal.resize(n);
    ShownAlloc.resize(n);
    Order.resize(n);
    RowText.resize(n);
    Indent.resize(n);
    NativeName.resize(n);
}

void FolderTable::ensure(int r) {
    while (r >= bound()) grow();
}

void FileTable::reset(int n) {
    FileBytes.assign(size_t(n), 0);
    FileOwner.assign(size_t(n), 0);
    FileTableCount = 0;
}

void FileTable::grow(int step) {
    FileBytes.resize(FileBytes.size() + size_t(step));
    FileOwner.resize(FileOwner.size() + size_t(step));
}

}  // namespace scan
