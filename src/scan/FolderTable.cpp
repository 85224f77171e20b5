#include "scan/FolderTable.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "platform/PathMap.h"

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
    fresh(State);
    fresh(StateError);
    fresh(Id);
    LeftOut.clear();
    LeftOut.shrink_to_fit();
    namePool_ = QString();
    nameEnd_.clear();
    nameEnd_.shrink_to_fit();
    RootNative.clear();
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
    State.resize(n);
    StateError.resize(n);
    Id.resize(n);
}

void FolderTable::ensure(int r) {
    while (r >= bound()) grow();
}

void FolderTable::setName(int r, QStringView name) {
    if (r < 0) return;
    // Records that were never named (none in a scan) get an empty name.
    while (nameEnd_.size() < size_t(r)) nameEnd_.push_back(quint32(namePool_.size()));
    if (nameEnd_.size() > size_t(r)) return;  // named already
    if (qint64(namePool_.size()) + name.size() > qint64(std::numeric_limits<quint32>::max()))
        throw std::length_error("folder names");
    namePool_ += name;
    nameEnd_.push_back(quint32(namePool_.size()));
}

QStringView FolderTable::name(int r) const {
    if (r < 0 || size_t(r) >= nameEnd_.size()) return {};
    const quint32 start = r == 0 ? 0 : nameEnd_[size_t(r) - 1];
    return QStringView(namePool_).sliced(start, nameEnd_[size_t(r)] - start);
}

QByteArray FolderTable::native(int r) const {
    if (r == 0) return RootNative;
    return platform::NativeFromName(name(r).toString());
}

QByteArray FolderTable::nativePath(int r) const {
    if (r < 0 || r >= bound()) return {};
    // Walked up by Parent: the root's record holds the drive's native root.
    std::vector<int> parts;
    for (int f = r; f > 0; f = Parent[size_t(f)]) {
        parts.push_back(f);
        if (Parent[size_t(f)] >= f) return {};  // not a table the scan made
    }
    QByteArray out = RootNative;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!out.endsWith('/')) out += '/';
        out += native(*it);
    }
    return out;
}

void FolderTable::squeeze(int records) {
    const size_t n = size_t(std::clamp(records, 0, bound()));
    auto fit = [n](auto& v) {
        v.resize(n);
        v.shrink_to_fit();
    };
    fit(Level);
    fit(Parent);
    fit(HasChildren);
    fit(FileCount);
    fit(FileSize);
    fit(AllocSize);
    fit(SubtreeTotal);
    fit(ShownAlloc);
    fit(Order);
    fit(State);
    fit(StateError);
    fit(Id);
    nameEnd_.shrink_to_fit();
    namePool_.squeeze();
}

void FileTable::reset(int n) {
    FileBytes.assign(size_t(n), 0);
    FileOwner.assign(size_t(n), 0);
    FileTableCount = 0;
}

void FileTable::squeeze() {
    const size_t n = size_t(std::clamp(FileTableCount, 0, bound()));
    FileBytes.resize(n);
    FileBytes.shrink_to_fit();
    FileOwner.resize(n);
    FileOwner.shrink_to_fit();
}

void FileTable::grow(int step) {
    FileBytes.resize(FileBytes.size() + size_t(step));
    FileOwner.resize(FileOwner.size() + size_t(step));
}

}  // namespace scan
