#include "dialogs/MsgText.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace dialogs {

namespace {
// Sizes are added up in 64 bits and held well inside int, so a huge text cannot overflow.
constexpr qint64 kMaxTwips = qint64(1) << 30;
int ClampTwips(qint64 v) {
    return int(std::clamp(v, -kMaxTwips, kMaxTwips));
}

bool IsLineEnd(QChar c) {
    return c == kMsgLineBreak || c == u'\r' || c == u'\n';
}

// A wrapped line may end after these: blanks, and the separators of a path.
bool BreaksAfter(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\\' || c == u'/';
}

QStringList WrapMsgLines(const QStringList& lines, int maxWidth, bool bold,
                         const MsgMeasure& measure) {
    QStringList out;
    for (const QString& line : lines) out += WrapMsgLine(line, maxWidth, bold, measure);
    return out;
}
}  // namespace

QColor ColourFromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

std::array<QColor, kMsgColourCount> ParseMsgColourTable(const QString& table) {
    std::array<QColor, kMsgColourCount> colours;
    for (int n = 0; n < kMsgColourCount; ++n) {
        bool ok = false;
        const quint32 value = table.mid(n * 7, 6).toUInt(&ok, 16);
        colours[size_t(n)] = ColourFromBgr(ok ? value : 0);
    }
    return colours;
}

const std::array<QColor, kMsgColourCount>& MsgColourTable() {
    static const std::array<QColor, kMsgColourCount> table =
        ParseMsgColourTable(QString::fromUtf16(kMsgColourTableText));
    return table;
}

QColor MsgColour(int code) {
    if (code < 0 || code >= kMsgColourCount) return QColor(0, 0, 0);
    return MsgColourTable()[size_t(code)];
}

QString PrepareMsgText(const QString& text) {
    QString s = text;
    if (!s.isEmpty() && !IsLineEnd(s.back())) s += kMsgLineBreak;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'\r') {
            out += kMsgLineBreak;
            if (i + 1 < s.size() && s[i + 1] == u'\n') ++i;  // CR LF ends one line
        } else if (c == u'\n') {
            out += kMsgLineBreak;
        } else {
            out += c;
        }
    }
    return out;
}

QStringList MsgLines(const QString& text) {
    const QString prepared = PrepareMsgText(text);
    if (prepared.isEmpty()) return {};
    QStringList lines = prepared.split(kMsgLineBreak);
    lines.removeLast();  // the piece after the final "|" is always empty
    return lines;
}

bool MsgHasBold(const QString& text) {
    return text.contains(QChar(kMsgBoldOn));
}

QString MsgFallbackText(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (IsMsgCode(c)) {
            c = u' ';
        } else if (c == kMsgLineBreak) {
            c = u'\r';
        }
    }
    return out;
}

QList<MsgRun> SplitMsgLine(const QString& line, MsgStyle& style) {
    QList<MsgRun> runs;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool end = i == line.size();
        if (!end && !IsMsgCode(line[i])) continue;
        if (i > start) runs.append({line.mid(start, i - start), style});
        if (end) break;
        const ushort code = line[i].unicode();
        if (code == kMsgBoldOff) {
            style.bold = false;
        } else if (code == kMsgBoldOn) {
            style.bold = true;
        } else {
            style.colour = code;
        }
        start = i + 1;
    }
    return runs;
}

MsgMeasure MsgFontMeasure(const QFont& font, int twipsPerPixel) {
    QFont regular = font;
    regular.setBold(false);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics regularMetrics(regular);
    const QFontMetrics boldMetrics(bold);
    return [regularMetrics, boldMetrics, twipsPerPixel](const QString& text, bool isBold) {
        const QFontMetrics& fm = isBold ? boldMetrics : regularMetrics;
        return ClampTwips(qint64(fm.horizontalAdvance(text)) * twipsPerPixel);
    };
}

int MsgLineHeight(const QFont& font, int twipsPerPixel) {
    return (QFontMetrics(font).height() + 2) * twipsPerPixel;
}

QList<MsgPiece> PlaceMsgLines(const QStringList& lines, MsgStyle start, int left, int top,
                              int lineHeight, const MsgMeasure& measure) {
    QList<MsgPiece> pieces;
    MsgStyle style = start;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        qint64 x = left;
        const int y = ClampTwips(top + qint64(i) * lineHeight);
        for (const MsgRun& run : SplitMsgLine(lines[i], style)) {
            pieces.append({run.text, run.style, ClampTwips(x), y});
            if (measure) x += measure(run.text, run.style.bold);
        }
    }
    return pieces;
}

void DrawMsgPieces(QPainter& painter, const QFont& font, const QList<MsgPiece>& pieces,
                   int twipsPerPixel) {
    if (twipsPerPixel <= 0) return;
    QFont face = font;
    for (const MsgPiece& p : pieces) {
        face.setBold(p.style.bold);
        painter.setFont(face);
        painter.setPen(MsgColour(p.style.colour));
        const QFontMetrics fm(face, painter.device());
        const int x = p.x / twipsPerPixel;
        const int y = p.y / twipsPerPixel + fm.ascent();
        painter.drawText(x, y, p.text);
    }
}

MsgButtonSet MsgButtonsFor(int flags) {
    const bool second = flags & kMsgDefault2;
    const bool third = flags & kMsgDefault3;
    MsgButtonSet set;
    switch (flags & kMsgButtonsMask) {
        case kMsgOkCancel:
            set.buttons = {MsgButton::Ok, MsgButton::Cancel};
            set.focus = second ? MsgButton::Cancel : MsgButton::Ok;
            set.makeDefault = !second;
            break;
        case kMsgYesNoCancel:
            set.buttons = {MsgButton::Yes, MsgButton::No, MsgButton::Cancel};
            set.focus = second ? MsgButton::No : third ? MsgButton::Cancel : MsgButton::Yes;
            set.makeDefault = !(third && !second);
            break;
        case kMsgYesNo:
            set.buttons = {MsgButton::Yes, MsgButton::No};
            set.focus = second ? MsgButton::No : MsgButton::Yes;
            break;
        default:
            set.buttons = {MsgButton::Ok};
            set.focus = MsgButton::Ok;
            break;
    }
    return set;
}

QStringList WrapMsgLine(const QString& line, int maxWidth, bool bold, const MsgMeasure& measure) {
    if (!measure) return {line};
    QStringList out;
    qsizetype start = 0;
    auto fits = [&](qsizetype n) { return measure(line.mid(start, n), bold) <= maxWidth; };
    for (;;) {
        const qsizetype rest = line.size() - start;
        // The longest prefix that fits lies in [good, bad); found by doubling, then halving,
        // so a huge line costs about the length of each piece, not of the whole line.
        qsizetype good = 0;
        qsizetype bad = rest;
        for (qsizetype n = 64; n < rest; n *= 2) {
            if (!fits(n)) {
                bad = n;
                break;
            }
            good = n;
        }
        if (rest == 0 || (bad == rest && fits(rest))) break;
        while (bad - good > 1) {
            const qsizetype mid = good + (bad - good) / 2;
            if (fits(mid)) {
                good = mid;
            } else {
                bad = mid;
            }
        }
        qsizetype cut = std::max<qsizetype>(good, 1);
        if (cut < rest && line[start + cut].isLowSurrogate() &&
            line[start + cut - 1].isHighSurrogate())
            cut += cut > 1 ? -1 : 1;
        for (qsizetype p = cut; p > 0; --p) {
            // A piece of blanks alone is no better than a cut inside a word.
            if (BreaksAfter(line[start + p - 1]) && !line.mid(start, p).trimmed().isEmpty()) {
                cut = p;
                break;
            }
        }
        out += line.mid(start, cut);
        start += cut;
        if (start >= line.size()) return out;
    }
    out += line.mid(start);
    return out;
}

MsgLayout ComputeMsgLayout(const MsgLayoutInput& in) {
    MsgLayout out;
    out.lineHeight = in.lineHeight;
    out.buttonsWidth = in.buttonCount * kMsgButtonWidth;
    out.lines = in.lines;

    // Height around the lines and width beside the widest line, inside the frame.
    const qint64 chromeHeight = kMsgTextTop + kMsgButtonHeight + 120;
    const qint64 sideWidth = kMsgTextLeft + 90;
    const bool capped = !in.workArea.isEmpty() && in.measure;
    qint64 visibleLines = in.lines.size();
    int scrollBar = 0;
    if (capped) {
        const qint64 maxWidth = qint64(in.workArea.width()) - 2 * qint64(in.workMargin);
        const qint64 maxHeight = qint64(in.workArea.height()) - 2 * qint64(in.workMargin);
        // Never narrower than the buttons make the box anyway.
        const qint64 minRoom = qint64(out.buttonsWidth) + 900 - in.frame.width() - sideWidth;
        const qint64 room = std::max(maxWidth - in.frame.width() - sideWidth, minRoom);
        const qint64 rows = in.lineHeight > 0
                                ? (maxHeight - in.frame.height() - chromeHeight) / in.lineHeight
                                : qint64(in.lines.size());
        const qint64 maxRows = std::max<qint64>(rows, 1);
        out.lines = WrapMsgLines(in.lines, ClampTwips(room), in.boldFace, in.measure);
        if (out.lines.size() > maxRows) {
            // The scroll bar takes its width from the text, not from the screen.
            out.scrolls = true;
            scrollBar = std::max(in.scrollBarWidth, 0);
            out.lines = WrapMsgLines(in.lines, ClampTwips(std::max<qint64>(room - scrollBar, 1)),
                                     in.boldFace, in.measure);
            visibleLines = maxRows;
        } else {
            visibleLines = out.lines.size();
        }
        out.wrapped = out.lines.size() != in.lines.size();
    }
    out.lineCount = int(std::min<qint64>(out.lines.size(), kMaxTwips));

    int widest = 0;
    if (in.measure) {
        for (const QString& line : out.lines)
            widest = std::max(widest, in.measure(line, in.boldFace));
    }
    out.textWidth = widest;
    out.iconTop = out.lineCount > 2 ? 330 : 120;

    qint64 outerWidth = qint64(in.frame.width()) + widest + sideWidth + scrollBar;
    outerWidth = std::max<qint64>(outerWidth, out.buttonsWidth + 900);
    qint64 outerHeight = qint64(in.frame.height()) + visibleLines * in.lineHeight + chromeHeight;
    outerHeight = std::max<qint64>(outerHeight, kMsgMinHeight);

    // Four fifths across and down the owner, so the owner's middle stays visible.
    qint64 left = in.owner.left() + qint64(in.owner.width() / 5) * 4;
    qint64 top = in.owner.top() + qint64(in.owner.height() / 5) * 4;

    out.inner = QSize(ClampTwips(outerWidth - in.frame.width()),
                      ClampTwips(outerHeight - in.frame.height()));
    qint64 buttonLeft = (qint64(out.inner.width()) - out.buttonsWidth) / 2;
    for (int i = 0; i < in.buttonCount; ++i) {
        out.buttonLefts.append(ClampTwips(buttonLeft));
        buttonLeft += kMsgButtonWidth + kMsgButtonGap;
    }
    out.buttonTop = out.inner.height() - kMsgButtonHeight - 60;
    out.textArea = QRect(kMsgTextLeft, kMsgTextTop, std::max(out.inner.width() - kMsgTextLeft, 0),
                         ClampTwips(visibleLines * in.lineHeight));

    // Pulled back onto the screen at the right and bottom only; never pushed right or down.
    const qint64 screenRight = qint64(in.screen.x()) + in.screen.width();
    const qint64 bottomMargin = 60 * qint64(in.twipsPerPixel);
    const qint64 screenBottom = qint64(in.screen.y()) + in.screen.height();
    if (left + outerWidth > screenRight) left = screenRight - outerWidth;
    if (top + outerHeight > screenBottom - bottomMargin)
        top = screenBottom - outerHeight - bottomMargin;
    // Within the usable area, so that no button ends up out of reach.
    if (capped) {
        const qint64 areaRight = qint64(in.workArea.x()) + in.workArea.width();
        const qint64 areaBottom = qint64(in.workArea.y()) + in.workArea.height();
        left = std::max<qint64>(std::min(left, areaRight - outerWidth), in.workArea.x());
        top = std::max<qint64>(std::min(top, areaBottom - outerHeight), in.workArea.y());
    }

    out.outer =
        QRect(ClampTwips(left), ClampTwips(top), ClampTwips(outerWidth), ClampTwips(outerHeight));
    return out;
}

}  // namespace dialogs
