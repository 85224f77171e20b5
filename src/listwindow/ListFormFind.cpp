// ListForm: finding a folder by a piece of its name.
#include "dialogs/InpBoxForm.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListCommands.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "settings/Settings.h"

namespace listwindow {

void ListForm::FindAsk() {
    command([&] { findAsk(); });
}

void ListForm::FindNext(int start) {
    command([&] { findNext(start); });
}

void ListForm::FindPrev(int start) {
    command([&] { findPrev(start); });
}

void ListForm::findAsk() {
    CloseChooser();
    if (findText_.isEmpty()) findText_ = app::GetOpt(QStringLiteral("FindText"), QString());
    QString answer;
    {
        Hold wait(gate_, Mode::InDialog);
        answer = dialogs::InputBoxEx(QStringLiteral("検索する文字を 入力してください"),
                                     QStringLiteral("FOLDEX"), findText_, this);
        if (gate_.closing()) return;
    }
    findText_ = answer;
    if (answer.isEmpty()) return;
    findNext(view_->grid().st.cursorRow);
    app::PutOpt(QStringLiteral("FindText"), answer);
}

void ListForm::findNext(int start) {
    grid::Grid& g = view_->grid();
    // With no text entered yet nothing is searched: the empty text would match every row.
    const int row = findText_.isEmpty() ? -1 : FindRow(g.st, findText_, start, +1);
    if (row < 0) {
        platform::Beep();
        return;
    }
    grid::DrawCursor(g);
    grid::MoveCursor(g, row);
}

void ListForm::findPrev(int start) {
    grid::Grid& g = view_->grid();
    const int row = findText_.isEmpty() ? -1 : FindRow(g.st, findText_, start, -1);
    if (row < 0) {
        platform::Beep();
        return;
    }
    grid::MoveCursor(g, row);
}

}  // namespace listwindow
