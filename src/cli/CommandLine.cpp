#include "cli/CommandLine.h"

#include <QStringView>

#include "scan/SizeFormat.h"
#include "settings/Context.h"

namespace cli {
namespace {

constexpr unsigned Bit(Command c) {
    return 1u << unsigned(c);
}

using Take = bool (*)(const QString& value, ReportOptions& o, QString& error);

struct Option {
    const char16_t* name;
    Command names;           // the command the option names; Window when it names none
    unsigned where;          // the commands it belongs to (Bit), for one that names none
    bool value;              // takes the next argument
    const char16_t* needed;  // said when the value is missing, else "X には値が必要です"
    Take take;
};

constexpr const char16_t* kExportFileNeeded =
    u"--export には書き出すファイル名 (標準出力は -) が必要です";
constexpr const char16_t* kOneImport = u"--import にはエクスポートファイルを一つ指定します";

const Option kOptions[] = {
    {u"--version", Command::Version, 0, false, nullptr, nullptr},
    {u"-v", Command::Version, 0, false, nullptr, nullptr},
    {u"--help", Command::Help, 0, false, nullptr, nullptr},
    {u"-h", Command::Help, 0, false, nullptr, nullptr},
    {u"--drives", Command::Drives, 0, false, nullptr, nullptr},
    {u"--export", Command::Export, 0, true, kExportFileNeeded,
     [](const QString& v, ReportOptions& o, QString& error) {
         if (v.isEmpty()) error = QString::fromUtf16(kExportFileNeeded);
         o.output = v;
         return !v.isEmpty();
     }},
    {u"--report", Command::Report, 0, false, nullptr, nullptr},
    {u"--import", Command::Window, Bit(Command::Window) | Bit(Command::Report), true, kOneImport,
     [](const QString& v, ReportOptions& o, QString& error) {
         if (v.isEmpty() || !o.importFile.isEmpty()) {
             error = QString::fromUtf16(kOneImport);
             return false;
         }
         o.importFile = v;
         return true;
     }},
    {u"--csv", Command::Window, Bit(Command::Report), false, nullptr,
     [](const QString&, ReportOptions& o, QString&) {
         o.csv = true;
         return true;
     }},
    {u"--full-path", Command::Window, Bit(Command::Report), false, nullptr,
     [](const QString&, ReportOptions& o, QString&) {
         o.fullPath = true;
         return true;
     }},
    {u"--output", Command::Window, Bit(Command::Report), true, nullptr,
     [](const QString& v, ReportOptions& o, QString& error) {
         if (v.isEmpty()) error = QStringLiteral("--output のファイル名が空です");
         o.output = v;
         return !v.isEmpty();
     }},
    {u"--level", Command::Window, Bit(Command::Report), true, nullptr,
     [](const QString& v, ReportOptions& o, QString& error) {
         bool ok = false;
         o.level = v.toInt(&ok);
         if (ok && o.level >= 0) return true;
         error = QStringLiteral("--level は 0 以上の数です: ") + v;
         return false;
     }},
    {u"--unit", Command::Window, Bit(Command::Report), true, nullptr,
     [](const QString& v, ReportOptions& o, QString& error) {
         const QString u = v.toUpper();
         o.unit = u == u"KB" ? 1 : u == u"MB" ? 2 : u == u"GB" ? scan::kUnitGB : 0;
         if (o.unit == 0) error = QStringLiteral("--unit は KB か MB か GB です: ") + v;
         return o.unit != 0;
     }},
    {u"--sort", Command::Window, Bit(Command::Report), true, nullptr,
     [](const QString& v, ReportOptions& o, QString& error) {
         o.sort = v == u"size" ? 1 : v == u"total" ? 2 : v == u"growth" ? kSortGrowth : 0;
         if (o.sort == 0) error = QStringLiteral("--sort は size か total か growth です: ") + v;
         return o.sort != 0;
     }},
    {u"--compare", Command::Window, Bit(Command::Report), true, nullptr,
     [](const QString& v, ReportOptions& o, QString& error) {
         if (v.isEmpty()) error = QStringLiteral("--compare の比較先が空です");
         o.compare = v;
         return !v.isEmpty();
     }},
    {u"--changed", Command::Window, Bit(Command::Report), false, nullptr,
     [](const QString&, ReportOptions& o, QString&) {
         o.changedOnly = true;
         return true;
     }},
};

const Option* Find(const QString& arg) {
    for (const Option& o : kOptions)
        if (arg == QStringView(o.name)) return &o;
    return nullptr;
}

// Which command wins when several are named: the version or the usage wherever they stand
// (the first of them), then the drive overview, the export and the report.
int Rank(Command c) {
    switch (c) {
        case Command::Version:
        case Command::Help:
            return 0;
        case Command::Drives:
            return 1;
        case Command::Export:
            return 2;
        case Command::Report:
            return 3;
        case Command::Window:
            break;
    }
    return 4;
}

}  // namespace

bool ParseCommandLine(const QStringList& args, CommandLine& line, QString& error, bool& usage) {
    line = CommandLine();
    usage = false;
    for (const QString& a : args) {
        const Option* o = Find(a);
        if (o && Rank(o->names) < Rank(line.command)) line.command = o->names;
    }
    const Command command = line.command;
    if (command == Command::Version || command == Command::Help) return true;
    if (command == Command::Drives && args.size() > 1) {
        error = QStringLiteral("--drives に引数は要りません");
        return false;
    }
    if (command == Command::Export && args.contains(QLatin1String("--report"))) {
        error = QStringLiteral("--export と --report は一緒に使えません");
        return false;
    }
    ReportOptions& out = line.options;
    bool named = false;  // the command's own option, taken once
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const Option* o = Find(a);
        const bool own = o && o->names == command && command != Command::Window && !named;
        if (own) {
            named = true;
        } else if (!o || o->names != Command::Window || !(o->where & Bit(command))) {
            if (a.startsWith(u"--")) {
                error = QStringLiteral("不明なオプション: ") + a;
                usage = command == Command::Window;
                return false;
            }
            if (!out.drive.isEmpty()) {
                error = QStringLiteral("ドライブは一つだけです: ") + a;
                return false;
            }
            out.drive = a;
            continue;
        }
        if (!o->take) continue;
        QString v;
        if (o->value) {
            if (i + 1 >= args.size()) {
                error = o->needed ? QString::fromUtf16(o->needed)
                                  : a + QStringLiteral(" には値が必要です");
                return false;
            }
            v = args[++i];
        }
        if (!o->take(v, out, error)) return false;
    }
    if (!out.importFile.isEmpty() && !out.drive.isEmpty()) {
        error = QStringLiteral("--import のときドライブは指定できません: ") + out.drive;
        return false;
    }
    if (command == Command::Report && out.drive.isEmpty() && out.importFile.isEmpty()) {
        error = QStringLiteral("--report にはドライブかフォルダーが必要です");
        return false;
    }
    if (out.sort == kSortGrowth && out.compare.isEmpty()) {
        error = QStringLiteral("--sort growth は --compare と使います");
        return false;
    }
    if (out.changedOnly && out.compare.isEmpty()) {
        error = QStringLiteral("--changed は --compare と使います");
        return false;
    }
    if (command == Command::Export && out.drive.isEmpty()) {
        error = QStringLiteral("--export にはドライブかフォルダーが必要です");
        return false;
    }
    return true;
}

QString VersionLine() {
    return QStringLiteral("FOLDEX Ver.") +
           app::BuildVersionText(app::kVersionMajor, app::kVersionMinor, app::kVersionRevision);
}

QStringList UsageLines() {
    return {
        QStringLiteral("使い方: foldex [ドライブ | --import ファイル]"),
        QStringLiteral("        foldex --report (ドライブ | --import ファイル) [--csv] "
                       "[--output ファイル] [--level N]"),
        QStringLiteral("                        [--unit KB|MB|GB] [--sort size|total|growth] "
                       "[--full-path]"),
        QStringLiteral("                        [--compare (日時 | last | ファイル) [--changed]]"),
        QStringLiteral("        foldex --export ファイル ドライブ"),
        QStringLiteral("        foldex --drives"),
        QStringLiteral("  ドライブ     D: や D:\\TEMP、またはフォルダーのパス"),
        QStringLiteral("  --import     エクスポートされたスキャン (ncdu 形式の JSON) を"
                       "読み取り専用のドライブとして開く"),
        QStringLiteral("  --report     フォルダー毎サイズ一覧をテキストか CSV で書き出す"),
        QStringLiteral("  --compare    以前の一覧 (日時か last) かエクスポート・ファイルからの"
                       "増減を書き出す"),
        QStringLiteral("  --changed    比較で変化したフォルダーだけを書き出す"),
        QStringLiteral(
            "  --export     走査結果を JSON (ncdu 形式) で書き出す (ファイル - は標準出力)"),
        QStringLiteral("  --drives     ドライブの一覧を表示"),
        QStringLiteral("  --version    バージョンを表示して終了"),
        QStringLiteral("  --help       この説明を表示して終了"),
    };
}

}  // namespace cli
