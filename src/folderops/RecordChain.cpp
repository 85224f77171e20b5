#include "folderops/RecordChain.h"

#include <algorithm>
#include <cerrno>

namespace folderops {

RecordChain::RecordChain(const scan::FolderTable& table, bool checkIds)
    : t_(table), checkIds_(checkIds) {}

const ListedChildren& RecordChain::Children() {
    if (!children_) children_ = std::make_unique<ListedChildren>(t_);
    return *children_;
}

bool RecordChain::OpenParent(int r, int* error) {
    if (r <= 0 || r >= t_.bound()) {
        if (error) *error = EINVAL;
        return false;
    }
    return Open(t_.Parent[size_t(r)], error);
}

bool RecordChain::Open(int r, int* error) {
    int e = 0;
    if (r < 0 || r >= t_.bound()) {
        if (error) *error = EINVAL;
        return false;
    }
    std::vector<int> path;
    for (int a = r;; a = t_.Parent[size_t(a)]) {
        path.push_back(a);
        if (a == 0) break;
        if (t_.Parent[size_t(a)] >= a || t_.Parent[size_t(a)] < 0) {  // not a tree record
            if (error) *error = EINVAL;
            return false;
        }
    }
    std::reverse(path.begin(), path.end());
    // What is open and not on the way goes; a chain that walked off on its own starts anew.
    if (!chain_.valid() || chain_.Depth() + 1 != int(records_.size())) {
        chain_.Reset();
        records_.clear();
    }
    size_t common = 0;
    while (common < records_.size() && common < path.size() && records_[common] == path[common])
        ++common;
    while (records_.size() > common) {
        if (!chain_.Leave(&e)) {
            chain_.Reset();
            records_.clear();
            common = 0;
            break;
        }
        records_.pop_back();
    }
    for (size_t i = records_.size(); i < path.size(); ++i) {
        const int rec = path[i];
        const platform::Identity* expect = checkIds_ ? &t_.Id[size_t(rec)] : nullptr;
        const bool ok = rec == 0 ? chain_.OpenRoot(t_.RootNative, expect, &e)
                                 : chain_.Enter(t_.native(rec), expect, &e);
        if (!ok) {
            if (error) *error = e;
            return false;
        }
        records_.push_back(rec);
    }
    if (error) *error = 0;
    return true;
}

}  // namespace folderops
