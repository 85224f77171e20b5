#pragma once
// Writing a file so that a failure never costs the older file: the bytes go to a temporary
// file beside it, every write is checked, and only a file that reached the disk whole is
// renamed over the old one. A target that exists and is not a regular file (a device, a
// pipe) is written in place: there is nothing there to keep.
#include <QByteArray>
#include <QIODevice>

#include "platform/FolderChain.h"

namespace platform {

class ReplacingFile {
  public:
    ReplacingFile() = default;
    ~ReplacingFile();  // a file neither committed nor cancelled is cancelled
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open(const QByteArray& nativePath);
    bool write(const char* data, qsizetype size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Flushes to the disk, closes and renames; false (and the old file untouched) on any
    // failure.
    bool commit();
    void cancel();
    // errno of the first failure, 0 while none.
    int error() const { return error_; }
    // While open: the temporary file's name and the identity of its folder (none when the
    // file is written in place), so that a scan of that folder can leave it out.
    const QByteArray& temporaryName() const { return temp_; }
    Identity folderIdentity() const;

  private:
    bool fail(int e);

    QByteArray temp_;  // name in dirFd_; empty when writing in place
    QByteArray name_;
    int dirFd_ = -1;
    int fd_ = -1;
    int error_ = 0;
};

// A standard stream as a device: each write is whole or fails, and its error string is the
// system's reason (a pipe whose reader has gone: Broken pipe), never "Unknown error".
class StreamDevice : public QIODevice {
  public:
    explicit StreamDevice(int fd) : fd_(fd) {}
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

  private:
    int fd_;
};

// Writes all of size bytes to a descriptor, retrying after interruptions. False with errno.
bool WriteFully(int fd, const char* data, qsizetype size);

// A hidden, short, unique name for a file that is written before it is renamed into place.
QByteArray TemporaryName();

// A standard stream that is closed at start would be taken by the next file opened, and a
// report meant for standard output would land in it. Closed streams get /dev/null opened
// on the other direction, so writing to them fails (EBADF) instead.
void GuardStandardStreams();
// Closes standard output and says whether everything written reached it.
bool CloseStdout(int* error);

}  // namespace platform
