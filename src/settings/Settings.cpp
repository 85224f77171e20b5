#include "settings/Settings.h"

#include <cmath>
#include <limits>

#include "platform/Profile.h"
#include "platform/ProgramDir.h"
#include "settings/Application.h"

namespace app {
namespace {

const QString kSection = QStringLiteral("Options");
constexpr int kMaxValue = 254;  // the store reads through a 255-character buffer

// The store's file belongs to the application.
const QByteArray& Native() {
    return Application::Current().settingsFile();
}

void WriteIn(const QString& section, const QString& key, const QString& value) {
    const QByteArray file = Native();
    if (file.isEmpty()) return;
    const qsizetype slash = file.lastIndexOf('/');
    if (slash > 0) platform::EnsureFolder(file.left(slash));  // the first write creates it
    platform::ProfilePut(file, section, key, value);          // a failed write is not reported
}

void Write(const QString& key, const QString& value) {
    WriteIn(kSection, key, value);
}

// Parses the longest number at the start of s (after blanks) into a double.
double LeadingNumber(const QString& s) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && (s[i] == u' ' || s[i] == u'\t')) ++i;
    QByteArray num;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) num += char(s[i++].unicode());
    qsizetype digits = 0;
    while (i < n && s[i].unicode() >= '0' && s[i].unicode() <= '9')
        num += char(s[i++].unicode()), ++digits;
    if (i < n && s[i] == u'.') {
        num += '.';
        ++i;
        while (i < n && s[i].unicode() >= '0' && s[i].unicode() <= '9')
            num += char(s[i++].unicode()), ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < n && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
        qsizetype j = i + 1;
        QByteArray exp = "e";
        if (j < n && (s[j] == u'+' || s[j] == u'-')) exp += char(s[j++].unicode());
        qsizetype expDigits = 0;
        while (j < n && s[j].unicode() >= '0' && s[j].unicode() <= '9' && expDigits < 6)
            exp += char(s[j++].unicode()), ++expDigits;
        if (expDigits > 0) num += exp;
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    // A number too large for a double is out of every range.
    return ok ? v : std::numeric_limits<double>::infinity();
}

// The raw value: cut at a NUL, at most 254 characters; empty when missing or blank.
QString ReadRaw(const QString& key) {
    if (Native().isEmpty()) return {};
    QString v = platform::ProfileGet(Native(), kSection, key);
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0) v.truncate(nul);
    if (v.size() > kMaxValue) v.truncate(kMaxValue);
    if (v.trimmed().isEmpty()) return {};
    return v;
}

}  // namespace

void SetSettingsNative(const QByteArray& nativeFile) {
    Application::Current().setSettingsFile(nativeFile);
}
QByteArray SettingsNative() {
    return Native();
}

QString EncodeInt(qint64 value) {
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

std::optional<qint32> DecodeInt(const QString& text) {
    const double v = LeadingNumber(text);
    if (!std::isfinite(v)) return std::nullopt;
    const double r = std::nearbyint(v);  // the default rounding: halves to even
    if (r < double(std::numeric_limits<qint32>::min()) ||
        r > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(r);
}

bool DecodeSwitch(const QString& text) {
    return text.toUpper() == QLatin1String("ON");
}

QString GetOpt(const QString& key, const QString& def) {
    const QString v = ReadRaw(key);
    return v.isEmpty() ? def : v;
}

int GetOptInt(const QString& key, int def) {
    const QString v = ReadRaw(key);
    if (v.isEmpty()) return def;
    return DecodeInt(v).value_or(def);  // out of range: the default, not a wrapped value
}

QString GetStored(const QString& section, const QString& key) {
    if (Native().isEmpty()) return {};
    return platform::ProfileGet(Native(), section, key);
}

void PutStored(const QString& section, const QString& key, const QString& value) {
    WriteIn(section, key, value);
}

void PutOpt(const QString& key, const QString& value) {
    Write(key, value);
}
void PutOptInt(const QString& key, int value) {
    Write(key, EncodeInt(value));
}
bool GetOptBool(const QString& key, int def) {
    return GetOptInt(key, def) != 0;
}

bool GetOptSwitch(const QString& key, bool def) {
    const QString v = ReadRaw(key);
    return v.isEmpty() ? def : DecodeSwitch(v);
}

void PutOptSwitch(const QString& key, bool value) {
    Write(key, value ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

quint32 GetOptColour(const QString& key, quint32 def) {
    const QString v = ReadRaw(key);
    if (v.isEmpty()) return def;
    // Stored as a signed integer; an unsigned spelling of a system colour is accepted too.
    const double d = std::nearbyint(LeadingNumber(v));
    if (d >= 0 && d <= 4294967295.0) return quint32(qint64(d));
    if (d < 0 && d >= -2147483648.0) return quint32(qint32(d));
    return def;
}

void PutOptColour(const QString& key, quint32 colour) {
    PutOptInt(key, qint32(colour));
}

}  // namespace app
