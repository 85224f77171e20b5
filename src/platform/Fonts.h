#pragma once
// Windows face names stay in settings and code; this maps them to installed faces.
#include <QString>

namespace platform {
// True when a face of exactly this name is installed.
bool FontInstalled(const QString& face);
// The installed family to use for a Windows face name.
QString ResolveFontFamily(const QString& face);
// True when an installed face of exactly this name is made for Japanese text.
bool FontIsJapanese(const QString& face);
}  // namespace platform
