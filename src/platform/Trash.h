#pragma once
// The desktop's trash (the freedesktop.org trash), on native byte paths: names that are not
// UTF-8, or hold newlines, backslashes or "%", go in and are recorded byte for byte.
//
// A folder on the home trash's file system goes to $XDG_DATA_HOME/Trash (~/.local/share/Trash);
// one on another file system to $topdir/.Trash/$uid when $topdir/.Trash is a real sticky
// folder, else to $topdir/.Trash-$uid. A top folder's trash of the user's is a real folder of
// theirs that no one else may enter (0700): any other is refused. Every trash folder is
// opened one name at a time from the top folder (or the data folder), no link followed, and
// held by descriptor: the info file is made and the entry renamed through those descriptors,
// so a trash folder swapped for a link or for another one meanwhile is never written through.
// Nothing is ever copied: a move is one rename() on the same file system, or nothing happens.
#include <QByteArray>

#include "platform/FolderChain.h"

namespace platform {

// A trash held open: its files/ and info/ by descriptor.
struct TrashPlace {
    QByteArray root;    // where it is (for messages); empty when the file system has no trash
    QByteArray topdir;  // the file system's top folder; empty for the home trash
    int filesFd = -1;
    int infoFd = -1;

    TrashPlace() = default;
    ~TrashPlace();
    TrashPlace(TrashPlace&& other) noexcept;
    TrashPlace& operator=(TrashPlace&& other) noexcept;
    TrashPlace(const TrashPlace&) = delete;
    TrashPlace& operator=(const TrashPlace&) = delete;

    bool valid() const { return !root.isEmpty() && filesFd >= 0 && infoFd >= 0; }
    QByteArray files() const { return root + "/files"; }
};

// The trash for an absolute native path, made (0700) where missing. Invalid, with errno in
// *error, when the path's file system has no usable trash.
TrashPlace FindTrash(const QByteArray& nativePath, int* error = nullptr);
// The same for what lies in the open folder folderFd (or is that folder, on its parent's file
// system); the top folder is found through ".." from it.
TrashPlace FindTrashAt(int folderFd, int* error = nullptr);

// The first mount point at or below a native folder (a bind mount of the folder itself
// included), from the system's table as it is now; empty when there is none. ok false when the
// table cannot be read.
QByteArray MountBelow(const QByteArray& nativeFolder, bool* ok = nullptr);

// Moves a file or folder (never followed when a link) into the trash: info/NAME.trashinfo is
// written first under a name no other entry has, then the entry is renamed to files/NAME; a
// failed rename removes the info file again. A folder that is or holds a mount point is
// refused (EBUSY). False with errno on failure, and nothing changed; trashedAs receives
// files/NAME on success.
bool MoveToTrash(const TrashPlace& trash, const QByteArray& nativePath,
                 QByteArray* trashedAs = nullptr, int* error = nullptr);

// The same for the entry name of the open folder parentFd (see FolderChain), recorded as
// path (absolute) and moved only while it is still expect (else ESTALE). The caller has made
// sure that a folder holds no mount.
bool MoveToTrashAt(const TrashPlace& trash, int parentFd, const QByteArray& name,
                   const QByteArray& path, const Identity* expect = nullptr,
                   QByteArray* trashedAs = nullptr, int* error = nullptr);

// The Path value of a trash info file: every byte but the unreserved ones and "/"
// percent-encoded.
QByteArray TrashInfoPath(const QByteArray& path);

}  // namespace platform
