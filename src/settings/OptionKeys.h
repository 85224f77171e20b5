#pragma once
// Every key of the settings file with its default, in one table.

#include <QString>
#include <vector>

namespace app {

struct OptionKey {
    const char* key;  // as written in the file ("WIDTH", "FontName1" …)
    const char* def;  // the default as stored text; nullptr when the key has none
};

const std::vector<OptionKey>& OptionKeys();
// The entry of a key (case-insensitive), or nullptr.
const OptionKey* FindOptionKey(const QString& key);

// Defaults that depend on the machine.
QString DefaultFontName1();  // "Meiryo UI" when installed, else "ＭＳ Ｐゴシック"

// Reads a key of the table with the table's default (0 / empty where it has none).
int OptInt(const char* key);
bool OptBool(const char* key);
bool OptSwitch(const char* key);
quint32 OptColour(const char* key);
QString OptText(const char* key);

// Key names of the repeated colour keys.
QString LevelColourKey(int index);       // 0..7 → "0ForeColor"
QString BackgroundColourKey(int index);  // 0..15 → "00BackColor"

}  // namespace app
