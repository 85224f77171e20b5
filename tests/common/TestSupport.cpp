#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include "platform/DriveMap.h"

namespace testsupport {

TempDrive::TempDrive(QChar letter) : letter_(letter) {
    root_ = QFile::encodeName(QDir(dir_.path()).canonicalPath());
    const int index = platform::LetterIndex(letter);
    previous_ = platform::Drives().root(index);
    platform::Drives().set(index, root_);
}

TempDrive::~TempDrive() {
    platform::Drives().set(platform::LetterIndex(letter_), previous_);
}

void TempDrive::makeDir(const QByteArray& relative) const {
    QDir().mkpath(QFile::decodeName(root_ + "/" + relative));
}

void TempDrive::writeFile(const QByteArray& relative, const QByteArray& content) const {
    const qsizetype slash = relative.lastIndexOf('/');
    if (slash > 0) makeDir(relative.left(slash));
    WriteAll(root_ + "/" + relative, content);
}

TempHome::TempHome() {
    root_ = QFile::encodeName(QDir(dir_.path()).canonicalPath());
    hadPrevious_ = qEnvironmentVariableIsSet("FOLDEX_HOME");
    previous_ = qgetenv("FOLDEX_HOME");
    qputenv("FOLDEX_HOME", root_);
}

TempHome::~TempHome() {
    if (hadPrevious_) {
        qputenv("FOLDEX_HOME", previous_);
    } else {
        qunsetenv("FOLDEX_HOME");
    }
}

QByteArray ReadAll(const QByteArray& nativePath) {
    QFile f(QFile::decodeName(nativePath));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteAll(const QByteArray& nativePath, const QByteArray& content) {
    QFile f(QFile::decodeName(nativePath));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content);
}

}  // namespace testsupport
