#pragma once
// Fast listing of the folders below one drive root, for the folder scan. Every folder is
// opened relative to its parent's open descriptor, one name at a time, without following
// any link and without crossing a mount, so that depth has no limit but memory, several
// threads may read at once and no path is walked twice.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct statx;

namespace platform {

// A listed folder that its subfolders are opened from. Its descriptor stays open while
// subfolders wait to be opened (within a budget); without one they are opened from the
// nearest ancestor that has one.
struct DirNode;
using DirRef = std::shared_ptr<DirNode>;

// One entry that is not a folder, with what an export of the scan needs (see
// DirReader::setDetail).
struct FileDetail {
    QByteArray nativeName;
    qint64 size = 0;
    qint64 allocated = 0;  // what the file system allocated for it (st_blocks × 512)
    quint64 inode = 0;
    quint32 links = 1;
    bool regular = true;   // false for links, devices, pipes and sockets
    bool examined = true;  // false when the entry could not be examined (size 0)
};

// A file with other names (hard links) among a folder's files.
struct LinkedEntry {
    quint32 index = 0;  // in the folder's files
    quint32 links = 0;  // its names on the file system
    quint64 inode = 0;
};

struct DirListing {
    struct Sub {
        QByteArray nativeName;
        QString name;  // program name (PathMap)
    };
    bool ok = false;  // false: the folder could not be read (error holds errno)
    int error = 0;
    // The folder itself, once opened.
    quint64 device = 0;
    quint64 inode = 0;
    std::vector<qint64> fileSizes;  // files, links and special files: their own sizes
    std::vector<qint64> fileAlloc;  // the same entries: their allocated bytes
    // The entries of fileSizes with other names (hard links).
    std::vector<LinkedEntry> linked;
    qint64 ownAlloc = 0;    // the folder's own allocated bytes
    std::vector<Sub> dirs;  // real directories, "." and ".." left out
    // The same entries as fileSizes, in the same order, when the reader gives detail.
    std::vector<FileDetail> files;
    // Where the subfolders are opened from; empty when there are none.
    DirRef node;
};

class DirReader {
  public:
    // Opens the drive root (a link given as the root itself is followed).
    explicit DirReader(const QByteArray& nativeRoot);
    ~DirReader();
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    bool valid() const { return rootFd_ >= 0; }
    int error() const { return error_; }
    quint64 rootDevice() const { return rootDevice_; }
    quint64 rootInode() const { return rootInode_; }

    // Every later read also fills DirListing::files (names, inodes, link counts). Off by
    // default: a scan that needs sizes only keeps its speed.
    void setDetail(bool detail) { detail_ = detail; }
    bool detail() const { return detail_; }

    // Lists the root (parent empty) or the subfolder name of a listed folder. Returns
    // early, with ok false, when cancel becomes true. Safe to call from several threads.
    // Opening a subfolder also ends its claim on the parent (see claim).
    void read(const DirRef& parent, const QByteArray& name, DirListing& out,
              const std::atomic<bool>* cancel = nullptr);
    // The scan will open count subfolders of a listed folder (each by read or by drop);
    // the folder's descriptor is closed when the last has been.
    void claim(const DirRef& node, size_t count);
    // A subfolder that will not be read after all.
    void drop(const DirRef& parent);

    // Descriptors kept open for subfolders at most (besides the root's).
    static constexpr int kKeptBudget = 256;

  private:
    // refused (if given) receives the entry of name when name itself cannot be opened.
    int openChild(const DirRef& parent, const QByteArray& name, int& error,
                  struct statx* refused = nullptr);
    int openOne(int dirFd, const QByteArray& name, int& error) const;
    void release(DirNode* node);  // mutex held

    int rootFd_ = -1;
    int error_ = 0;
    quint64 rootDevice_ = 0;
    quint64 rootInode_ = 0;
    quint64 rootMount_ = 0;
    bool rootMountKnown_ = false;
    bool detail_ = false;
    DirRef rootNode_;
    std::mutex mutex_;
    std::shared_ptr<std::atomic<int>> kept_;
};

// Forces the walk that opens one name at a time with openat, as on kernels without
// openat2 (for tests; the environment variable FOLDEX_NO_OPENAT2=1 does the same).
void ForceOpenatFallback(bool force);
// Takes FOLDEX_NO_OPENAT2 from the environment.
void ReadOpenatSetting();

// Opens the real folder name inside the open folder dirFd: never through a link, never onto
// another mount where the kernel can refuse it (openat2), else plain openat with O_NOFOLLOW
// (the caller then checks device and mount). -1 with errno in error.
int OpenSubfolder(int dirFd, const QByteArray& name, int& error);

// True for errors that say the device itself is gone (a removed medium), not a folder.
bool DeviceGone(int error);

// True when the standard error stream is a terminal.
bool StdErrIsTerminal();

}  // namespace platform
