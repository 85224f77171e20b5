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
    fresh(State);
    fresh(StateError);
    fresh(Id);
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
    State.resize(n);
    StateError.resize(n);
    Id.resize(n);
}

void FolderTable::ensure(int r) {
    while (r >= bound()) grow();
}

QByteArray FolderTable::nativePath(int r) const {
    if (r < 0 || r >= bound()) return {};
    // Walked up by Parent: the root's record holds the drive's native root.
    std::vector<const QByteArray*> parts;
    for (int f = r; f > 0; f = Parent[size_t(f)]) {
        parts.push_back(&NativeName[size_t(f)]);
        if (Parent[size_t(f)] >= f) return {};  // not a table the scan made
    }
    QByteArray out = NativeName[0];
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!out.endsWith('/')) out += '/';
        out += **it;
    }
    return out;
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
