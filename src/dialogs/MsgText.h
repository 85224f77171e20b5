#pragma once
// Message text mark-up and the message box layout, free of widgets so both can be tested
// without a display. The input box draws its prompt with the same mark-up and colours.
#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QPainter;

namespace dialogs {

// Answer codes of the message box.
inline constexpr short kAnswerOk = 1;
inline constexpr short kAnswerCancel = 2;
inline constexpr short kAnswerYes = 6;
inline constexpr short kAnswerNo = 7;

// Flags: the low four bits choose the buttons; these bits pick another default button.
inline constexpr int kMsgButtonsMask = 0xF;
inline constexpr int kMsgOkCancel = 1;
inline constexpr int kMsgYesNoCancel = 3;
inline constexpr int kMsgYesNo = 4;
inline constexpr int kMsgDefault2 = 0x100;
inline constexpr int kMsgDefault3 = 0x200;

// Mark-up characters inside a message text.
inline constexpr QChar kMsgLineBreak = u'|';
inline constexpr ushort kMsgBoldOff = 7;
inline constexpr ushort kMsgBoldOn = 8;
inline constexpr int kMsgColourCount = 7;

// The colour table as text: entry n at character n * 7, six hex digits in blue-green-red order.
inline constexpr char16_t kMsgColourTableText[] =
    u"000000 E00000 007000 903000 4000A0 900090 3050C0";

// Windows colour value (0x00BBGGRR) to QColor.
QColor ColourFromBgr(quint32 bgr);
// Parses a table of entries "XXXXXX" separated by one blank; an unreadable entry is black.
std::array<QColor, kMsgColourCount> ParseMsgColourTable(const QString& table);
// The parsed table of kMsgColourTableText.
const std::array<QColor, kMsgColourCount>& MsgColourTable();
// Colour of code 0..6; any other code gives black.
QColor MsgColour(int code);

// True for the characters 0..8 that switch colour or weight.
inline bool IsMsgCode(QChar c) {
    return c.unicode() <= kMsgBoldOn;
}

// The text with every line ending turned into "|" and a final "|" appended when missing.
// An empty text stays empty.
QString PrepareMsgText(const QString& text);
// The lines of a message text (prepared first); an empty text has no lines.
QStringList MsgLines(const QString& text);
// True when the text contains the bold-on code anywhere.
bool MsgHasBold(const QString& text);
// Text for the platform's standard box: codes 0..8 become blanks, "|" becomes CR.
QString MsgFallbackText(const QString& text);

// Colour and weight while walking the lines; carried from line to line.
struct MsgStyle {
    int colour = 0;
    bool bold = false;
    bool operator==(const MsgStyle&) const = default;
};

// A stretch of a line drawn in one colour and weight.
struct MsgRun {
    QString text;
    MsgStyle style;
    bool operator==(const MsgRun&) const = default;
};

// Splits one line at its code characters; style is the state at the start of the line and
// is left as the state at its end. Empty stretches are not returned.
QList<MsgRun> SplitMsgLine(const QString& line, MsgStyle& style);

// Text width in twips for a face of the given weight.
using MsgMeasure = std::function<int(const QString& text, bool bold)>;
// Measures with a font (its weight switched as asked) at the given twips per pixel.
MsgMeasure MsgFontMeasure(const QFont& font, int twipsPerPixel);
// Line height in twips: the height of "A" in the font plus two pixels.
int MsgLineHeight(const QFont& font, int twipsPerPixel);

// A run placed on the surface, in twips; y is the top of the line.
struct MsgPiece {
    QString text;
    MsgStyle style;
    int x = 0;
    int y = 0;
};

// Places the runs of every line: line i starts at (left, top + i * lineHeight).
QList<MsgPiece> PlaceMsgLines(const QStringList& lines, MsgStyle start, int left, int top,
                              int lineHeight, const MsgMeasure& measure);
// Draws placed runs with the font (weight switched per run), positions converted to pixels.
void DrawMsgPieces(QPainter& painter, const QFont& font, const QList<MsgPiece>& pieces,
                   int twipsPerPixel);

// The four buttons, in tab order.
enum class MsgButton { Yes, No, Cancel, Ok };

struct MsgButtonSet {
    QList<MsgButton> buttons;  // left to right
    MsgButton focus = MsgButton::Ok;
    bool makeDefault = true;  // the focused button also becomes the default button
};
MsgButtonSet MsgButtonsFor(int flags);

// Fixed sizes of the box, in twips.
inline constexpr int kMsgButtonWidth = 1215;
inline constexpr int kMsgButtonHeight = 315;
inline constexpr int kMsgButtonGap = 60;
inline constexpr int kMsgTextLeft = 750;
inline constexpr int kMsgTextTop = 210;
inline constexpr int kMsgIconLeft = 60;
inline constexpr int kMsgIconSize = 480;
inline constexpr int kMsgMinHeight = 1410;

struct MsgLayoutInput {
    QStringList lines;      // from MsgLines
    bool boldFace = false;  // measure in bold (the text has a bold-on code)
    int buttonCount = 1;
    QRect owner;   // outer rectangle of the owner, twips
    QRect screen;  // the screen, twips
    QSize frame;   // outer size minus inner size of the box, twips
    int twipsPerPixel = 15;
    int lineHeight = 0;  // twips
    MsgMeasure measure;  // width of a raw line in twips
    // The usable area of the box's screen, twips. When set, the box never grows past it
    // (less workMargin on each side): long lines wrap and too many lines scroll.
    QRect workArea;
    int workMargin = 0;
    int scrollBarWidth = 0;  // twips, taken beside the text when it scrolls
};

struct MsgLayout {
    int lineHeight = 0;
    int lineCount = 0;  // lines as drawn, after wrapping
    int textWidth = 0;  // widest line
    int buttonsWidth = 0;
    int iconTop = 0;
    QRect outer;  // the box's outer rectangle on the screen
    QSize inner;
    QList<int> buttonLefts;  // one per button of the set, left to right
    int buttonTop = 0;
    QStringList lines;     // the lines to draw: the input's, or wrapped to fit the screen
    bool wrapped = false;  // some line was too wide for the screen
    bool scrolls = false;  // more lines than the screen holds: the text area scrolls
    QRect textArea;        // inside the box, twips: where the text is drawn
};

// Breaks a raw line that is wider than maxWidth into lines that are not, after the last blank
// or path separator that fits, else wherever the width runs out; at least one character a
// line, and never inside a surrogate pair. Mark-up codes stay where they were.
QStringList WrapMsgLine(const QString& line, int maxWidth, bool bold, const MsgMeasure& measure);

MsgLayout ComputeMsgLayout(const MsgLayoutInput& in);

}  // namespace dialogs
