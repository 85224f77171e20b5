// ListForm: the display operations the options dialog calls, and the options command.
#include <QApplication>

#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "scan/DriveInfo.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

// Settings keys of the eight colour items, in the dialog's order.
const char* const kItemKeys[dialogs::kOptionItems] = {
    "ListForeCol",  "ListBackCol",  "SelForeCol",   "SelBackCol",
    "ListHLineCol", "ListVLineCol", "TitleForeCol", "TitleBackCol"};

constexpr grid::Colour kWhite = 0xFFFFFF;
constexpr grid::Colour kRelief = 0xF0F0F0;  // relief rules do not show on pure white

int StoredBool(bool value) {
    return value ? -1 : 0;
}

void PutBool(const char* key, bool value) {
    app::PutOptInt(QLatin1String(key), StoredBool(value));
}

void PutFont(int n, const dialogs::OptionFont& f) {
    const QString i = QString::number(n);
    app::PutOpt(QStringLiteral("FontName") + i, f.name);
    app::PutOpt(QStringLiteral("FontSize") + i, QString::number(f.size));
    app::PutOptInt(QStringLiteral("FontBold") + i, StoredBool(f.bold));
    app::PutOptInt(QStringLiteral("FontItalic") + i, StoredBool(f.italic));
}

}  // namespace

// ---- display operations ----

void ListForm::D_Tree(bool on) {
    app::ProgramContext& c = app::Ctx();
    c.TreeDisp = on;
    // Paths have no tree: the choice is kept for when they go.
    if (list_.FullPath) return;
    rememberRows();
    if (on) c.ShortSpace = false;
    recomputeIndents();
    refreshRows();
}

void ListForm::D_Wide(bool narrow) {
    app::Ctx().ShortSpace = narrow;
    rememberRows();
    recomputeIndents();
    refreshRows();
}

void ListForm::D_KeiH(int on) {
    grid::GridState& st = view_->grid().st;
    st.hRuleWidth = on ? 1 : 0;
    if (!on && st.line3D) {
        st.line3D = 0;
        PutBool("ListLine3D", false);
    }
    relayoutList();
}

void ListForm::D_KeiV(int on) {
    grid::GridState& st = view_->grid().st;
    st.vRuleWidth = on ? 1 : 0;
    if (!on && st.line3D) {
        st.line3D = 0;
        PutBool("ListLine3D", false);
    }
    relayoutList();
}

void ListForm::D_Kei3D(bool on) {
    grid::GridState& st = view_->grid().st;
    st.line3D = on ? -1 : 0;
    if (on) {
        if (st.backColour == kWhite) st.backColour = kRelief;
        if (st.hRuleWidth == 0) {
            st.hRuleWidth = 1;
            app::PutOptInt(QStringLiteral("KeiDispH"), 1);
        }
        if (st.vRuleWidth == 0) {
            st.vRuleWidth = 1;
            app::PutOptInt(QStringLiteral("KeiDispV"), 1);
        }
    }
    relayoutList();
}

void ListForm::D_Share(bool on) {
    view_->grid().st.shareColumn = on ? scan::kSubtreeColumn : -1;
    repaintList();
}

void ListForm::D_Col(int item, quint32 colour) {
    if (item < 0 || item >= dialogs::kOptionItems) return;
    setItemColour(item, colour);
    grid::Grid& g = view_->grid();
    if (item >= 6) {
        grid::DrawHeader(g);
    } else {
        repaintList();
    }
}

void ListForm::D_Fon(const dialogs::OptionFont& first, const dialogs::OptionFont& second) {
    grid::Grid& g = view_->grid();
    grid::SetPrimaryFont(g, first.name, float(first.size), first.bold, first.italic);
    grid::SetAltFont(g, second.name, float(second.size), second.bold, second.italic);
    relayoutList();
}

quint32 ListForm::ItemColour(int item) const {
    const grid::GridState& st = view_->grid().st;
    switch (item) {
        case 0:
            return st.textColour;
        case 1:
            return st.backColour;
        case 2:
            return st.selTextColour;
        case 3:
            return st.selBackColour;
        case 4:
            return st.hRuleColour;
        case 5:
            return st.vRuleColour;
        case 6:
            return st.headerTextColour;
        case 7:
            return st.headerTopColour;
        default:
            return 0;
    }
}

QRgb ListForm::ScreenColour(quint32 colour) const {
    return grid::ToRgb(colour);
}

void ListForm::setItemColour(int item, quint32 colour) {
    grid::Grid& g = view_->grid();
    grid::GridState& st = g.st;
    switch (item) {
        case 0:
            st.textColour = colour;
            g.surface.textColour = colour;
            applyDisplay();  // name colouring keeps its own text colours
            break;
        case 1:
            st.backColour = colour;
            break;
        case 2:
            st.selTextColour = colour;
            break;
        case 3:
            st.selBackColour = colour;
            break;
        case 4:
            st.hRuleColour = colour;
            break;
        case 5:
            st.vRuleColour = colour;
            break;
        case 6:
            st.headerTextColour = colour;
            break;
        case 7:
            st.headerTopColour = colour;
            break;
        default:
            break;
    }
}

// The rows take new indents or tree lines in place; the cursor's folder stays in view.
void ListForm::refreshRows() {
    applyDisplay();
    if (listHasFolders()) {
        scan::ComputeTreeFlags(list_);
        restoreRows();
    } else {
        repaintList();
    }
}

// Rules and fonts change the rows' height and the columns' edges.
void ListForm::relayoutList() {
    applyMinimumSize();
    placeControls();
}

// ---- the options command ----

void ListForm::Options() {
    CommandGate::Hold hold(gate_);
    eventTurn();
    rememberRows();
    app::ProgramContext& c = app::Ctx();
    grid::Grid& g = view_->grid();
    grid::GridState& st = g.st;

    // What the dialog may change live, to compare with or to put back.
    const auto levelColours = st.levelTextColours;
    const auto backColours = st.backColours;
    const bool treeDisp = c.TreeDisp;
    const bool shortSpace = c.ShortSpace;
    const int hRule = st.hRuleWidth;
    const int vRule = st.vRuleWidth;
    const int line3D = st.line3D;
    const int treeLines = st.treeLines;

    dialogs::OptionForm form(*this);
    form.setIndentButtons(!c.TreeDisp && !list_.FullPath, c.ShortSpace);
    form.setTree(c.TreeDisp);
    form.setLines(st.hRuleWidth > 0, st.vRuleWidth > 0, st.line3D != 0);
    form.setSelectionStyle(c.SelTypeWin);
    form.setNewWindow(c.UseNewWindow);
    form.setUseTrash(app::OptBool("UseTrash"));
    form.setShareBar(app::OptBool("ShareBar"));
    form.setKeepSnapshots(app::OptBool("KeepSnapshots"));
    for (int i = 0; i < dialogs::kOptionItems; ++i) form.setColour(i, ItemColour(i));
    form.setListFont(0, {st.font1Name, st.font1Size, st.font1Bold != 0, st.font1Italic != 0});
    form.setListFont(1, {st.font2Name, st.font2Size, st.font2Bold != 0, st.font2Italic != 0});
    std::array<QRgb, 8> levels{};
    for (size_t i = 0; i < levels.size(); ++i) levels[i] = grid::ToRgb(st.levelTextColours[i]);
    form.setLevelColours(levels);

    for (int s = 0; s < 10; ++s) {
        ListForm* w = InSlot(s);
        if (w && w != this) w->setEnabled(false);
    }
    short answer = 2;
    {
        // A close while the dialog waits lets the window go only afterwards.
        Hold wait(gate_, Mode::InDialog);
        answer = form.DispOption(this);
    }
    for (int s = 0; s < 10; ++s) {
        if (ListForm* w = InSlot(s)) w->setEnabled(true);
    }
    if (gate_.closing()) return;

    if (answer == 1) {
        for (int i = 0; i < dialogs::kOptionItems; ++i) {
            setItemColour(i, form.colour(i));
            app::PutOptColour(QLatin1String(kItemKeys[i]), form.colour(i));
        }
        if (!std::equal(levelColours.begin(), levelColours.begin() + 8,
                        st.levelTextColours.begin())) {
            for (int i = 0; i < 8; ++i)
                app::PutOptColour(app::LevelColourKey(i), st.levelTextColours[size_t(i)]);
        }
        if (backColours != st.backColours) {
            for (int i = 0; i < 16; ++i)
                app::PutOptColour(app::BackgroundColourKey(i), st.backColours[size_t(i)]);
        }
        c.SelTypeWin = form.selectionStyle();
        c.UseNewWindow = form.newWindow();
        PutBool("SelTypeWin", c.SelTypeWin);
        PutBool("UseNewWindow", c.UseNewWindow);
        PutBool("UseTrash", form.useTrash());
        PutBool("ShareBar", form.shareBar());
        PutBool("KeepSnapshots", form.keepSnapshots());
        if (c.TreeDisp != treeDisp) PutBool("TreeDisp", c.TreeDisp);
        if (c.ShortSpace != shortSpace) PutBool("ShortSpace", c.ShortSpace);
        if (st.hRuleWidth != hRule) app::PutOptInt(QStringLiteral("KeiDispH"), st.hRuleWidth);
        if (st.vRuleWidth != vRule) app::PutOptInt(QStringLiteral("KeiDispV"), st.vRuleWidth);
        if ((st.line3D != 0) != (line3D != 0)) PutBool("ListLine3D", st.line3D != 0);
        PutFont(1, form.listFont(0));
        PutFont(2, form.listFont(1));
    } else {
        st.hRuleWidth = hRule;
        st.vRuleWidth = vRule;
        st.line3D = line3D;
        c.ShortSpace = shortSpace;
        c.TreeDisp = treeDisp;
        st.treeLines = treeLines;
        recomputeIndents();
    }

    // Both ways the list shows what is stored now: kept choices, or the old look back.
    readListSettings();
    if (list_.OverviewShown) {
        setHeadings(scan::OverviewHeadings());
        st.selectionMode = 0;
    }
    applyDisplay();
    if (listHasFolders()) scan::ComputeTreeFlags(list_);
    grid::DrawHeader(g);
    if (list_.OverviewShown) {
        grid::ClearSelection(g);
    } else {
        clearSelectionFigures();
    }
    st.topRow = std::clamp(st.topRow, 0, std::max(0, st.rowCount - 1));
    relayoutList();
    if (listHasFolders()) restoreRows();
    focusList();
}

}  // namespace listwindow
