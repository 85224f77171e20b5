#pragma once
// The files of a copy run that have further names still to come: each later name becomes a
// link to the first copy, as it is a link to the same file at the source.
#include <QtGlobal>
#include <map>
#include <utility>

namespace folderops {

class LinkedCopies {
  public:
    LinkedCopies() = default;
    ~LinkedCopies() { Clear(); }
    LinkedCopies(const LinkedCopies&) = delete;
    LinkedCopies& operator=(const LinkedCopies&) = delete;

    // The copy of the source file (device, inode), -1 when none is held.
    int Find(quint64 device, quint64 inode) const;
    // Holds fd (taken over) as the copy of a source file with names further names still to
    // come; false (fd closed) when too many are held already.
    bool Add(quint64 device, quint64 inode, int fd, quint32 names);
    // One more name of the file was given its link: the copy is let go after the last.
    void Used(quint64 device, quint64 inode);
    bool Full() const { return held_.size() >= kMostHeld; }
    void Clear();

    // Descriptors held at most: well below a stock open-file limit.
    static constexpr size_t kMostHeld = 256;

  private:
    struct Held {
        int fd = -1;
        quint32 namesLeft = 0;
    };
    std::map<std::pair<quint64, quint64>, Held> held_;
};

}  // namespace folderops
