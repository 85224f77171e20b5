#pragma once
// The folders of a list's records, opened from the drive's root one name at a time, each
// held to the identity the scan recorded where asked. Records opened one after another in
// the list's order reuse the folders already open, so a subtree costs one opening a folder.
#include <QByteArray>
#include <memory>
#include <vector>

#include "folderops/SubtreeWalk.h"
#include "platform/FolderChain.h"
#include "scan/FolderTable.h"

namespace folderops {

class RecordChain {
  public:
    // checkIds: every folder on the way must be the one the scan listed (else ESTALE).
    RecordChain(const scan::FolderTable& table, bool checkIds);

    // Opens record r; false with errno in error: ENOENT gone, ESTALE not the listed folder,
    // ELOOP or ENOTDIR a link or no folder there now, EXDEV another mount, else unreadable.
    // After a failure the chain holds the deepest folder on the way that did open.
    bool Open(int r, int* error = nullptr);
    // Opens the parent of record r (the record's own name on disk is the table's native(r)).
    bool OpenParent(int r, int* error = nullptr);
    // The chain at the last record opened; walks below it must come back (Leave) before
    // the next Open.
    platform::FolderChain& Chain() { return chain_; }
    // The record at the chain's deepest level, -1 when nothing is open.
    int Record() const { return records_.empty() ? -1 : records_.back(); }
    // The listed subfolders of each record, found once per run when first asked for.
    const ListedChildren& Children();

  private:
    const scan::FolderTable& t_;
    bool checkIds_;
    platform::FolderChain chain_;
    std::vector<int> records_;  // the record at each level of chain_
    std::unique_ptr<ListedChildren> children_;
};

}  // namespace folderops
