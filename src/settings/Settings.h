#pragma once
// The settings store: every preference in section "Options" of the settings file.
// Nothing is cached: each read opens the file afresh, each write goes straight to it.

#include <QByteArray>
#include <QString>
#include <optional>

namespace app {

// The native settings file the store reads and writes (set by the entry routine), kept by
// the current application.
void SetSettingsNative(const QByteArray& nativeFile);
QByteArray SettingsNative();

// A value the program keeps for itself outside "Options" (a section of its own).
QString GetStored(const QString& section, const QString& key);
void PutStored(const QString& section, const QString& key, const QString& value);

QString GetOpt(const QString& key, const QString& def);
int GetOptInt(const QString& key, int def);
void PutOpt(const QString& key, const QString& value);
void PutOptInt(const QString& key, int value);
bool GetOptBool(const QString& key, int def);
bool GetOptSwitch(const QString& key, bool def);
void PutOptSwitch(const QString& key, bool value);
// Colours 0x00BBGGRR, or 0x80000000 + n for system colour n; stored as integers.
quint32 GetOptColour(const QString& key, quint32 def);
void PutOptColour(const QString& key, quint32 colour);

// The encodings, for the store and its tests.
QString EncodeInt(qint64 value);  // " 7800", "-1"
// The leading number of a text (blanks skipped, stops at the first character that
// cannot continue a number, 0 when there is none), rounded with halves to even.
// Empty when the value lies outside the signed 32-bit range.
std::optional<qint32> DecodeInt(const QString& text);
bool DecodeSwitch(const QString& text);  // "ON" in any case

}  // namespace app
