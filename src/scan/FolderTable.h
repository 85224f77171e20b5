#pragma once
// The scan's results: one record per listed folder (parallel arrays indexed by row
// number, the drive's root first, the total row last) and one entry per file.
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace scan {

struct FolderTable {
    static constexpr int kFirstBound = 100;  // records 0..99
    static constexpr int kGrowStep = 500;

    std::vector<quint8> Level;
    std::vector<qint32> Parent;
    std::vector<quint8> HasChildren;
    std::vector<qint32> FileCount;
    std::vector<qint64> FileSize;
    std::vector<qint64> AllocSize;
    std::vector<qint64> SubtreeTotal;
    std::vector<qint64> ShownAlloc;
    std::vector<qint32> Order;
    std::vector<QString> RowText;
    std::vector<qint16> Indent;
    // The folder's own name as on disk, for exact access to odd names.
    std::vector<QByteArray> NativeName;

    int bound() const { return int(Level.size()); }
    // Empties every array and gives it room for records 0..n-1.
    void reset(int n = kFirstBound);
    // Grows every array by step records, keeping contents.
    void grow(int step = kGrowStep);
    // Grows by kGrowStep steps until record r exists.
    void ensure(int r);
};

struct FileTable {
    static constexpr int kFirstBound = 1000;
    static constexpr int kGrowStep = 1000;

    std::vector<qint64> FileBytes;
    std::vector<qint32> FileOwner;
    qint32 FileTableCount = 0;

    int bound() const { return int(FileBytes.size()); }
    void reset(int n = kFirstBound);
    void grow(int step = kGrowStep);
};

}  // namespace scan
