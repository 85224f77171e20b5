#pragma once
// The folders last opened as drives of their own, most recent first, kept in section
// [RecentFolders] of the settings file (native paths, percent-encoded so that any byte,
// a line break included, comes back as it was).
#include <QByteArray>
#include <vector>

namespace app {

inline constexpr int kRecentFolders = 8;

std::vector<QByteArray> RecentFolders();
// Puts a folder first; it appears once, and the oldest beyond eight is dropped.
void RememberFolder(const QByteArray& nativeFolder);

}  // namespace app
