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

QString FolderStateTip(const DriveList& list, int record) {
    const FolderTable& t = list.Folders;
    if (record < 0 || record >= std::min(list.ListRowCount - 1, t.bound())) return {};
    const int state = t.State[size_t(record)];
    if (state != kFolderUnreadable && state != kFolderVanished) return {};
    return QStringLiteral("読み取れません: ") + platform::ErrorText(t.StateError[size_t(record)]);
}

}  // namespace scan
