#pragma once
// Folders held open by descriptor, reached from a drive's root one name at a time, for
// everything that changes the disk (delete, copy, move, trash). No link is ever followed and
// no other mount is ever entered, both checked at the moment of opening; a folder can be held
// to the identity the scan recorded; every change is made relative to a descriptor. Nothing
// here takes a path below the root, so depth has no limit but memory.
#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace platform {

// What a folder or file is, whatever its name: its device and inode.
struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    bool known() const { return device != 0 || inode != 0; }
    bool operator==(const Identity&) const = default;
};

// Errors of Enter beyond the usual: ELOOP a link where a folder stood, ENOTDIR no folder
// there, EXDEV another file system or mount, ESTALE not the folder that was expected.
class FolderChain {
  public:
    FolderChain() = default;
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Opens a drive's root (a drive may be mapped onto a link: the root alone is followed).
    // expect, when given and known: the identity the root must have.
    bool OpenRoot(const QByteArray& nativeRoot, const Identity* expect = nullptr,
                  int* error = nullptr);
    // Enters the subfolder name of the deepest folder; with expect (known), only when it is
    // that folder.
    bool Enter(const QByteArray& name, const Identity* expect = nullptr, int* error = nullptr);
    // Back to the parent. Its descriptor may have been let go (see kOpenBudget): it is opened
    // again through ".." of the folder left and must be the same folder, else the chain is
    // lost (valid() false, ESTALE).
    bool Leave(int* error = nullptr);
    // Closes everything.
    void Reset();

    bool valid() const { return !levels_.empty() && !lost_; }
    // The deepest folder's descriptor; -1 when none.
    int Fd() const { return valid() ? levels_.back().fd : -1; }
    Identity Id() const { return levels_.empty() ? Identity{} : levels_.back().id; }
    // 0 at the root, -1 before it is open.
    int Depth() const { return int(levels_.size()) - 1; }

    // Descriptors held at most below the root: the deepest levels keep theirs.
    static constexpr int kOpenBudget = 48;

  private:
    struct Level {
        int fd = -1;
        Identity id;
        quint64 mount = 0;
        bool mountKnown = false;
    };
    int OpenChild(const Level& parent, const QByteArray& name, Level& out, int& error) const;

    std::vector<Level> levels_;
    size_t firstOpen_ = 1;  // levels below the root from here on hold their descriptors
    bool lost_ = false;
};

// The path the kernel gives for an open folder now (for messages and the trash's record);
// empty when it cannot tell.
QByteArray PathOfDescriptor(int fd);

}  // namespace platform
