#include "settings/RecentFolders.h"

#include <QString>
#include <algorithm>

#include "settings/Settings.h"

namespace app {
namespace {

const QString kSection = QStringLiteral("RecentFolders");

QString Key(int i) {
    return QString::number(i + 1);
}

}  // namespace

std::vector<QByteArray> RecentFolders() {
    std::vector<QByteArray> folders;
    for (int i = 0; i < kRecentFolders; ++i) {
        const QByteArray value =
            QByteArray::fromPercentEncoding(GetStored(kSection, Key(i)).toLatin1());
        if (!value.startsWith('/') ||
            std::find(folders.begin(), folders.end(), value) != folders.end())
            continue;
        folders.push_back(value);
    }
    return folders;
}

void RememberFolder(const QByteArray& nativeFolder) {
    if (!nativeFolder.startsWith('/')) return;
    std::vector<QByteArray> folders = RecentFolders();
    folders.erase(std::remove(folders.begin(), folders.end(), nativeFolder), folders.end());
    folders.insert(folders.begin(), nativeFolder);
    for (int i = 0; i < kRecentFolders; ++i) {
        const QByteArray value =
            size_t(i) < folders.size() ? folders[size_t(i)].toPercentEncoding("/") : QByteArray();
        PutStored(kSection, Key(i), QString::fromLatin1(value));
    }
}

}  // namespace app
