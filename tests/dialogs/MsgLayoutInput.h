#pragma once
// A message-box layout input whose text widths are simple enough to check by hand.
#include "dialogs/MsgText.h"

namespace msgtest {

// 100 twips a character, 120 in bold.
inline int FakeWidth(const QString& text, bool bold) {
    return int(text.size()) * (bold ? 120 : 100);
}

inline dialogs::MsgLayoutInput Input(const QStringList& lines, int buttons = 1) {
    dialogs::MsgLayoutInput in;
    in.lines = lines;
    in.buttonCount = buttons;
    in.owner = QRect(1500, 3000, 9000, 6003);
    in.screen = QRect(0, 0, 1920 * 15, 1080 * 15);
    in.frame = QSize(90, 360);
    in.twipsPerPixel = 15;
    in.lineHeight = 240;
    in.measure = FakeWidth;
    return in;
}

}  // namespace msgtest
