#pragma once
// The largest files below a listed folder. Where the scan kept its file sizes, the largest
// sizes are picked from them and only the folders that hold those files are listed again
// (for names, times and links); otherwise the folder's subtree is read again. The scan
// itself keeps nothing more for this.
#include <QAbstractTableModel>
#include <QByteArray>
#include <functional>
#include <vector>

#include "scan/DriveList.h"

namespace scan {

inline constexpr size_t kLargestShown = 100;

struct LargeFile {
    QByteArray below;  // its folder below the listed folder ("a/b"; empty: directly in it)
    QByteArray name;   // on disk
    qint64 size = 0;
    qint64 allocated = 0;
    qint64 mtime = 0;  // seconds since the epoch
    quint32 links = 1;
};

struct LargestFiles {
    std::vector<LargeFile> files;  // largest first
    bool fromScan = false;         // the sizes came from the scan's table
    bool stopped = false;          // the read was stopped: what was found so far
    int vanished = 0;              // files of the scan not there any more (left out)
    int unreadable = 0;            // folders that could not be read
    int error = 0;                 // errno when the folder itself could not be opened
};

// True when the scan's file table holds every file below record.
bool SizesKept(const DriveList& list, int record);

// The n largest plain files below record (links are never followed, other file systems
// never entered). progress names each folder read again; false from it stops the read.
LargestFiles FindLargestFiles(const DriveList& list, int record, size_t n,
                              const std::function<bool(const QString& folder)>& progress = {});

// The native path of a found file below record.
QByteArray LargeFilePath(const DriveList& list, int record, const LargeFile& file);

// The list of the largest-files window: name, size, occupied space, modification time and
// the folder below the listed one; sorted by any column; sizes in the list's unit.
class LargestModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Name, Size, Allocated, Time, Folder, ColumnCount };
    LargestModel(std::vector<LargeFile> files, int unitMode, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    const LargeFile& file(int row) const { return files_[size_t(row)]; }

  private:
    std::vector<LargeFile> files_;
    int unitMode_;
};

}  // namespace scan
