#pragma once
// Fast listing of the folders below one drive root, for the folder scan. Every folder is
// opened relative to the root's open descriptor without following any link and without
// crossing a mount, and its entries are examined relative to the folder's own descriptor,
// so that several threads may read at once and no path is walked twice.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <vector>

namespace platform {

struct DirListing {
    struct Sub {
        QByteArray nativeName;
        QString name;  // program name (PathMap)
        quint64 device = 0;
        quint64 inode = 0;
        bool examined = false;  // device and inode are known
    };
    bool ok = false;  // false: the folder could not be read (error holds errno)
    int error = 0;
    std::vector<qint64> fileSizes;  // files, links and special files: their own sizes
    std::vector<Sub> dirs;          // real directories, "." and ".." left out
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

    // Lists the folder at relative ("" = the root, names joined by '/'). Returns early,
    // with ok false, when cancel becomes true. Safe to call from several threads.
    void read(const QByteArray& relative, DirListing& out,
              const std::atomic<bool>* cancel = nullptr) const;

  private:
    int openRelative(const QByteArray& relative, int& error) const;

    int rootFd_ = -1;
    int error_ = 0;
    quint64 rootDevice_ = 0;
    quint64 rootInode_ = 0;
};

// True for errors that say the device itself is gone (a removed medium), not a folder.
bool DeviceGone(int error);

// True when the standard error stream is a terminal.
bool StdErrIsTerminal();

}  // namespace platform
