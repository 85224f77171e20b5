#include "platform/Shell.h"

#include <sys/stat.h>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace platform {

int ShellOpenNative(const QByteArray& nativePath) {
    struct stat st {};
    if (nativePath.isEmpty() || ::stat(nativePath.constData(), &st) != 0) return 2;
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(nativePath));
    return QDesktopServices::openUrl(url) ? 42 : 31;
}

}  // namespace platform
