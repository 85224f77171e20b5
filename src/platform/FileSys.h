#pragma once
// Listing and file operations on native paths. Nothing here follows a symbolic link:
// a link is a file of its own size, an entry is a folder only when it is a real
// directory.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/FolderChain.h"

namespace platform {

// Attribute bits with the platform values the program tests.
enum Attribute : std::uint32_t {
    kAttrReadOnly = 0x01,   // no owner write permission
    kAttrHidden = 0x02,     // leading dot
    kAttrSystem = 0x04,     // never set here
    kAttrDirectory = 0x10,  // a real directory
    kAttrNormal = 0x80,     // none of the above
};

struct DirEntry {
    QString name;           // program name (PathMap)
    QByteArray nativeName;  // the bytes on disk
    std::uint32_t attributes = 0;
    bool isDir = false;
    bool isLink = false;
    bool regular = false;  // a plain file (not a link, device, pipe or socket)
    qint64 size = 0;       // bytes; a link's own length
    qint64 allocated = 0;  // what the file system allocated for it (st_blocks × 512)
    quint32 links = 1;     // its names (hard links)
    qint64 mtime = 0;      // seconds since the epoch
    quint64 device = 0;
    quint64 inode = 0;
};

// "*" and "?" as the platform's find calls match them, case-insensitively; "*.*"
// matches every name.
bool MatchPattern(const QString& pattern, const QString& name);

// Lists the entries of a native folder whose program names match pattern, "." and
// ".." left out. Returns false (with errno in *error) when the folder cannot be read.
bool ListDir(const QByteArray& nativeDir, const QString& pattern, std::vector<DirEntry>& out,
             int* error = nullptr);

// The entry at a native path, not following a final link. False when it does not exist.
bool StatEntry(const QByteArray& nativePath, DirEntry& out, int* error = nullptr);

bool SetAttributesNormal(const QByteArray& nativePath, int* error = nullptr);  // owner may write
bool DeleteFileNative(const QByteArray& nativePath, int* error = nullptr);     // never a folder
bool MakeDirNative(const QByteArray& nativePath, int* error = nullptr);

// Copies a regular file through a temporary file in the destination's folder, keeping
// the modification time and permission bits, and renames it over the destination at
// the end: a failed copy leaves the old destination as it was and no temporary file.
//
// With deferSync a new file (nothing at the destination yet) is not flushed one by one: the
// caller flushes the whole file system once with SyncFileSystem before it reports the copies
// done. A file that replaces another is always flushed before the rename.
bool CopyFileNative(const QByteArray& source, const QByteArray& destination, int* error = nullptr,
                    bool deferSync = false);

// Writes everything cached for the file system that holds nativePath to the disk. False
// (with errno) when the file system reports a failed write-back.
bool SyncFileSystem(const QByteArray& nativePath, int* error = nullptr);

// Reads a whole regular file, never through a link: false with errno in *error when it cannot
// be read, is a link (ELOOP) or not a regular file (EINVAL), or holds more than limit bytes
// (EFBIG).
bool ReadRegularFile(const QByteArray& nativePath, QByteArray& out, qint64 limit,
                     int* error = nullptr);
// What a descriptor or a path (links followed) leads to; stream: a pipe, socket or device,
// whose bytes can be read only once. False when it cannot be examined.
bool IdentityOf(int fd, Identity& out, bool* stream = nullptr);
bool IdentityOf(const QByteArray& nativePath, Identity& out, bool* stream = nullptr);

// The same operations relative to an open folder (a FolderChain's descriptor), for
// everything that changes the disk: names only, never a path, never a link followed.
// kindsOnly: names and kinds (folder, link, other) only, as the folder's entries tell them,
// without examining each entry (sizes, times and identities stay 0).
bool ListAt(int dirFd, std::vector<DirEntry>& out, int* error = nullptr, bool kindsOnly = false);
bool StatAt(int dirFd, const QByteArray& name, DirEntry& out, int* error = nullptr);
// The open folder fd itself.
bool StatOpen(int fd, DirEntry& out, int* error = nullptr);
// Removes the entry name (a file or a link itself, never a folder); with expect, only while
// it is still that entry (else ESTALE).
bool DeleteFileAt(int dirFd, const QByteArray& name, const Identity* expect = nullptr,
                  int* error = nullptr);
// Removes the empty folder name; with expect, only while it is still that folder.
bool RemoveDirAt(int dirFd, const QByteArray& name, const Identity* expect = nullptr,
                 int* error = nullptr);
bool MakeDirAt(int dirFd, const QByteArray& name, int* error = nullptr, unsigned mode = 0777);
// CopyFileNative between open folders; copied receives the source file's identity. The copy
// keeps the source's owner and group where the caller may give them (root), else becomes the
// caller's without set-user-ID or set-group-ID bits; holes stay holes. keepFd, when given,
// receives a descriptor (O_PATH) of the new file for LinkCopyAt, -1 when none could be had.
bool CopyFileAt(int sourceDir, const QByteArray& name, int destDir, const QByteArray& destName,
                int* error = nullptr, bool deferSync = false, Identity* copied = nullptr,
                int* keepFd = nullptr);
// Gives the file open as fileFd the further name destName (replacing a file, never a folder):
// hard links among copied files stay links.
bool LinkCopyAt(int fileFd, int destDir, const QByteArray& destName, int* error = nullptr);
// Gives a copied folder its source's owner (where the caller may), mode and times, with the
// same rule for set-ID bits as CopyFileAt: done once its contents are in.
bool CopyFolderAttributes(int sourceFd, int destFd, int* error = nullptr);
// Copies a symbolic link as a link (its target text unchanged, never followed), through a
// temporary name renamed over the destination; a folder at the destination is refused.
bool CopyLinkAt(int sourceDir, const QByteArray& name, int destDir, const QByteArray& destName,
                int* error = nullptr);

// The system's description of an errno value.
QString ErrorText(int error);

}  // namespace platform
