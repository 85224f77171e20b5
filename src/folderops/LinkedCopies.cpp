#include "folderops/LinkedCopies.h"

#include <unistd.h>

namespace folderops {

int LinkedCopies::Find(quint64 device, quint64 inode) const {
    const auto it = held_.find({device, inode});
    return it == held_.end() ? -1 : it->second.fd;
}

bool LinkedCopies::Add(quint64 device, quint64 inode, int fd, quint32 names) {
    if (fd < 0) return false;
    if (Full() || names == 0 || held_.count({device, inode})) {
        ::close(fd);
        return false;
    }
    held_[{device, inode}] = {fd, names};
    return true;
}

void LinkedCopies::Used(quint64 device, quint64 inode) {
    const auto it = held_.find({device, inode});
    if (it == held_.end() || --it->second.namesLeft > 0) return;
    ::close(it->second.fd);
    held_.erase(it);
}

void LinkedCopies::Clear() {
    for (auto& [key, held] : held_) ::close(held.fd);
    held_.clear();
}

}  // namespace folderops
