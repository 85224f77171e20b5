#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace platform {

bool FontInstalled(const QString& face) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    return QFontDatabase::families().contains(face, Qt::CaseSensitive);
}

bool FontIsJapanese(const QString& face) {
    return FontInstalled(face) &&
           QFontDatabase::writingSystems(face).contains(QFontDatabase::Japanese);
}

QString ResolveFontFamily(const QString& face) {
    struct Alias {
        const char16_t* windows;
        const char* family;
    };
    static const Alias kAliases[] = {
        {u"ＭＳ Ｐゴシック", "IPAPGothic"}, {u"MS UI Gothic", "IPAPGothic"},
        {u"Meiryo UI", "IPAPGothic"},       {u"ＭＳ ゴシック", "IPAGothic"},
        {u"ＭＳ Ｐ明朝", "IPAPMincho"},     {u"ＭＳ 明朝", "IPAMincho"},
        {u"Arial", "Liberation Sans"},
    };
    for (const Alias& a : kAliases) {
        if (QStringView(face) == QStringView(a.windows)) return QString::fromLatin1(a.family);
    }
    return face;  // fontconfig matches the rest
}

}  // namespace platform
