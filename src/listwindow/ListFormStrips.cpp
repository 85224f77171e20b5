// ListForm: the level, display and sort strips and what they switch.
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <cmath>

#include "grid/widget/GridView.h"
#include "listwindow/Artwork.h"
#include "listwindow/HitZones.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "scan/Figures.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

bool Resolve(Switch s, bool current) {
    return s == Switch::Toggle ? !current : s == Switch::On;
}

// The busy look of a list rebuild. Disabling the window takes the keyboard focus away;
// it goes back where it was.
class Busy {
  public:
    explicit Busy(QWidget* w) : w_(w), focus_(QApplication::focusWidget()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        w_->setEnabled(false);
    }
    ~Busy() {
        w_->setEnabled(true);
        if (focus_) focus_->setFocus(Qt::OtherFocusReason);
        QApplication::restoreOverrideCursor();
    }

  private:
    QWidget* w_;
    QPointer<QWidget> focus_;
};

}  // namespace

bool ListForm::listHasFolders() const {
    return !list_.OverviewShown && list_.ListRowCount > 0;
}

// The cursor's folder and its place in the view, so that a rebuild of the rows can show the
// same folder (or its nearest shown ancestor) at the same height.
void ListForm::rememberRows() {
    const grid::GridState& st = view_->grid().st;
    const scan::FolderTable& t = list_.Folders;
    rememberedFolder_ = st.cursorRow >= 0 && st.cursorRow < st.rowCount && st.cursorRow < t.bound()
                            ? t.Order[size_t(st.cursorRow)]
                            : -1;
    rememberedOffset_ = std::max(0, st.cursorRow - st.topRow);
}

int ListForm::rowOfFolder(int folder) const {
    const grid::GridState& st = view_->grid().st;
    const scan::FolderTable& t = list_.Folders;
    const int rows = std::min(st.rowCount, t.bound());
    auto rowOf = [&](int f) {
        for (int r = 0; r < rows; ++r)
            if (t.Order[size_t(r)] == f) return r;
        return -1;
    };
    int row = rowOf(folder);
    // A folder folded away shows through its nearest ancestor that has a row.
    for (int f = folder; row < 0 && f > 0 && f < t.bound();) {
        const int parent = t.Parent[size_t(f)];
        if (parent >= f) break;
        f = parent;
        row = rowOf(f);
    }
    return std::max(0, row);
}

void ListForm::restoreRows() {
    grid::Grid& g = view_->grid();
    if (g.st.rowCount <= 0) return;
    const int row = rememberedFolder_ < 0 ? 0 : rowOfFolder(rememberedFolder_);
    grid::ResizeScrollList(g);
    grid::ShowRow(g, row, rememberedFolder_ < 0 ? 0 : rememberedOffset_);
    grid::FitAndRefresh(g);
}

void ListForm::applyDisplay() {
    grid::Grid& g = view_->grid();
    grid::GridState& st = g.st;
    st.treeLines = scan::TreeLinesShown(list_, app::Ctx().TreeDisp) ? -1 : 0;
    st.indentStep = list_.IndentStep;
    st.textColourMode = scan::TextColourModeOf(list_);
    if (st.textColourMode == 0) g.surface.textColour = st.textColour;
    st.sortMark = list_.SortKind != 0 ? -1 : 0;
    st.sortColumn = list_.SortKind != 0 ? list_.SortKind + 2 : 0;
}

void ListForm::repaintList() {
    grid::Grid& g = view_->grid();
    g.surface.clear(g.st.backColour);
    grid::RepaintAll(g);
}

void ListForm::clearSelectionFigures() {
    grid::ClearSelection(view_->grid());
    list_.SelCount = 0;
    list_.SelTotal = 0;
    scan::ShowSelectionFigures(list_);
    refreshFigures();
}

void ListForm::selectionChanged() {
    if (list_.OverviewShown) return;
    scan::CountSelection(list_);
    refreshFigures();
}

// ---- level strip ----

void ListForm::LevelStripPress(double x) {
    CloseChooser();
    const int level = LevelButtonAt(x);
    if (level >= 0) ChooseLevel(level);
}

void ListForm::ChooseLevel(int level) {
    if (level < 0 || level > 4) return;
    if (level == list_.ShownLevel && !list_.RowsExpanded) return;
    clearSelectionFigures();
    for (int i = 0; i < 5; ++i) levelLit_[size_t(i)]->setVisible(i == level);
    list_.ShownLevel = level;
    if (!listHasFolders()) return;
    eventTurn();
    rememberRows();
    scan::ApplyLevelLimit(list_);
    arrangeRows();
    focusList();
}

void ListForm::arrangeRows() {
    if (list_.SortKind != 0) scan::SortRows(list_);  // a sorted list stays sorted
    if (list_.FullPath) scan::ShowPaths(list_);
    applyDisplay();
    scan::ComputeTreeFlags(list_);
    restoreRows();
}

// ---- display strip ----

void ListForm::DisplayStripPress(double x) {
    CloseChooser();
    const bool overview = list_.OverviewShown;
    const int zone = DisplayButtonAt(x);
    if (zone < 0) return;
    switch (DisplayButton(zone)) {
        case DisplayButton::Background:
            if (overview) return;
            backPressed_ = true;
            holdTimer_->start();
            backgroundLit_->show();
            break;
        case DisplayButton::NameColour:
            if (!overview) SetNameColouring(Switch::On);
            break;
        case DisplayButton::Kb:
            SetKB(Switch::On);
            break;
        case DisplayButton::Mb:
            SetMB(Switch::On);
            break;
        case DisplayButton::Gb:
            SetGB(Switch::On);
            break;
        case DisplayButton::FullPath:
            if (!overview) SetFullPath(Switch::On);
            break;
    }
}

void ListForm::DisplayStripRelease(double x) {
    backgroundLit_->hide();
    if (!backPressed_) return;
    backPressed_ = false;
    if (DisplayButtonAt(x) == int(DisplayButton::Background) && holdTimer_->isActive()) {
        holdTimer_->stop();
        NextBackgroundType();
    }
}

bool ListForm::ChooserOpen() const {
    return chooser_->isVisible();
}

void ListForm::CloseChooser() {
    chooser_->hide();
}

void ListForm::ChooserClick(double x, double y) {
    const int px = int(std::lround(x)) - 9;
    const int py = int(std::lround(y)) - 8;
    if (px < 0 || py < 0) return;
    const int column = px / 62;
    const int row = py / 49;
    if (column > 1 || row > 2) return;
    ApplyBackgroundType(2 * row + column);
    CloseChooser();
}

void ListForm::ApplyBackgroundType(int type) {
    if (type < 0 || type > 5) return;
    grid::Grid& g = view_->grid();
    grid::GridState& st = g.st;
    if (backColoursSaved_) {
        st.backColours = savedBackColours_;
        backColoursSaved_ = false;
    }
    static const int kMode[] = {0, 6, 1, 2, 3, 4};
    st.backColourMode = kMode[type];
    if (type == 2) {
        savedBackColours_ = st.backColours;
        backColoursSaved_ = true;
        st.backColours = kSizeMarkColours;
    }
    if (type == 5) grid::ComputeGradient(st);
    list_.BackType = type;
    // The chooser marks the current type among its six patterns.
    QImage mark = BackgroundPattern(type, devicePixelRatioF()).copy();
    {
        QPainter p(&mark);
        p.setPen(QPen(QColor(0x20, 0x60, 0xE0), 2));
        p.drawRect(QRectF(QPointF(), mark.deviceIndependentSize()).adjusted(1, 1, -1, -1));
    }
    chooserMark_->setImage(mark);
    chooserMark_->move(PatternCellRect(type).topLeft());
    if (!arranging_) {
        repaintList();
        app::PutOptInt(QStringLiteral("BackColType"), type);
    }
}

void ListForm::SetNameColouring(Switch s) {
    list_.NameColouring = Resolve(s, list_.NameColouring);
    colourLit_->setVisible(list_.NameColouring);
    applyDisplay();
    if (!arranging_) {
        repaintList();
        focusList();
    }
}

void ListForm::rewriteUnits() {
    if (list_.OverviewShown) {
        if (!arranging_) ShowOverview();
        return;
    }
    if (!listHasFolders()) {
        scan::ShowDriveFigures(list_);
        refreshFigures();
        return;
    }
    Busy busy(this);
    // The rows format their figures in the new unit as they are drawn.
    repaintList();
    scan::ShowDriveFigures(list_);
    refreshFigures();
}

// KB, MB and GB exclude each other; switching the lit one off shows full bytes.
void ListForm::setUnit(int unit, Switch s) {
    const bool on = Resolve(s, list_.UnitMode == unit);
    if (on) {
        list_.UnitMode = unit;
    } else if (list_.UnitMode == unit) {
        list_.UnitMode = 0;
    }
    kbLit_->setVisible(list_.UnitMode == 1);
    mbLit_->setVisible(list_.UnitMode == 2);
    gbLit_->setVisible(list_.UnitMode == scan::kUnitGB);
    rewriteUnits();
}

void ListForm::SetKB(Switch s) {
    setUnit(1, s);
}
void ListForm::SetMB(Switch s) {
    setUnit(2, s);
}
void ListForm::SetGB(Switch s) {
    setUnit(scan::kUnitGB, s);
}

void ListForm::SetFullPath(Switch s) {
    // Refused only while a sort owns the paths; paths the person asked for can go again.
    if (list_.SortKind != 0 || list_.PathsBySort) {
        platform::Beep();
        return;
    }
    list_.FullPath = Resolve(s, list_.FullPath);
    fullPathLit_->setVisible(list_.FullPath);
    list_.PathsBySort = false;
    applyDisplay();
    if (listHasFolders()) {
        recomputeIndents();
        applyDisplay();
        rememberRows();
        if (list_.FullPath) {
            scan::ShowPaths(list_);
        } else {
            scan::RestoreNames(list_);
            scan::ComputeTreeFlags(list_);
        }
        restoreRows();
    }
    if (!arranging_) app::PutOptSwitch(QStringLiteral("FULL"), list_.FullPath);
}

// ---- sort strip ----

void ListForm::SetSort(int index, Switch s) {
    if (index < 0 || index > 1) return;
    rememberRows();
    clearSelectionFigures();
    const bool wasOn = list_.SortKind == index + 1;
    const bool on = Resolve(s, wasOn);
    if (!on && !wasOn) return;
    grid::Grid& g = view_->grid();
    {
        Busy busy(this);
        if (on) {
            if (!list_.FullPath) {
                list_.FullPath = true;
                list_.PathsBySort = true;
            }
            list_.SortKind = index + 1;
        } else {
            if (list_.PathsBySort) {
                list_.FullPath = false;
                list_.PathsBySort = false;
            }
            list_.SortKind = 0;
        }
        updateLitImages();
        recomputeIndents();
        applyDisplay();
        grid::DrawHeader(g);
        scan::SortRows(list_);
        if (list_.FullPath) scan::ShowPaths(list_);
        if (!on) scan::ComputeTreeFlags(list_);
    }
    if (listHasFolders()) {
        // A fresh sort opens at the top; back in tree order the cursor keeps its folder.
        if (on) rememberedFolder_ = -1;
        restoreRows();
        if (on && app::Ctx().SelTypeWin) {
            g.st.cursorColumn = index + 3;
            grid::DrawCursor(g);
        }
    }
    focusList();
}

void ListForm::updateLitImages() {
    for (int i = 0; i < 5; ++i) levelLit_[size_t(i)]->setVisible(i == list_.ShownLevel);
    kbLit_->setVisible(list_.UnitMode == 1);
    mbLit_->setVisible(list_.UnitMode == 2);
    gbLit_->setVisible(list_.UnitMode == scan::kUnitGB);
    fullPathLit_->setVisible(list_.FullPath);
    colourLit_->setVisible(list_.NameColouring);
    for (int i = 0; i < 2; ++i) sortLit_[size_t(i)]->setVisible(list_.SortKind == i + 1);
}

}  // namespace listwindow
