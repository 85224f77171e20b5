// ListForm: the level, display and sort strips and what they switch.
#include <QApplication>
#include <QPainter>
#include <cmath>

#include "grid/widget/GridView.h"
#include "listwindow/Artwork.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "scan/Figures.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

bool Resolve(Switch s, bool current) {
    return s == Switch::Toggle ? !current : s == Switch::On;
}

// The busy look of a list rebuild.
class Busy {
  public:
    explicit Busy(QWidget* w) : w_(w) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        w_->setEnabled(false);
    }
    ~Busy() {
        w_->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }

  private:
    QWidget* w_;
};

}  // namespace

bool ListForm::listHasFolders() const {
    return !list_.OverviewShown && list_.ListRowCount > 0;
}

void ListForm::rememberRows() {
    const grid::GridState& st = view_->grid().st;
    rememberedTop_ = st.topRow;
    rememberedCursor_ = st.cursorRow;
}

void ListForm::restoreRows() {
    grid::Grid& g = view_->grid();
    const int rows = g.st.rowCount;
    if (rows <= 0) return;
    const int cursor = std::clamp(rememberedCursor_ < 0 ? 0 : rememberedCursor_, 0, rows - 1);
    const int top = std::clamp(rememberedTop_ < 0 ? 0 : rememberedTop_, 0, rows - 1);
    grid::ResizeScrollList(g);
    grid::ShowRow(g, cursor, std::max(0, cursor - top));
    grid::FitAndRefresh(g);
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
    if (x < 59) return;
    const int px = int(std::lround(x - 59));
    if (x >= 159 && x <= 188) {
        ChooseLevel(0);
        return;
    }
    const int n = px / 25 + 1;
    if (n < 5 && px % 25 <= 22) ChooseLevel(n);
}

void ListForm::ChooseLevel(int level) {
    if (level < 0 || level > 4) return;
    if (level == list_.ShownLevel && !list_.RowsExpanded) return;
    clearSelectionFigures();
    for (int i = 0; i < 5; ++i) lvlimg_[size_t(i)]->setVisible(i == level);
    list_.ShownLevel = level;
    if (!listHasFolders()) return;
    QCoreApplication::processEvents();
    rememberRows();
    scan::ApplyLevelLimit(list_);
    if (list_.SortKind != 0) scan::SortRows(list_);  // a sorted list stays sorted
    if (fullPath_) scan::ShowPaths(list_);
    scan::ComputeTreeFlags(list_);
    restoreRows();
    focusList();
}

// ---- display strip ----

void ListForm::DisplayStripPress(double x) {
    CloseChooser();
    const bool overview = list_.OverviewShown;
    if (x <= 40) {
        if (overview) return;
        backPressed_ = true;
        btntim_->start();
        backImg_->show();
    } else if (x <= 82) {
        if (!overview) SetNameColouring(Switch::On);
    } else if (x <= 109) {
        SetKB(Switch::On);
    } else if (x <= 136) {
        SetMB(Switch::On);
    } else if (!overview) {
        SetFullPath(Switch::On);
    }
}

void ListForm::DisplayStripRelease(double x) {
    backImg_->hide();
    if (!backPressed_) return;
    backPressed_ = false;
    if (x <= 40 && btntim_->isActive()) {
        btntim_->stop();
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
    backType_ = type;
    // The chooser marks the current type among its six patterns.
    QImage mark = BackgroundPattern(type).copy();
    {
        QPainter p(&mark);
        p.setPen(QPen(QColor(0x20, 0x60, 0xE0), 2));
        p.drawRect(QRectF(mark.rect()).adjusted(1, 1, -1, -1));
    }
    chooserSel_->setImage(mark);
    chooserSel_->move(PatternCellRect(type).topLeft());
    if (!arranging_) {
        grid::RepaintAll(g);
        app::PutOptInt(QStringLiteral("BackColType"), type);
    }
}

void ListForm::SetNameColouring(Switch s) {
    nameColouring_ = Resolve(s, nameColouring_);
    colImg_->setVisible(nameColouring_);
    grid::Grid& g = view_->grid();
    if (nameColouring_) {
        g.st.textColourMode = fullPath_ ? 1 : 2;
    } else {
        g.st.textColourMode = 0;
        g.surface.textColour = g.st.textColour;
    }
    if (!arranging_) {
        grid::RepaintAll(g);
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
    scan::RewriteUnits(list_);
    grid::RepaintAll(view_->grid());
    scan::ShowDriveFigures(list_);
    refreshFigures();
}

// KB and MB exclude each other; switching either off shows full bytes.
void ListForm::setUnit(int unit, Switch s) {
    const bool on = Resolve(s, list_.UnitMode == unit);
    if (on) {
        list_.UnitMode = unit;
    } else if (list_.UnitMode == unit) {
        list_.UnitMode = 0;
    }
    kbImg_->setVisible(list_.UnitMode == 1);
    mbImg_->setVisible(list_.UnitMode == 2);
    rewriteUnits();
}

void ListForm::SetKB(Switch s) {
    setUnit(1, s);
}
void ListForm::SetMB(Switch s) {
    setUnit(2, s);
}

void ListForm::SetFullPath(Switch s) {
    // Refused only while a sort owns the paths; paths the person asked for can go again.
    if (list_.SortKind != 0 || pathsBySort_) {
        platform::Beep();
        return;
    }
    fullPath_ = Resolve(s, fullPath_);
    list_.FullPath = fullPath_;
    fullImg_->setVisible(fullPath_);
    pathsBySort_ = false;
    grid::Grid& g = view_->grid();
    if (listHasFolders()) {
        rememberRows();
        recomputeIndents();
        if (nameColouring_) g.st.textColourMode = fullPath_ ? 1 : 2;
        if (fullPath_) {
            scan::ShowPaths(list_);
            g.st.treeLines = 0;
        } else {
            scan::RestoreNames(list_);
            g.st.treeLines = app::Ctx().TreeDisp ? -1 : 0;
            scan::ComputeTreeFlags(list_);
        }
        restoreRows();
    }
    if (!arranging_) app::PutOptSwitch(QStringLiteral("FULL"), fullPath_);
}

// ---- sort strip ----

void ListForm::SetSort(int index, Switch s) {
    if (index < 0 || index > 1) return;
    rememberRows();
    clearSelectionFigures();
    const bool on = Resolve(s, sortOn_[size_t(index)]);
    sortOn_[size_t(index)] = on;
    srtonimg_[size_t(index)]->setVisible(on);
    if (on) {
        sortOn_[size_t(1 - index)] = false;
        srtonimg_[size_t(1 - index)]->hide();
    }
    grid::Grid& g = view_->grid();
    {
        Busy busy(this);
        if (on) {
            if (!fullPath_) {
                fullPath_ = true;
                list_.FullPath = true;
                fullImg_->show();
                pathsBySort_ = true;
            }
            g.st.treeLines = 0;
            list_.SortKind = index + 1;
            g.st.sortMark = -1;
            g.st.sortColumn = index + 3;
            grid::DrawHeader(g);
            scan::SortRows(list_);
            scan::ShowPaths(list_);
        } else if (list_.SortKind == index + 1) {
            if (pathsBySort_) {
                fullPath_ = false;
                list_.FullPath = false;
                fullImg_->hide();
                pathsBySort_ = false;
            }
            list_.SortKind = 0;
            g.st.treeLines = app::Ctx().TreeDisp && !fullPath_ ? -1 : 0;
            g.st.sortMark = 0;
            g.st.sortColumn = 0;
            grid::DrawHeader(g);
            scan::SortRows(list_);
            if (fullPath_) scan::ShowPaths(list_);
            scan::ComputeTreeFlags(list_);
        }
        if (nameColouring_) g.st.textColourMode = fullPath_ ? 1 : 2;
    }
    if (listHasFolders()) {
        recomputeIndents();
        restoreRows();
        if (list_.SortKind != 0 && app::Ctx().SelTypeWin) {
            g.st.cursorColumn = index + 3;
            grid::DrawCursor(g);
        }
    }
}

void ListForm::updateLitImages() {
    for (int i = 0; i < 5; ++i) lvlimg_[size_t(i)]->setVisible(i == list_.ShownLevel);
    kbImg_->setVisible(list_.UnitMode == 1);
    mbImg_->setVisible(list_.UnitMode == 2);
    fullImg_->setVisible(fullPath_);
    colImg_->setVisible(nameColouring_);
    for (int i = 0; i < 2; ++i) srtonimg_[size_t(i)]->setVisible(sortOn_[size_t(i)]);
}

}  // namespace listwindow
