#pragma once
// Writing a file so that a failure never costs the older file: the bytes go to a temporary
// file beside it, every write is checked, and only a file that reached the disk whole is
// renamed over the old one. A target that exists and is not a regular file (a device, a
// pipe) is written in place: there is nothing there to keep. The name of an open descriptor
// (/dev/stdout, /dev/fd/N, /proc/PID/fd/N) writes to that descriptor, appending where it
// appends, as a shell redirection does. A file that could not be replaced without splitting
// its hard links or giving it another owner or group is written in place, and only once all
// of it is at hand in an unnamed temporary file; one whose folder this user may not write is
// refused (EACCES) and kept. Links are followed to their target, except a link in a sticky
// folder everyone may write that neither the writer nor the folder's owner made (the
// kernel's protected_symlinks rule): refused with EACCES.
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <sys/stat.h>

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
    // The failure as a person reads it: the system's text and why this class refused, if it did.
    QString errorText() const;
    // While open: the temporary file's name and the identity of its folder (none when the
    // file is written in place), so that a scan of that folder can leave it out.
    const QByteArray& temporaryName() const { return temp_; }
    Identity folderIdentity() const;

  private:
    bool fail(int e);
    bool failClosed(int e);  // cancels, then fails
    bool openDescriptor(int fd);
    bool openForeignDescriptor(const QByteArray& link, bool appends);
    bool openInPlace(const struct stat& st);
    bool openSpool();
    bool commitInPlace();

    QByteArray temp_;  // name in dirFd_; empty when writing in place
    QByteArray name_;
    int dirFd_ = -1;
    int fd_ = -1;      // where the bytes go
    int target_ = -1;  // a file written in place from fd_ (unnamed) at commit
    int error_ = 0;
    enum class Refusal { None, ProtectedLink, FolderNotWritable } refusal_ = Refusal::None;
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

// The kernel's protected_symlinks rule, as a shell redirection meets it: in a sticky folder
// everyone may write, a link is followed only by its owner or when the folder's owner made it.
bool LinkBarred(unsigned folderMode, unsigned folderOwner, unsigned linkOwner, unsigned caller);

// A hidden, short, unique name for a file that is written before it is renamed into place.
QByteArray TemporaryName();

// A standard stream that is closed at start would be taken by the next file opened, and a
// report meant for standard output would land in it. Closed streams get /dev/null opened
// on the other direction, so writing to them fails (EBADF) instead.
void GuardStandardStreams();
// Closes standard output and says whether everything written reached it.
bool CloseStdout(int* error);

}  // namespace platform
