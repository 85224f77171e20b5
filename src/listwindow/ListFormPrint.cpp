// ListForm: printing the list with its preview.
#include "dialogs/CancelForm.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "print/widget/RunPrint.h"

namespace listwindow {

void ListForm::PrintList() {
    command([&] { printList(); });
}

void ListForm::printList() {
    CloseChooser();
    if (list_.OverviewShown) return;
    // No rows, or a folder operation still showing its progress: nothing to start.
    if (view_->grid().st.rowCount <= 0 || dialogs::OperationRunning()) {
        platform::Beep();
        focusList();
        return;
    }
    Hold wait(gate_, Mode::InDialog);
    print::PrintRequest request;
    request.caller = this;
    request.dPrev = [this] { D_PREV(); };
    request.callerGone = [this] { return gate_.closing(); };
    request.grid = &view_->grid().st;
    request.title = volumeLineText_;
    request.fullPath = list_.FullPath;
    request.drive = list_.VOLDSP.isEmpty() ? list_.CurrentDrive : list_.VOLDSP.at(0);
    print::RunPrint(request);
    if (!gate_.closing()) focusList();
}

void ListForm::D_PREV() {
    print::DrawPreview(view_->grid().st, volumeLineText_, list_.FullPath);
}

}  // namespace listwindow
