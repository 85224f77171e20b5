#pragma once
// Corrects the list in place after folders were emptied or removed: the folder figures are
// read again from the disk for the folders concerned (so the list agrees with a new scan of
// the drive), the subtree totals of every ancestor follow, FileTable keeps only the files
// that remain, and the rows show the new figures (icon 14 for a removed folder).
#include <vector>

#include "scan/DriveList.h"

namespace folderops {

class RecordChain;

class ListFix {
  public:
    // The list's rows must not move while the object lives.
    explicit ListFix(scan::DriveList& list);

    // The folder of row (and with wholeSubtree all its descendant records) emptied or removed.
    void ClearRowSizes(int row, bool wholeSubtree);
    // The total row, the scan totals and the selection figures, then a full repaint.
    void Finish();

    int RowOf(int record) const;
    int Records() const { return records_; }

  private:
    // Reads the folder's own files again (none when its parent is gone); keeps their sizes in
    // kept. Returns the change of its occupied space, for the subtree totals above it.
    qint64 Reread(RecordChain& chain, int f, std::vector<qint64>& kept, bool parentGone);
    void RefreshRow(int f);

    scan::DriveList& list_;
    int records_ = 0;
    std::vector<int> rowOf_;
};

}  // namespace folderops
