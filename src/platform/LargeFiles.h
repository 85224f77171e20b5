#pragma once
// The largest plain files below a folder, read from the disk: folders are entered one name
// at a time from an open folder, never through a link and never onto another file system.
#include <QByteArray>
#include <functional>
#include <vector>

#include "platform/FileSys.h"
#include "platform/FolderChain.h"

namespace platform {

struct FoundFile {
    QByteArray folder;  // its folder below the one read ("a/b"; empty: directly in it)
    DirEntry entry;     // name, size, allocated bytes, time, links
};

// Keeps the n largest of the files it is given (equal sizes: the first given stays).
class LargestKeeper {
  public:
    explicit LargestKeeper(size_t n) : n_(n) {}
    // True when the file would be kept (so the caller need not make one).
    bool wants(qint64 size) const { return n_ > 0 && (heap_.size() < n_ || size > least()); }
    void add(FoundFile file);
    // Largest first; the keeper is empty afterwards.
    std::vector<FoundFile> take();

  private:
    qint64 least() const { return heap_.front().entry.size; }
    size_t n_;
    std::vector<FoundFile> heap_;  // the smallest kept on top
    quint64 added_ = 0;
    std::vector<quint64> order_;  // when each kept file was added, beside heap_
};

// Reads the folder open at the chain's deepest level and every folder below it for its n
// largest plain files. progress is told each folder before it is read (below the first);
// returning false stops the read (the result is false). unreadable counts folders that
// could not be opened or listed; a mount or another file system is not entered.
bool ReadLargestBelow(FolderChain& chain, size_t n,
                      const std::function<bool(const QByteArray& folder)>& progress,
                      std::vector<FoundFile>& out, int& unreadable);

}  // namespace platform
