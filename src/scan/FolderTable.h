#pragma once
// The scan's results: one record per listed folder (parallel arrays indexed by record, in
// pre-order, the drive's root first, the total row's record last) and one entry per file.
// The list's rows refer to records (Order); their text is made only to be drawn or written.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/FolderChain.h"

namespace scan {

// What the scan could do with a folder.
enum FolderState : quint8 {
    kFolderRead = 0,
    kFolderUnreadable = 1,  // not (or not fully) read; StateError says why
    kFolderNotEntered = 2,  // a mount point or another file system, listed but not entered
    kFolderVanished = 3,    // gone (or no longer a folder) by the time it was read
};

// The figures a row shows, as values: its folder's own or, collapsed, the sums of its subtree;
// the total row the drive's totals (it has no subtree total).
struct RowFigures {
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 alloc = 0;
    qint64 subtree = 0;
    bool total = false;
};

struct FolderTable {
    static constexpr int kFirstBound = 100;  // records 0..99
    static constexpr int kGrowStep = 500;

    std::vector<qint32> Level;
    std::vector<qint32> Parent;
    std::vector<quint8> HasChildren;
    std::vector<qint32> FileCount;
    std::vector<qint64> FileSize;
    std::vector<qint64> AllocSize;
    std::vector<qint64> SubtreeTotal;
    std::vector<qint64> ShownAlloc;
    // The folder shown by each row (row-indexed; the total row holds the total's record).
    std::vector<qint32> Order;
    // FolderState of the folder and the errno behind it (0 when read).
    std::vector<quint8> State;
    std::vector<qint32> StateError;
    // The folder as the scan opened it (device and inode; none when not opened): whatever
    // changes the disk acts only on the folder that was listed.
    std::vector<platform::Identity> Id;
    // Subfolders the scan left out by rule (names beginning with "}"): the record they lie in
    // and their native name, so that a report can say so. Few, so kept apart.
    std::vector<std::pair<qint32, QByteArray>> LeftOut;

    int bound() const { return int(Level.size()); }

    // The folder's name as the program shows it (odd bytes and characters carried exactly,
    // see platform::NameFromNative); the root's is the drive's path ("D:\"). Names are given
    // in record order, each once; they live in one block of text, not a string each.
    void setName(int r, QStringView name);
    QStringView name(int r) const;
    // The root's whole native path; every other folder's name on disk follows from its name.
    QByteArray RootNative;
    // The folder's own name on disk (the root: its whole native path).
    QByteArray native(int r) const;
    // The folder's native path, made from the native names of it and its ancestors (never
    // from the shown text); empty for a record that does not exist.
    QByteArray nativePath(int r) const;
    // Gives back the room that growing in steps left over, once the table is complete.
    void squeeze(int records);
    // Empties every array and gives it room for records 0..n-1.
    void reset(int n = kFirstBound);
    // Grows every array by step records, keeping contents.
    void grow(int step = kGrowStep);
    // Grows by kGrowStep steps until record r exists.
    void ensure(int r);

  private:
    QString namePool_;
    std::vector<quint32> nameEnd_;  // where each record's name ends in namePool_
};

// An array of numbers kept in blocks of 64 Ki elements: it grows without moving what it
// holds, so a table of millions of entries never stands twice in memory while it grows.
template <typename T>
class BlockArray {
  public:
    static constexpr size_t kShift = 16;
    static constexpr size_t kBlock = size_t(1) << kShift;

    size_t size() const { return size_; }
    T& operator[](size_t i) { return blocks_[i >> kShift][i & (kBlock - 1)]; }
    const T& operator[](size_t i) const { return blocks_[i >> kShift][i & (kBlock - 1)]; }
    // New elements are zero.
    void resize(size_t n) {
        const size_t blocks = (n + kBlock - 1) >> kShift;
        while (blocks_.size() > blocks) blocks_.pop_back();
        while (blocks_.size() < blocks) blocks_.push_back(std::make_unique<T[]>(kBlock));
        if (n > size_ && (size_ & (kBlock - 1)) != 0) {
            // The rest of the last block that was in use may hold old values.
            const size_t end = std::min(n, (size_ | (kBlock - 1)) + 1);
            for (size_t i = size_; i < end; ++i) (*this)[i] = T();
        }
        size_ = n;
    }
    void assign(size_t n, T zero) {
        Q_ASSERT(zero == T());
        blocks_.clear();
        size_ = 0;
        resize(n);
    }
    void shrink_to_fit() { blocks_.shrink_to_fit(); }

  private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
};

struct FileTable {
    static constexpr int kFirstBound = 1000;
    static constexpr int kGrowStep = 1000;

    BlockArray<qint64> FileBytes;
    BlockArray<qint32> FileOwner;
    qint32 FileTableCount = 0;

    int bound() const { return int(FileBytes.size()); }
    void reset(int n = kFirstBound);
    void grow(int step = kGrowStep);
    // Gives back the room that growing in steps left over.
    void squeeze();
};

}  // namespace scan
