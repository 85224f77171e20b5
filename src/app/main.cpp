// FOLDEX: how the space of a drive is spread over its folders.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "app/Context.h"
#include "app/Startup.h"

namespace {

void PrintLine(const QString& s) {
    std::printf("%s\n", s.toLocal8Bit().constData());
}

QString VersionLine() {
    return QStringLiteral("FOLDEX Ver.") +
           app::BuildVersionText(app::kVersionMajor, app::kVersionMinor, app::kVersionRevision);
}

void PrintUsage() {
    PrintLine(QStringLiteral("使い方: foldex [ドライブ]"));
    PrintLine(QStringLiteral("  ドライブ     D: や D:\\TEMP、またはフォルダーのパス"));
    PrintLine(QStringLiteral("  --version    バージョンを表示して終了"));
    PrintLine(QStringLiteral("  --help       この説明を表示して終了"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QStringList args = qapp.arguments();
    args.removeFirst();
    for (const QString& a : args) {
        if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            PrintLine(VersionLine());
            return 0;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            PrintUsage();
            return 0;
        }
        if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "foldex: 不明なオプション: %s\n", a.toLocal8Bit().constData());
            PrintUsage();
            return 2;
        }
    }
    app::EntryRoutine();
    PrintLine(VersionLine());
    PrintLine(QStringLiteral("設定ファイル: ") + app::Ctx().SettingsFile);
    return 0;
}
