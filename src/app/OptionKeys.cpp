#include "app/OptionKeys.h"

#include "app/Settings.h"
#include "platform/Fonts.h"

namespace app {

const std::vector<OptionKey>& OptionKeys() {
    using E = OptEncoding;
    static const std::vector<OptionKey> keys = {
        {"WIDTH", E::Integer, "7800"},
        {"HEIGHT", E::Integer, "6000"},
        {"PositionX", E::Integer, "300"},
        {"PositionY", E::Integer, "300"},
        {"TitleForeCol", E::Colour, "4210736"},   // 0x404030
        {"TitleBackCol", E::Colour, "14745472"},  // 0xE0FF80
        {"ListForeCol", E::Colour, "0"},
        {"ListBackCol", E::Colour, "16579836"},    // 0xFCFCFC
        {"SelBackCol", E::Colour, "-2147483635"},  // 0x8000000D, system highlight
        {"SelForeCol", E::Colour, "-2147483634"},  // 0x8000000E, system highlight text
        {"ListVLineCol", E::Colour, "11579568"},   // 0xB0B0B0
        {"ListHLineCol", E::Colour, "10526880"},   // 0xA0A0A0
        {"KeiDispV", E::Integer, "1"},
        {"KeiDispH", E::Integer, "0"},
        {"ListLine3D", E::Boolean, "0"},
        {"TreeDisp", E::Boolean, "-1"},
        {"FontName1", E::Text, nullptr},  // machine-dependent: DefaultFontName1()
        {"FontSize1", E::Text, "9.75"},
        {"FontBold1", E::Boolean, "0"},
        {"FontName2", E::Text, "Arial"},
        {"FontSize2", E::Text, "9.0"},
        {"FontBold2", E::Boolean, "-1"},
        {"ShortSpace", E::Boolean, "0"},
        {"SelTypeWin", E::Boolean, "0"},
        {"UseNewWindow", E::Boolean, "-1"},
        {"BackColType", E::Integer, "2"},
        {"COLOR", E::Switch, "ON"},
        {"KB", E::Switch, "OFF"},
        {"MB", E::Switch, "OFF"},
        {"FULL", E::Switch, "OFF"},
        {"ClusterFixedS", E::Text, "--------------------------"},
        {"RemovableList", E::Text, "00000000000000000000000000"},
        {"FindText", E::Text, ""},
        {"FontItalic1", E::Boolean, nullptr},
        {"FontItalic2", E::Boolean, nullptr},
        {"RomanFont", E::Integer, "-1"},
        {"BoldFont", E::Integer, "0"},
        {"SizeIndex", E::Integer, "1"},
        {"GapIndex", E::Integer, "1"},
        {"PrnTree", E::Integer, "1"},
        {"PrnVline", E::Integer, "1"},
        {"PrnHline", E::Integer, "1"},
        {"PrnFrame", E::Integer, "1"},
        {"PrnWrap", E::Integer, "1"},
    };
    return keys;
}

const OptionKey* FindOptionKey(const QString& key) {
    for (const OptionKey& k : OptionKeys()) {
        if (key.compare(QLatin1String(k.key), Qt::CaseInsensitive) == 0) return &k;
    }
    return nullptr;
}

QString DefaultFontName1() {
    static const QString meiryo = QStringLiteral("Meiryo UI");
    return platform::FontInstalled(meiryo) ? meiryo : QStringLiteral("ＭＳ Ｐゴシック");
}

namespace {
QString DefaultText(const char* key) {
    if (QLatin1String(key) == QLatin1String("FontName1")) return DefaultFontName1();
    const OptionKey* k = FindOptionKey(QLatin1String(key));
    return k && k->def ? QString::fromUtf8(k->def) : QString();
}
int DefaultInt(const char* key) {
    return DefaultText(key).toInt();
}
}  // namespace

int OptInt(const char* key) {
    return GetOptInt(QLatin1String(key), DefaultInt(key));
}
bool OptBool(const char* key) {
    return GetOptBool(QLatin1String(key), DefaultInt(key));
}
bool OptSwitch(const char* key) {
    return GetOptSwitch(QLatin1String(key), DecodeSwitch(DefaultText(key)));
}
quint32 OptColour(const char* key) {
    return GetOptColour(QLatin1String(key), quint32(qint32(DefaultInt(key))));
}
QString OptText(const char* key) {
    return GetOpt(QLatin1String(key), DefaultText(key));
}

QString LevelColourKey(int index) {
    return QString::number(index) + QStringLiteral("ForeColor");
}

QString BackgroundColourKey(int index) {
    return QString::number(index).rightJustified(2, u'0') + QStringLiteral("BackColor");
}

}  // namespace app
