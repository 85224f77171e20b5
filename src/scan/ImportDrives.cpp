#include "scan/ImportDrives.h"

#include <array>

#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/NativeIo.h"
#include "platform/PathMap.h"
#include "settings/Context.h"

namespace scan {
namespace {

std::array<ImportedDrive, 26>& Imports() {
    static std::array<ImportedDrive, 26> imports;
    return imports;
}

}  // namespace

int AddImportedDrive(const QByteArray& nativeFile, ImportReader reader, QString& error) {
    // A pipe (standard input, /dev/fd/N) has no real path; it is read once.
    QByteArray file = nativeFile == "-" ? nativeFile : platform::RealPath(nativeFile);
    if (file.isEmpty()) file = platform::AbsolutePath(nativeFile);
    platform::DirEntry entry;
    if (file != "-" && (!platform::StatEntry(nativeFile, entry) || entry.isDir)) {
        error = QStringLiteral("ファイルがありません: ") +
                platform::DisplayName(platform::ArgFromNative(nativeFile));
        return -1;
    }
    for (int i = 0; i < 26; ++i) {
        if (Imports()[size_t(i)].file == file && platform::DriveType(i) == 3) {
            Imports()[size_t(i)].reader = std::move(reader);
            return i;
        }
    }
    ImportedDrive drive;
    drive.file = file;
    drive.reader = std::move(reader);
    drive.fileName =
        file == "-" ? QStringLiteral("標準入力")
                    : platform::DisplayName(platform::NameFromNative(platform::LastName(file)));
    const int index = platform::AddDetachedDrive(ImportedLabel(drive));
    if (index < 0) {
        error = QStringLiteral("空いているドライブ文字がありません (D: から Z: まで使用中): ") +
                drive.fileName;
        return -1;
    }
    Imports()[size_t(index)] = drive;
    app::Ctx().DriveTypes[size_t(index)] = qint16(platform::DriveType(index));
    return index;
}

const ImportedDrive* ImportedDriveAt(int index) {
    if (index < 0 || index >= 26 || Imports()[size_t(index)].file.isEmpty()) return nullptr;
    // A letter taken by a real drive since (the table was loaded again) is no import.
    if (platform::Drives().has(index)) return nullptr;
    return &Imports()[size_t(index)];
}

const ImportedDrive* ImportedDriveOf(const QString& drive) {
    return drive.isEmpty() ? nullptr : ImportedDriveAt(platform::LetterIndex(drive.at(0)));
}

QString ImportedLabel(const ImportedDrive& drive) {
    return QStringLiteral("取り込んだスキャン %1 (読み取り専用)").arg(drive.fileName);
}

QString ImportedReadOnlyText(const ImportedDrive& drive) {
    return QStringLiteral(
               "このドライブは取り込んだスキャン (%1) です。\n"
               "読み取り専用なので、フォルダーの削除・コピー・移動はできません。")
        .arg(drive.fileName);
}

}  // namespace scan
