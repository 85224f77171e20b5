#include "platform/LargeFiles.h"

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

// Heap order: smaller on top; of equal sizes the later added, so the first stays.
struct Entry {
    qint64 size;
    quint64 added;
};
bool Above(const Entry& a, const Entry& b) {
    return a.size != b.size ? a.size > b.size : a.added < b.added;
}

}  // namespace

void LargestKeeper::add(FoundFile file) {
    if (!wants(file.entry.size)) return;
    const quint64 added = added_++;
    // heap_ and order_ move together: sift by hand on index pairs.
    auto less = [&](size_t i, size_t j) {
        return Above({heap_[i].entry.size, order_[i]}, {heap_[j].entry.size, order_[j]});
    };
    auto swap = [&](size_t i, size_t j) {
        std::swap(heap_[i], heap_[j]);
        std::swap(order_[i], order_[j]);
    };
    auto down = [&](size_t i) {
        for (;;) {
            size_t top = i;
            const size_t l = 2 * i + 1, r = 2 * i + 2;
            if (l < heap_.size() && less(top, l)) top = l;
            if (r < heap_.size() && less(top, r)) top = r;
            if (top == i) return;
            swap(i, top);
            i = top;
        }
    };
    if (heap_.size() < n_) {
        heap_.push_back(std::move(file));
        order_.push_back(added);
        for (size_t i = heap_.size() - 1; i > 0;) {
            const size_t p = (i - 1) / 2;
            if (!less(p, i)) break;
            swap(p, i);
            i = p;
        }
        return;
    }
    heap_[0] = std::move(file);
    order_[0] = added;
    down(0);
}

std::vector<FoundFile> LargestKeeper::take() {
    std::vector<size_t> index(heap_.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    std::sort(index.begin(), index.end(), [&](size_t a, size_t b) {
        return Above({heap_[a].entry.size, order_[a]}, {heap_[b].entry.size, order_[b]});
    });
    std::vector<FoundFile> out;
    out.reserve(index.size());
    for (const size_t i : index) out.push_back(std::move(heap_[i]));
    heap_.clear();
    order_.clear();
    return out;
}

bool ReadLargestBelow(FolderChain& chain, size_t n,
                      const std::function<bool(const QByteArray& folder)>& progress,
                      std::vector<FoundFile>& out, int& unreadable) {
    out.clear();
    unreadable = 0;
    if (!chain.valid()) {
        ++unreadable;
        return true;
    }
    LargestKeeper keep(n);
    // One level per open folder: its subfolders still to read. The walk keeps its own stack,
    // so depth has no limit but memory.
    struct Level {
        QByteArray path;
        std::vector<QByteArray> dirs;
        size_t next = 0;
    };
    std::vector<Level> stack;
    const int base = chain.Depth();
    auto read = [&](QByteArray path) {
        Level level;
        level.path = std::move(path);
        std::vector<DirEntry> entries;
        if (!ListAt(chain.Fd(), entries)) ++unreadable;
        for (DirEntry& e : entries) {
            if (e.isDir) {
                level.dirs.push_back(std::move(e.nativeName));
            } else if (e.regular && keep.wants(e.size)) {
                keep.add({level.path, std::move(e)});
            }
        }
        stack.push_back(std::move(level));
    };
    read(QByteArray());
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next >= top.dirs.size()) {
            stack.pop_back();
            if (chain.Depth() > base && !chain.Leave()) break;
            continue;
        }
        const QByteArray& name = top.dirs[top.next++];
        const QByteArray path = top.path.isEmpty() ? name : top.path + '/' + name;
        if (progress && !progress(path)) {
            out = keep.take();
            return false;
        }
        int error = 0;
        if (!chain.Enter(name, nullptr, &error)) {
            // Another file system is listed but not entered, as the scan does.
            if (error != EXDEV) ++unreadable;
            if (!chain.valid()) break;
            continue;
        }
        read(path);
    }
    out = keep.take();
    return true;
}

}  // namespace platform
