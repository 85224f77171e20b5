#pragma once
// Small native file helpers shared inside the platform layer.
#include <QByteArray>

namespace platform {
// Reads a whole file; stops after limit bytes. missing tells a file that does not exist.
bool ReadWholeFile(const QByteArray& path, QByteArray& out, qsizetype limit = qsizetype(1) << 30,
                   bool* missing = nullptr);
// The resolved path (links followed), or empty when it does not exist.
QByteArray RealPath(const QByteArray& path);
// An absolute, normalised path; a relative one is taken from the current folder.
QByteArray AbsolutePath(const QByteArray& path);
// The last name of a path: what follows its last '/'.
QByteArray LastName(const QByteArray& path);
// Closes a descriptor (none when negative) without disturbing errno.
void CloseQuietly(int fd);
}  // namespace platform
