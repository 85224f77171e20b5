#include "scan/FolderStates.h"

#include <algorithm>

#include "platform/FileSys.h"
#include "platform/PathMap.h"

namespace scan {

QStringList UnreadableFolderLines(const DriveList& list) {
    QStringList lines;
    const FolderTable& t = list.Folders;
    const int records = std::min(list.ListRowCount - 1, t.bound());
    for (int f = 0; f < records; ++f) {
        const int state = t.State[size_t(f)];
        if (state != kFolderUnreadable && state != kFolderVanished) continue;
        lines << QStringLiteral("読み取れません: ") +
                     platform::DisplayName(platform::ArgFromNative(t.nativePath(f))) +
                     QStringLiteral(" (") + platform::ErrorText(t.StateError[size_t(f)]) + u')';
    }
    return lines;
}

QStringList LeftOutFolderLines(const DriveList& list) {
    QStringList lines;
    const FolderTable& t = list.Folders;
    const int records = std::min(list.ListRowCount - 1, t.bound());
    for (const auto& [record, name] : t.LeftOut) {
        if (record >= records) continue;
        const QByteArray parent = t.nativePath(record);
        lines << LeftOutLine(parent.endsWith('/') ? parent + name : parent + '/' + name);
    }
    return lines;
}

QString LeftOutLine(const QByteArray& nativePath) {
    return QStringLiteral("除外: ") + platform::DisplayName(platform::ArgFromNative(nativePath)) +
           QStringLiteral(" (名前が } で始まるフォルダーは数えません)");
}

QString FolderStateTip(const DriveList& list, int record) {
    const FolderTable& t = list.Folders;
    if (record < 0 || record >= std::min(list.ListRowCount - 1, t.bound())) return {};
    const int state = t.State[size_t(record)];
    if (state != kFolderUnreadable && state != kFolderVanished) return {};
    return QStringLiteral("読み取れません: ") + platform::ErrorText(t.StateError[size_t(record)]);
}

}  // namespace scan
