#include "export/ListExport.h"

#include <QFileInfo>
#include <algorithm>
#include <string>
#include <vector>

#include "grid/Grid.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "scan/Compare.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "util/TextUtil.h"

namespace exportlist {
namespace {

constexpr int kLineWidth = 160;
constexpr int kNameChars = 50;
// A name never reaches into the file-count column, not even past its end.
constexpr int kNameLast = 47;

// A report line as columns: every column holds blank, the start of a character, or the
// second half of a wide one. Writing over half of a wide character blanks the other half.
class Columns {
  public:
    Columns() : text_(kLineWidth, U' '), kind_(kLineWidth, kBlank) {}

    // Writes text from column pos (1-based) up to column last at most; a character that
    // does not fit is dropped with everything after it.
    void put(int pos, const QString& text, int last = kLineWidth) {
        int c = pos - 1;
        if (c < 0) return;
        const int limit = std::min(last, kLineWidth);
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t ch = text.at(i).unicode();
            if (QChar::isHighSurrogate(ch) && i + 1 < text.size() &&
                text.at(i + 1).isLowSurrogate()) {
                ch = QChar::surrogateToUcs4(char16_t(ch), text.at(++i).unicode());
            }
            const int w = Width(ch);
            if (c + w > limit) return;
            for (int k = c; k < c + w; ++k) clear(k);
            text_[size_t(c)] = ch;
            kind_[size_t(c)] = kStart;
            if (w == 2) kind_[size_t(c + 1)] = kSecond;
            c += w;
        }
    }

    QString line() const {
        std::u32string out;
        out.reserve(kLineWidth);
        for (int c = 0; c < kLineWidth; ++c) {
            if (kind_[size_t(c)] == kStart) {
                out += text_[size_t(c)];
            } else if (kind_[size_t(c)] == kBlank) {
                out += U' ';
            }
        }
        while (!out.empty() && out.back() == U' ') out.pop_back();
        return QString::fromUcs4(out.data(), qsizetype(out.size()));
    }

  private:
    enum Kind : char { kBlank, kStart, kSecond };

    static int Width(char32_t ch) {
        // No East Asian wide character lies below U+1100.
        if (ch < 0x1100) return 1;
        return util::AnsiLen(QString::fromUcs4(&ch, 1));
    }

    void clear(int c) {
        if (kind_[size_t(c)] == kSecond && c > 0) kind_[size_t(c - 1)] = kBlank;
        if (kind_[size_t(c)] == kStart && c + 1 < kLineWidth && kind_[size_t(c + 1)] == kSecond) {
            kind_[size_t(c + 1)] = kBlank;
        }
        kind_[size_t(c)] = kBlank;
    }

    std::u32string text_;
    std::vector<Kind> kind_;
};

QString Cased(int style, const QString& text) {
    return style == 1 || style == 2 ? grid::ApplyCase(style, text) : text;
}

QString CsvField(const QString& text) {
    QString f = text;
    f.replace(u'"', QStringLiteral("\"\""));
    return u'"' + f + u'"';
}

// The letter case the list's name column shows (none without a grid).
int CaseStyle(const scan::DriveList& list) {
    return list.Grid ? list.Grid->st.columnCase[0] : 0;
}

}  // namespace

Format FormatForName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return Format::Text;
    return name.mid(dot + 1).toUpper() == QLatin1String("CSV") ? Format::Csv : Format::Text;
}

void ForEachCsvLine(const scan::DriveList& list, const LineSink& put) {
    // A comparison's figures are changes, and a last column says which folders are new or gone.
    const bool changes = scan::Comparing(list);
    put(changes ? QStringLiteral("\"フォルダ名\",\"±ﾌｧｲﾙ数\",\"±ﾌｧｲﾙ･ｻｲｽﾞ\",\"±占有サイズ\","
                                 "\"±下位合計\",\"状態\"")
                : QStringLiteral(
                      "\"フォルダ名\",\"ﾌｧｲﾙ数\",\"ﾌｧｲﾙ･ｻｲｽﾞ\",\"占有サイズ\",\"下位合計\""));
    const int style = CaseStyle(list);
    QString scratch;
    for (int r = 0; r < list.RowCount; ++r) {
        QString line;
        const int f = r < list.Folders.bound() ? list.Folders.Order[size_t(r)] : -1;
        const scan::ChangeMark mark = scan::ChangeOf(list, f);
        for (int c = 0; c < 5; ++c) {
            // The cell as the list shows it, made from the folder table; a comparison's name
            // without its mark, which has a column of its own.
            QString cell = c == 0 && mark != scan::kChangeSame
                               ? (list.PathsFlag && f > 0 ? scan::FolderPath(list, f)
                                                          : list.Folders.name(f).toString())
                               : scan::RowCellText(list, r, c, scratch).toString();
            // Quoted after the substitutes have become the characters they show: a
            // substituted quote is a quote in the file and must be doubled like one.
            if (c == 0) cell = Cased(style, platform::DisplayName(cell));
            if (c > 0) line += u',';
            line += CsvField(cell);
        }
        if (changes) line += u',' + CsvField(scan::ChangeWord(mark));
        put(line);
    }
}

QString ReportRowLine(const QString& name, const scan::RowFigures& figures, int unitMode,
                      int nameColumn, int caseStyle, bool changes) {
    Columns line;
    // At most 50 characters of the name, never half of a surrogate pair.
    qsizetype cut = std::min<qsizetype>(kNameChars, name.size());
    if (cut > 0 && cut < name.size() && name.at(cut - 1).isHighSurrogate()) --cut;
    line.put(nameColumn, Cased(caseStyle, platform::DisplayName(name.left(cut))), kNameLast);
    // The figures keep their columns while they fit with a blank before each; a wider one
    // shifts the rest of the line to the right, never losing a digit.
    QString out = line.line();
    int column = int(util::AnsiLen(out)) + 1;  // the next column to write, 1-based
    int shift = 0;
    const struct {
        int start, width;
        QString text;  // a unit's trailing blank stays, as in the list's cells
    } cells[] = {
        {48, 5, scan::CountText(figures.files, changes)},
        {55, 15, scan::PlainSize(figures.bytes, unitMode, changes)},
        {70, 15, scan::PlainSize(figures.alloc, unitMode, changes)},
        {85, 15, figures.total ? QString() : scan::PlainSize(figures.subtree, unitMode, changes)}};
    for (const auto& f : cells) {
        if (f.text.isEmpty()) break;
        const QString& figure = f.text;
        int begin = f.start + shift + f.width - int(figure.size());
        const bool first = f.start == 48;
        const bool gap = first || out.endsWith(u' ');
        const int earliest = first ? kNameLast + 1 : column + (gap ? 0 : 1);
        if (begin < earliest) {
            shift += earliest - begin;
            begin = earliest;
        }
        out += QString(std::max(0, begin - column), u' ') + figure;
        column = begin + int(figure.size());
    }
    while (out.endsWith(u' ')) out.chop(1);
    return out;
}

void ForEachReportLine(const scan::DriveList& list, const QDateTime& now, const LineSink& put) {
    const QString rule(100, u'-');
    put(now.toString(QStringLiteral("yy/MM/dd  HH:mm:ss")));
    put(QStringLiteral("ドライブ名　　：") + list.VOLDSP.left(1).toUpper());
    put(QStringLiteral("ドライブ　容量：") + list.TOTDSP);
    put(QStringLiteral("使用済み　容量：") + list.USEDSP);
    put(QStringLiteral("現在の空き容量：") + list.FREDSP);
    put(QStringLiteral("選択されたフォルダの総容量：") + list.SUMDSP);
    put(QStringLiteral("削除した場合の　　空き容量：") + list.DLSDSP);
    const bool changes = scan::Comparing(list);
    if (changes)
        put(QStringLiteral("比較　　　　　：") + list.Comparison->Then +
            QStringLiteral(" からの増減"));
    put(rule);
    Columns heading;
    heading.put(1, QStringLiteral("フォルダ名"));
    // A comparison's "±" stands one column before the heading it marks.
    const QString sign = changes ? QStringLiteral("±") : QString();
    const int at = changes ? -1 : 0;
    heading.put(48 + at, sign + QStringLiteral("Files"));
    heading.put(58 + at, sign + QStringLiteral("Fileサイズ"));
    heading.put(73 + at, sign + QStringLiteral("占有サイズ"));
    heading.put(90 + at, sign + QStringLiteral("下位合計"));
    put(heading.line());
    put(rule);
    const scan::FolderTable& t = list.Folders;
    const int style = CaseStyle(list);
    const bool paths = list.FullPath || list.PathsFlag;
    for (int r = 0; r < list.RowCount; ++r) {
        const bool total = r == list.RowCount - 1 && list.ListRowCount > 0;
        if (total) put(rule);
        int level = 0;
        if (r < int(t.Order.size())) {
            const int f = t.Order[size_t(r)];
            if (f >= 0 && f < t.bound()) level = t.Level[size_t(f)];
        }
        const int column = paths ? 1 : 2 * level + 1;
        // The shown name (it may be a path); the figures as values, never read from text.
        put(ReportRowLine(scan::RowName(list, r), scan::ShownFigures(list, r), list.UnitMode,
                          column, style, changes));
    }
}

bool WriteListBytes(const scan::DriveList& list, Format format, const QDateTime& now,
                    const ByteSink& write) {
    // Written in pieces as the lines are made, so a large list is never held twice.
    QByteArray bytes;
    bool ok = true;
    auto flush = [&] {
        if (ok && !bytes.isEmpty()) ok = write(bytes);
        bytes.clear();
    };
    const LineSink sink = [&](const QString& line) {
        if (!ok) return;
        // Names as a person reads them, in valid UTF-8: an undecodable byte (kept as
        // U+DC80..U+DCFF) goes out as the replacement character, a substituted character
        // as itself.
        bytes += platform::DisplayName(line).toUtf8();
        bytes += "\r\n";
        if (bytes.size() >= (1 << 16)) flush();
    };
    if (format == Format::Csv) {
        ForEachCsvLine(list, sink);
    } else {
        ForEachReportLine(list, now, sink);
    }
    flush();
    return ok;
}

bool WriteList(const scan::DriveList& list, Format format, QIODevice& device, const QDateTime& now,
               QString* error) {
    return WriteListBytes(list, format, now, [&](const QByteArray& bytes) {
        if (device.write(bytes) == bytes.size()) return true;
        if (error) *error = device.errorString();
        return false;
    });
}

bool SaveListFile(const scan::DriveList& list, Format format, const QByteArray& nativePath,
                  const QDateTime& now, QString* error) {
    platform::ReplacingFile out;
    const bool ok = out.open(nativePath) &&
                    WriteListBytes(list, format, now,
                                   [&](const QByteArray& bytes) { return out.write(bytes); }) &&
                    out.commit();
    if (!ok) {
        out.cancel();
        if (error) *error = out.errorText();
    }
    return ok;
}

}  // namespace exportlist
