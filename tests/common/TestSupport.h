#pragma once
// Shared fixtures: temporary folders mapped as drive letters, a temporary program folder.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>

namespace testsupport {

// A temporary native folder mapped as a drive letter for the life of the object.
class TempDrive {
  public:
    explicit TempDrive(QChar letter = u'T');
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    QByteArray native() const { return root_; }  // native root, no trailing '/'
    QString drive() const { return QString(letter_) + QLatin1Char(':'); }  // "T:"
    // Writes a file (native relative path) with the given content; creates parent folders.
    void writeFile(const QByteArray& relative, const QByteArray& content = {}) const;
    void makeDir(const QByteArray& relative) const;

  private:
    QTemporaryDir dir_;
    QChar letter_;
    QByteArray root_;
    QByteArray previous_;
};

// Sets FOLDEX_HOME to a fresh temporary folder for the life of the object.
class TempHome {
  public:
    TempHome();
    ~TempHome();
    QByteArray native() const { return root_; }
    QByteArray settingsFile() const { return root_ + "/FOLDEX.Opt"; }

  private:
    QTemporaryDir dir_;
    QByteArray root_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

// Called first in main: an ordinary user enters a user and mount namespace of its own and
// keeps only the right to mount there, so tests that mount a tmpfs or bind a folder run for
// everyone and permissions still bind as for that user. Root stays where it is.
void EnterOwnMountNamespace();
// Why a mount may fail here: empty when mounting is expected to work.
const std::string& MountUnavailableReason();

QByteArray ReadAll(const QByteArray& nativePath);
// Runs body in a forked child process (for changes to the process that must not outlive the
// body: its user, environment, locale). A failure in the child fails the calling test.
void RunInChild(const std::function<void()>& body);
// Runs body in a child process that has dropped to the unprivileged user "nobody" when this
// process is root, so that permissions bind even in CI; as another user the child keeps it.
// Temporary folders the body needs must be made inside it. A failure in the child fails the
// calling test.
void RunUnprivileged(const std::function<void()>& body);
// Writes a file (a native path, byte for byte); a failure fails the calling test.
void WriteAll(const QByteArray& nativePath, const QByteArray& content);
// Makes count sparse files "huge0", "huge1", ... of size bytes in a folder; false when one
// could not be made.
bool MakeSparseFiles(const QByteArray& folder, int count, qint64 size);
// What the file system allocated for an entry (st_blocks × 512, links not followed); -1 when it
// cannot be examined. Expected figures come from here: a folder takes 4096 bytes on ext4 but
// none on a tmpfs.
qint64 AllocatedBytes(const QByteArray& nativePath);
// The same for a folder and everything in it, at any depth (each name counted; no links
// followed, no mounts crossed).
qint64 AllocatedTree(const QByteArray& nativePath);
// Removes a folder with everything in it, at any depth and whatever its modes (links are
// removed, never followed).
void RemoveTree(const QByteArray& nativePath);

}  // namespace testsupport
