#pragma once
// Opening a file with the program the desktop associates with it.
#include <QByteArray>

namespace platform {
// Returns a code above 32 on success (42), 2 when the file is missing, 31 when no
// program could open it.
int ShellOpenNative(const QByteArray& nativePath);
}  // namespace platform
