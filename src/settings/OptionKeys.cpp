#include "settings/OptionKeys.h"

#include "platform/Fonts.h"
#include "settings/Settings.h"

namespace app {

const std::vector<OptionKey>& OptionKeys() {
    static const std::vector<OptionKey> keys = {
        {"WIDTH", "7800"},
        {"HEIGHT", "6000"},
        {"PositionX", "300"},
        {"PositionY", "300"},
        {"TitleForeCol", "4210736"},   // 0x404030
        {"TitleBackCol", "14745472"},  // 0xE0FF80
        {"ListForeCol", "0"},
        {"ListBackCol", "16579836"},    // 0xFCFCFC
        {"SelBackCol", "-2147483635"},  // 0x8000000D, system highlight
        {"SelForeCol", "-2147483634"},  // 0x8000000E, system highlight text
        {"ListVLineCol", "11579568"},   // 0xB0B0B0
        {"ListHLineCol", "10526880"},   // 0xA0A0A0
        {"KeiDispV", "1"},
        {"KeiDispH", "0"},
        {"ListLine3D", "0"},
        {"TreeDisp", "-1"},
        {"FontName1", nullptr},  // machine-dependent: DefaultFontName1()
        {"FontSize1", "9.75"},
        {"FontBold1", "0"},
        {"FontName2", "Arial"},
        {"FontSize2", "9.0"},
        {"FontBold2", "-1"},
        {"ShortSpace", "0"},
        {"SelTypeWin", "0"},
        {"UseNewWindow", "-1"},
        {"BackColType", "2"},
        {"COLOR", "ON"},
        {"KB", "OFF"},
        {"MB", "OFF"},
        {"GB", "OFF"},
        {"FULL", "OFF"},
        {"ClusterFixedS", "--------------------------"},
        {"RemovableList", "00000000000000000000000000"},
        {"FindText", ""},
        {"FontItalic1", nullptr},
        {"FontItalic2", nullptr},
        {"RomanFont", "-1"},
        {"BoldFont", "0"},
        {"SizeIndex", "1"},
        {"GapIndex", "1"},
        {"PrnTree", "1"},
        {"PrnVline", "1"},
        {"PrnHline", "1"},
        {"PrnFrame", "1"},
        {"PrnWrap", "1"},
        {"UseTrash", "0"},        // deleted folders go to the desktop's trash
        {"ShareBar", "0"},        // a bar of each folder's share of its parent's total
        {"KeepSnapshots", "-1"},  // a snapshot of each complete listing, for comparisons
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
