// ListForm: window slots, loading, layout on resize, closing.
#include "listwindow/ListForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "dialogs/AppIcon.h"
#include "dialogs/MsgBoxForm.h"
#include "grid/MarkIcons.h"
#include "grid/widget/GridView.h"
#include "listwindow/Artwork.h"
#include "listwindow/HitZones.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/DriveMap.h"
#include "platform/Fonts.h"
#include "platform/PathMap.h"
#include "platform/Screen.h"
#include "scan/DriveInfo.h"
#include "scan/Figures.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

constexpr int kMinHeightTwips = 4200;
constexpr int kMinWidthTwips = 8880;
constexpr int kMinWidthLargeFontTwips = 9920;
constexpr int kTopBandPx = 82;         // toolbar, drive buttons, strips and figures
constexpr int kBottomPx = 30;          // the bottom strip
constexpr int kHeaderTwips = 22 * 15;  // room for the sort buttons
constexpr int kMinNameColumnPx = 60;
// The list's text colours of levels 0 to 7.
constexpr std::array<grid::Colour, 8> kLevelTextColours = {0x202020, 0xF04020, 0x008000, 0xE03090,
                                                           0xB06000, 0x1060B0, 0x9030B0, 0x708000};
constexpr grid::Colour kCursorFill = 0xFFD8E8;   // light lavender
constexpr grid::Colour kCursorFrame = 0xFFA060;  // blue
// Teal: no size mark, selection or cursor colour is near it.
constexpr grid::Colour kShareBar = 0x899E1F;

QFont UiFont(const QString& windowsFace, double points, bool bold = false) {
    QFont f(platform::ResolveFontFamily(windowsFace));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QLabel* MakeLabel(const QString& name, QWidget* parent, const QFont& font) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFont(font);
    return l;
}

}  // namespace

ListForm* ListForm::InSlot(int slot) {
    if (slot < 0 || slot >= 10) return nullptr;
    return qobject_cast<ListForm*>(app::Ctx().ListWindows[size_t(slot)].data());
}

ListForm::ListForm(QWidget* parent)
    : QWidget(parent), gate_([this] { followMode(); }, [this] { deleteLater(); }) {
    app::ProgramContext& c = app::Ctx();
    setObjectName(QStringLiteral("ListForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);  // its gate lets it go once nothing runs
    setWindowIcon(dialogs::AppIcon());

    // The slot this window takes.
    slot_ = std::clamp<int>(c.NextSlot, 0, 9);
    c.SlotInUse[size_t(slot_)] = -1;
    c.ListWindows[size_t(slot_)] = this;
    ++c.OpenWindows;

    twipsPerPixelX_ = twipsPerPixelY_ = platform::TwipsPerPixel();
    buttonOfDrive_.fill(-1);

    // The default font, settled by the first window for the run.
    if (c.DefaultFontName.isEmpty()) c.DefaultFontName = app::DefaultFontName1();

    buildControls();

    grid::Grid& g = view_->grid();
    list_.Grid = &g;
    setListHooks();
    grid::InitGrid(g, kHeaderTwips);
    // The heading bar speaks in the window's default face.
    g.header.setFont(UiFont(c.DefaultFontName, 9));
    grid::SetIconSlot(g.st, 0, grid::MarkIconStrip(), grid::kMarkIconWidth, grid::kMarkIconHeight);

    // Drive settings, then the drive buttons, which fill the destination list too.
    clusterChoice_ = app::OptText("ClusterFixedS").leftJustified(26, u'-').left(26);
    removableFlags_ = app::OptText("RemovableList").leftJustified(26, u'0').left(26);
    destinationList_->addItem(QString());
    buildDriveButtons();
    buildMenus();
    // The window sees every key and click before its controls (and refuses them while busy).
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    installEventFilter(this);

    // The program-wide switches and this window's display settings; nothing is shown or
    // stored while the window is arranging itself.
    arranging_ = true;
    c.ShortSpace = app::OptBool("ShortSpace");
    c.SelTypeWin = app::OptBool("SelTypeWin");
    c.UseNewWindow = app::OptBool("UseNewWindow");
    c.TreeDisp = app::OptBool("TreeDisp");
    readListSettings();
    if (app::OptSwitch("COLOR")) SetNameColouring(Switch::On);
    for (int unit = 1; unit <= scan::kLastUnit; ++unit) {
        if (app::OptSwitch(scan::UnitKey(unit))) setUnit(unit, Switch::On);
    }
    if (app::OptSwitch("FULL")) SetFullPath(Switch::On);
    ApplyBackgroundType(std::clamp(app::OptInt("BackColType"), 0, 5));

    setWindowTitle(QStringLiteral("ディレクトリ毎サイズ一覧 Ver.") + c.VersionText);
    // Kept on a screen at the size it will have: the minimum holds once it is shown.
    applyMinimumSize();
    const QSize size = QSize(c.WindowWidth / twipsPerPixelX_, c.WindowHeight / twipsPerPixelY_)
                           .expandedTo(minimumSize());
    const QRect geo = platform::KeepOnScreen(
        QRect(QPoint(c.WindowLeft / twipsPerPixelX_, c.WindowTop / twipsPerPixelY_), size),
        platform::ScreenAreasPixels());
    move(geo.topLeft());
    resize(geo.size());

    // The first window opens on the drive overview.
    if (c.FirstWindow) {
        c.FirstWindow = false;
        list_.OverviewShown = true;
        setHeadings(scan::OverviewHeadings());
    }
}

ListForm::~ListForm() {
    if (controlsLocked_) QApplication::restoreOverrideCursor();
    app::ProgramContext& c = app::Ctx();
    if (c.ListWindows[size_t(slot_)] == this) c.ListWindows[size_t(slot_)] = nullptr;
}

void ListForm::LoadShow() {
    for (QLabel* l :
         {driveTotal_, driveFree_, driveUsed_, selectionTotal_, freeAfterDelete_, freeAfterCopy_})
        l->clear();
    show();
    // The frame must not reach past the screen's edge either. A window manager frames the
    // window some time after it is shown: the frame is fitted again once its borders are known.
    fitFrame();
    frameFitPending_ = frameGeometry().size() == size();
    arranging_ = false;
    placeControls();

    // The command line names a drive with a button: show it; else the overview.
    const QString cmd = app::Ctx().CommandLine;
    if (cmd.size() >= 2 && cmd.at(1) == u':') {
        const int index = platform::LetterIndex(cmd.at(0));
        if (index >= 0 && buttonOfDrive_[size_t(index)] >= 0) {
            app::Ctx().CommandLine.clear();  // only the first window takes it
            Calc(buttonOfDrive_[size_t(index)]);
            return;
        }
    }
    if (list_.OverviewShown) ShowOverview();
    focusList();
}

void ListForm::buildControls() {
    buildToolbar();
    buildFigureLabels();
    buildLevelStrip();
    buildDisplayStrip();
    buildSortButtons();
    buildGridView();
    buildChooser();
    buildBottomStrip();
}

// The toolbar TOLFRM and its pressed looks.
void ListForm::buildToolbar() {
    toolbar_ = new PictureWidget(QStringLiteral("TOLFRM"), this);
    toolbar_->setImage(ToolbarImage(devicePixelRatioF()));
    static const char* const kPressedNames[] = {"TNEWIMG", "TTXTIMG", "TPRTIMG", "TFILIMG",
                                                "TOPTIMG"};
    for (int i = 0; i < 5; ++i) {
        auto* p = new PictureWidget(QString::fromLatin1(kPressedNames[i]), toolbar_);
        p->setImage(ToolbarPressed(i, devicePixelRatioF()));
        p->move(ToolbarButtonRect(i).topLeft());
        p->setAttribute(Qt::WA_TransparentForMouseEvents);
        p->hide();
        toolPressed_[size_t(i)] = p;
    }
    connect(toolbar_, &PictureWidget::pressed, this,
            [this](QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers) {
                command([&] { toolbarPress(pos, b); });
            });
    connect(toolbar_, &PictureWidget::moved, this,
            [this](QPoint pos, Qt::MouseButtons) { toolbarMove(pos); });
    connect(toolbar_, &PictureWidget::released, this,
            [this](QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers) {
                command([&] { toolbarRelease(pos, b); });
            });
}

// The volume line and the drive figures above the list.
void ListForm::buildFigureLabels() {
    const QFont labelFont = UiFont(app::Ctx().DefaultFontName, 9);
    const QFont boldFont = UiFont(app::Ctx().DefaultFontName, 9.75, true);
    volumeLine_ = MakeLabel(QStringLiteral("VOLDSP"), this, boldFont);
    volumeLine_->setTextFormat(Qt::PlainText);
    elapsedLabel_ = MakeLabel(QStringLiteral("Label1"), this, labelFont);
    elapsedLabel_->setStyleSheet(QStringLiteral("color: #606060"));
    static const char16_t* const kCaptions[] = {u"総容量", u"使用済", u"空き"};
    // The drive's figures share one row with the elapsed time: a compact face.
    const QFont figureFont = UiFont(QStringLiteral("Arial"), 8.25);
    const QFont figureCaptionFont = UiFont(app::Ctx().DefaultFontName, 8.25);
    driveTotal_ = MakeLabel(QStringLiteral("TOTDSP"), this, figureFont);
    driveUsed_ = MakeLabel(QStringLiteral("USEDSP"), this, figureFont);
    driveFree_ = MakeLabel(QStringLiteral("FREDSP"), this, figureFont);
    for (const char16_t* text : kCaptions) {
        QLabel* cap = MakeLabel(QString(), this, figureCaptionFont);
        cap->setText(QString::fromUtf16(text));
        cap->setStyleSheet(QStringLiteral("color: #506070"));
        figureCaptions_.push_back(cap);
    }
    for (QLabel* l : {driveTotal_, driveUsed_, driveFree_})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    buildProgress();
    buildHint();
}

// The level strip LVLFRM and its lit images.
void ListForm::buildLevelStrip() {
    // Strips.
    levelStrip_ = new PictureWidget(QStringLiteral("LVLFRM"), this);
    levelStrip_->setImage(LevelStrip(devicePixelRatioF()));
    for (int i = 0; i < 5; ++i) {
        auto* p = new PictureWidget(QStringLiteral("LVLIMG"), levelStrip_);
        p->setProperty("index", i);
        p->setImage(LevelLit(i, devicePixelRatioF()));
        p->move(LevelButtonRect(i).topLeft());
        p->setAttribute(Qt::WA_TransparentForMouseEvents);
        p->hide();
        levelLit_[size_t(i)] = p;
    }
    levelLit_[0]->show();
    connect(levelStrip_, &PictureWidget::pressed, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers) {
                command([&] { LevelStripPress(pos.x()); });
            });
    connect(levelStrip_, &PictureWidget::moved, this, [this](QPoint pos, Qt::MouseButtons) {
        const int b = LevelButtonAt(pos.x());
        levelStrip_->setToolTip(b >= 0 ? QString::fromUtf16(LevelZones()[size_t(b)].tip)
                                       : QString());
    });
}

// The display strip DSPFRM, its lit images and the long-press timer.
void ListForm::buildDisplayStrip() {
    displayStrip_ = new PictureWidget(QStringLiteral("DSPFRM"), this);
    displayStrip_->setImage(DisplayStrip(devicePixelRatioF()));
    auto lit = [this](const char16_t* name, DisplayButton b) {
        auto* p = new PictureWidget(QString::fromUtf16(name), displayStrip_);
        p->setImage(DisplayLit(b, devicePixelRatioF()));
        p->move(DisplayZone(b).topLeft());
        p->hide();
        return p;
    };
    backgroundLit_ = lit(u"D背景色IMG", DisplayButton::Background);
    backgroundLit_->setAttribute(Qt::WA_TransparentForMouseEvents);
    colourLit_ = lit(u"D文字色IMG", DisplayButton::NameColour);
    kbLit_ = lit(u"D数KBIMG", DisplayButton::Kb);
    mbLit_ = lit(u"D数MBIMG", DisplayButton::Mb);
    fullPathLit_ = lit(u"DフルパスIMG", DisplayButton::FullPath);
    gbLit_ = lit(u"D数GBIMG", DisplayButton::Gb);
    connect(colourLit_, &PictureWidget::pressed, this,
            [this] { command([&] { SetNameColouring(Switch::Off); }); });
    connect(kbLit_, &PictureWidget::pressed, this,
            [this] { command([&] { SetKB(Switch::Off); }); });
    connect(mbLit_, &PictureWidget::pressed, this,
            [this] { command([&] { SetMB(Switch::Off); }); });
    connect(gbLit_, &PictureWidget::pressed, this,
            [this] { command([&] { SetGB(Switch::Off); }); });
    connect(fullPathLit_, &PictureWidget::pressed, this,
            [this] { command([&] { SetFullPath(Switch::Off); }); });
    connect(displayStrip_, &PictureWidget::pressed, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers) {
                command([&] { DisplayStripPress(pos.x()); });
            });
    connect(displayStrip_, &PictureWidget::moved, this, [this](QPoint pos, Qt::MouseButtons) {
        const int b = DisplayButtonAt(pos.x());
        displayStrip_->setToolTip(b >= 0 ? QString::fromUtf16(DisplayZones()[size_t(b)].tip)
                                         : QString());
    });
    connect(displayStrip_, &PictureWidget::released, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers) {
                command([&] { DisplayStripRelease(pos.x()); });
            });
    holdTimer_ = new QTimer(this);
    holdTimer_->setObjectName(QStringLiteral("BTNTIM"));
    holdTimer_->setSingleShot(true);
    holdTimer_->setInterval(600);
    connect(holdTimer_, &QTimer::timeout, this, [this] {
        if (gate_.busy()) return;
        // Held: open the chooser showing the current type, without stepping the type.
        backgroundLit_->hide();
        chooser_->raise();
        chooser_->show();
    });
}

// The sort buttons SRTFRM in the heading bar and their lit looks SRTONIMG.
void ListForm::buildSortButtons() {
    for (int i = 0; i < 2; ++i) {
        auto* s = new PictureWidget(QStringLiteral("SRTFRM"), this);
        s->setProperty("index", i);
        s->setImage(SortButton(i, devicePixelRatioF()));
        s->setToolTip(QString::fromUtf16(SortTips()[size_t(i)]));
        auto* on = new PictureWidget(QStringLiteral("SRTONIMG"), s);
        on->setProperty("index", i);
        on->setImage(SortLit(i, devicePixelRatioF()));
        on->hide();
        connect(s, &PictureWidget::released, this, [this, i] {
            command([&] {
                if (!list_.OverviewShown) SetSort(i, Switch::On);
            });
        });
        connect(on, &PictureWidget::released, this,
                [this, i] { command([&] { SetSort(i, Switch::Off); }); });
        sortButtons_[size_t(i)] = s;
        sortLit_[size_t(i)] = on;
    }
}

// The grid with its heading bar and scroll bar.
void ListForm::buildGridView() {
    view_ = new grid::GridView(this);
    view_->hooks().selectionChanged = [this] { selectionChanged(); };
    connect(view_, &grid::GridView::keyHandled, this, [this](int key, int, bool recount) {
        if (key == grid::vk::Escape && !list_.OverviewShown) {
            clearSelectionFigures();
        } else if (recount) {
            selectionChanged();
        }
    });
}

// The background chooser.
void ListForm::buildChooser() {
    // The background chooser lies over the list while it is open.
    chooser_ = new PictureWidget(QString::fromUtf16(u"背景選択PNL"), this);
    chooser_->setImage(BackgroundPanel(devicePixelRatioF()));
    chooser_->hide();
    // All six patterns are shown so that a person sees what to pick; the current one is
    // marked by a frame.
    for (int t = 0; t < kPatternCount; ++t) {
        auto* p = new PictureWidget(QString::fromUtf16(u"背景選択IMG"), chooser_);
        p->setProperty("index", t);
        p->setImage(BackgroundPattern(t, devicePixelRatioF()));
        p->move(PatternCellRect(t).topLeft());
        p->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    chooserMark_ = new PictureWidget(QStringLiteral("CHOOSERSEL"), chooser_);
    chooserMark_->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(chooser_, &PictureWidget::pressed, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers) {
                command([&] { ChooserClick(pos.x(), pos.y()); });
            });
}

// The bottom strip INFFRM: the selection figures and the destination list.
void ListForm::buildBottomStrip() {
    const QFont labelFont = UiFont(app::Ctx().DefaultFontName, 9);
    // Three figures of up to 17 characters share the strip with their captions in a
    // minimum-width window: the compact face of the drive's figures.
    const QFont captionFont = UiFont(app::Ctx().DefaultFontName, 8.25);
    const QFont figureFont = UiFont(QStringLiteral("Arial"), 8.25);
    const QFont boldFigureFont = UiFont(QStringLiteral("Arial"), 8.25, true);
    bottomStrip_ = new QFrame(this);
    bottomStrip_->setObjectName(QStringLiteral("INFFRM"));
    bottomStrip_->setFrameShape(QFrame::StyledPanel);
    selectionCount_ = MakeLabel(QStringLiteral("SUMNAM"), bottomStrip_, captionFont);
    selectionTotal_ = MakeLabel(QStringLiteral("SUMDSP"), bottomStrip_, boldFigureFont);
    freeAfterDelete_ = MakeLabel(QStringLiteral("DLSDSP"), bottomStrip_, figureFont);
    freeAfterCopy_ = MakeLabel(QStringLiteral("MOVDSP"), bottomStrip_, figureFont);
    for (QLabel* l : {selectionTotal_, freeAfterDelete_, freeAfterCopy_})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    freeAfterDelete_->setToolTip(QStringLiteral("選択したフォルダーを削除した後の空き容量"));
    freeAfterCopy_->setToolTip(
        QStringLiteral("選択したフォルダーをコピーした後のコピー先の空き容量"));
    freeAfterDeleteCaption_ = MakeLabel(QStringLiteral("DLSCAP"), bottomStrip_, captionFont);
    freeAfterDeleteCaption_->setText(QStringLiteral("削除後の空き"));
    destinationCaption_ = MakeLabel(QStringLiteral("DSTCAP"), bottomStrip_, captionFont);
    destinationCaption_->setText(QStringLiteral("コピー先"));
    destinationList_ = new QComboBox(bottomStrip_);
    destinationList_->setObjectName(QStringLiteral("DSTLST"));
    destinationList_->setFont(labelFont);
    connect(destinationList_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        command([&] {
            CloseChooser();
            list_.Destination = text;
            // A drive chosen again may have changed its medium: its figures are read anew.
            if (!text.isEmpty()) scan::ForgetRemovable(text.at(0));
            scan::ShowSelectionFigures(list_);
            refreshFigures();
            focusList();
        });
    });
}

void ListForm::setHeadings(const std::array<QString, 5>& headings) {
    grid::Grid& g = view_->grid();
    for (size_t i = 0; i < headings.size(); ++i) g.st.headings[i] = headings[i];
    grid::DrawHeader(g);
}

void ListForm::setListHooks() {
    list_.ProcessEvents = [this] { eventTurn(); };
    // The label shows each folder as it is scanned; it is painted at most every 25 ms,
    // as often as an eye can follow, so painting does not slow the scan.
    list_.ShowProgress = [this](const QString& folder) { showProgress(folder); };
    list_.ReportFailure = [this](const QString& text) { MsgBoxEx(text, 0, QString()); };
    // The drive's figures are shown as its folders start to come; the controls are locked
    // by the listing mode itself.
    list_.SetBusy = [this](bool busy) {
        if (busy) refreshFigures();
    };
    list_.RecomputeIndentStep = [this] { recomputeIndents(); };
    list_.ApplyBackgroundType = [this](int type) { ApplyBackgroundType(std::clamp(type, 0, 5)); };
    list_.HeadingsChanged = [this] { grid::DrawHeader(view_->grid()); };
    grid::MouseHooks& hooks = view_->hooks();
    // In the drive overview a press on a drive's row lists that drive.
    hooks.rowPressed = [this](int row) {
        if (!list_.OverviewShown) return false;
        if (row >= 0 && row < ButtonCount()) command([&] { showDrive(row); });
        return true;
    };
    // Left of a folder's indentation: its sub-rows open or close (Shift: every level).
    hooks.expandCollapse = [this](int row, int shiftFlags) {
        const grid::GridState& st = view_->grid().st;
        const scan::FolderTable& t = list_.Folders;
        if (list_.SortKind != 0 || list_.PathsFlag || row < 0 || row + 1 >= st.rowCount ||
            row >= t.bound())
            return false;
        const int f = t.Order[size_t(row)];
        if (f < 0 || f >= t.bound() || !t.HasChildren[size_t(f)]) return false;
        const int next = t.Order[size_t(row + 1)];
        const bool shown = row + 2 < st.rowCount && next >= 0 && next < t.bound() &&
                           t.Level[size_t(next)] > t.Level[size_t(f)];
        if (shown) {
            scan::CollapseRow(list_, row);
        } else {
            scan::ExpandRow(list_, row, shiftFlags & grid::ShiftKey);
        }
        return true;
    };
    list_.SelectionChanged = [this] {
        scan::ShowSelectionFigures(list_);
        refreshFigures();
    };
}

void ListForm::readListSettings() {
    grid::Grid& g = view_->grid();
    grid::GridState& st = g.st;
    st.headerTextColour = app::OptColour("TitleForeCol");
    st.headerTopColour = app::OptColour("TitleBackCol");
    st.textColour = app::OptColour("ListForeCol");
    g.surface.textColour = st.textColour;
    st.backColour = app::OptColour("ListBackCol");
    st.selBackColour = app::OptColour("SelBackCol");
    st.selTextColour = app::OptColour("SelForeCol");
    st.vRuleColour = app::OptColour("ListVLineCol");
    st.hRuleColour = app::OptColour("ListHLineCol");
    // A hand-edited settings file must not make the list unreadable: rule widths and font
    // sizes outside sensible ranges take their defaults.
    auto ruleWidth = [](const char* key, int def) {
        const int v = app::OptInt(key);
        return v >= 0 && v <= 4 ? v : def;
    };
    auto fontSize = [](const char* key, float def) {
        bool ok = false;
        const float v = app::OptText(key).trimmed().toFloat(&ok);
        return ok && v >= 4.0f && v <= 72.0f ? v : def;
    };
    st.vRuleWidth = ruleWidth("KeiDispV", 1);
    st.hRuleWidth = ruleWidth("KeiDispH", 0);
    st.line3D = app::OptBool("ListLine3D") ? -1 : 0;
    st.selectionMode = app::Ctx().SelTypeWin ? 2 : 1;
    st.cellCursor = app::Ctx().SelTypeWin ? -1 : 0;
    // The cursor shows in both styles (a frame alone in the marking style), in colours that
    // no size mark uses, so that a person sees where Home, End and typing have gone.
    st.cursorFrame = -1;
    st.cursorBackColour = kCursorFill;
    st.cursorFrameColour = kCursorFrame;
    st.shareColumn = app::OptBool("ShareBar") ? scan::kSubtreeColumn : -1;
    st.shareColour = kShareBar;
    for (size_t i = 0; i < kLevelTextColours.size(); ++i)
        st.levelTextColours[i] = kLevelTextColours[i];
    st.columnCount = 5;
    for (int c = 0; c < 5; ++c) {
        st.columnAlign[size_t(c)] = c == 0 ? 0 : 1;
        grid::SetColumnAltFont(st, c, c == 0 ? 0 : 1);
    }
    setHeadings(scan::FolderHeadings());
    grid::SetPrimaryFont(g, app::OptText("FontName1"), fontSize("FontSize1", 9.75f),
                         app::OptBool("FontBold1"), app::OptBool("FontItalic1"));
    grid::SetAltFont(g, app::OptText("FontName2"), fontSize("FontSize2", 9.0f),
                     app::OptBool("FontBold2"), app::OptBool("FontItalic2"));
    recomputeIndents();
}

// The indent step: half the width of the icon strip, which holds each icon and its mask
// side by side, plus 2; narrower with the narrow indent while the tree lines are off, the
// list is sorted or shows full paths.
void ListForm::recomputeIndents() {
    const int half = 2 * grid::kMarkIconWidth / 2;
    const bool narrow =
        app::Ctx().ShortSpace && (!app::Ctx().TreeDisp || list_.SortKind != 0 || list_.FullPath);
    // Narrow: half of that half, plus 2 (9 pixels, not half of the wide step).
    const int step = narrow ? half / 2 + 2 : half + 2;
    list_.IndentStep = step;
    view_->grid().st.indentStep = step;
    scan::RecomputeIndents(list_);
}

// The volume line shows what fits, cut in the middle with "…"; the whole text is its tip.
void ListForm::showVolumeLine(const QString& text) {
    volumeLineText_ = text;
    const QString shown =
        QFontMetrics(volumeLine_->font()).elidedText(text, Qt::ElideMiddle, volumeLine_->width());
    volumeLine_->setText(shown);
    volumeLine_->setToolTip(shown == text ? QString() : text);
}

void ListForm::placeControls() {
    const QSize client = size();
    const int cw = client.width();
    const int ch = client.height();
    // Top band: toolbar at the left, drive buttons, the volume and its figures; the
    // strips at the right.
    toolbar_->move(6, 6);
    int x = 6 + toolbar_->width() + 10;
    for (size_t i = 0; i < driveButtons_.size(); ++i) {
        driveButtons_[i]->move(x, 4);
        driveLabels_[i]->setGeometry(x - 2, 4 + driveButtons_[i]->height(),
                                     driveButtons_[i]->width() + 4, 14);
        x += driveButtons_[i]->width() + 6;
    }
    const int lvlLeft =
        (cw * twipsPerPixelX_ - levelStrip_->width() * twipsPerPixelX_ - 105) / twipsPerPixelX_;
    levelStrip_->move(lvlLeft, 4);
    displayStrip_->move(cw - displayStrip_->width() - 7, 4 + levelStrip_->height() + 4);
    const int textLeft = 6 + toolbar_->width() + 10;
    // One row under the volume name: the elapsed time at the left, the drive's figures
    // as caption and value pairs at the right.
    const int pair = 134;
    const int figuresLeft = std::max(textLeft + 60, cw - 8 - 3 * pair);
    QLabel* values[] = {driveTotal_, driveUsed_, driveFree_};
    for (int i = 0; i < 3; ++i) {
        const int fx = figuresLeft + i * pair;
        figureCaptions_[size_t(i)]->setGeometry(fx, 62, 36, 16);
        values[i]->setGeometry(fx + 34, 62, pair - 38, 16);
    }
    volumeLine_->setGeometry(textLeft, 44, std::max(40, displayStrip_->x() - textLeft - 8), 18);
    showVolumeLine(volumeLineText_);
    elapsedLabel_->setGeometry(textLeft, 62, std::max(40, figuresLeft - textLeft - 4), 16);
    // While a drive is listed the elapsed time's place holds the stop button and the bar.
    const int stopWidth = stopButton_->sizeHint().width();
    stopButton_->setGeometry(textLeft, 61, stopWidth, 18);
    // A narrow window gives the bar the drive total's place while it lists.
    int barWidth = figuresLeft - textLeft - stopWidth - 12;
    barOverTotal_ = barWidth < 80;
    if (barOverTotal_) barWidth += pair;
    progressBar_->setGeometry(textLeft + stopWidth + 6, 63, std::max(40, barWidth), 14);

    placeBottomStrip(cw, ch);

    // The grid takes the rest: the heading bar top down to the bottom strip.
    const int gridTop = kTopBandPx;
    const int gridWTw = (cw - 12) * twipsPerPixelX_;
    const int gridHTw = std::max(0, bottomStrip_->y() - gridTop) * twipsPerPixelY_;
    grid::Grid& g = view_->grid();
    SetColumnWidths(gridWTw);
    g.surface.resize(gridWTw / twipsPerPixelX_,
                     std::max(1, (gridHTw - g.st.headerHeight) / twipsPerPixelY_));
    g.surface.clear(g.st.backColour);
    view_->setGeometry(6, gridTop, gridWTw / twipsPerPixelX_, gridHTw / twipsPerPixelY_);
    grid::LayoutGrid(g, gridWTw, gridHTw, 0, 0);

    // The hint sits in the lower part of the list, below the drive overview's rows.
    const int hintWidth = std::max(40, view_->width() - 40);
    hint_->setGeometry(view_->x() + 20, view_->y() + view_->height() * 2 / 3, hintWidth,
                       std::max(20, hint_->heightForWidth(hintWidth)));
    hint_->raise();

    // Sort buttons sit in the heading bar, at the right end of their columns.
    for (int i = 0; i < 2; ++i) {
        const int right = view_->x() + g.st.textRight[size_t(i + 4)];
        sortButtons_[size_t(i)]->move(right - sortButtons_[size_t(i)]->width() - 3, view_->y() + 1);
        sortButtons_[size_t(i)]->raise();
    }
    chooser_->move(displayStrip_->x() + displayStrip_->width() - chooser_->width(),
                   displayStrip_->y() + displayStrip_->height() + 2);
}

// Widths of the figure columns: N for a size, C for a count, S for the scroll bar, measured
// in the second font, in which the figures are drawn.
ListForm::FigureWidths ListForm::figureWidths() const {
    const grid::Grid& g = view_->grid();
    const QFontMetrics fm(grid::FontOf(g.st, true));
    FigureWidths w;
    w.scroll = g.list.widthTwips() / std::max(1, twipsPerPixelX_);
    w.size = fm.horizontalAdvance(QStringLiteral(" 9,999,999,999,999")) + w.scroll;
    w.count = fm.horizontalAdvance(QStringLiteral(" 99,999,999"));
    return w;
}

// The bottom strip's fields side by side, each as wide as its widest text: a count, and
// figures of 17 characters with a minus sign (a copy that does not fit), so nothing is cut
// and no value runs over a caption.
std::vector<std::pair<QWidget*, int>> ListForm::bottomStripFields() const {
    auto width = [](const QLabel* l, const QString& widest) {
        return QFontMetrics(l->font()).horizontalAdvance(widest) + 6;
    };
    const QString figure = QStringLiteral("-8,888,888,888,888");
    return {
        {selectionCount_, width(selectionCount_, QStringLiteral("99,999個合計"))},
        {selectionTotal_, width(selectionTotal_, figure)},
        {freeAfterDeleteCaption_, width(freeAfterDeleteCaption_, freeAfterDeleteCaption_->text())},
        {freeAfterDelete_, width(freeAfterDelete_, figure)},
        {destinationCaption_, width(destinationCaption_, destinationCaption_->text())},
        {destinationList_, 52},
        {freeAfterCopy_, width(freeAfterCopy_, figure)}};
}

int ListForm::bottomStripWidth() const {
    int w = 6;
    for (const auto& field : bottomStripFields()) w += field.second + 4;
    return w + 2;
}

void ListForm::placeBottomStrip(int cw, int ch) {
    const int stripW = bottomStripWidth();
    const int stripH = kBottomPx - 4;
    bottomStrip_->resize(stripW, stripH);
    // Centred by the window's rule, and kept inside the window.
    const int stripLeft =
        ((cw * twipsPerPixelX_ - stripW * twipsPerPixelX_ - 630) / 2 + 675) / twipsPerPixelX_;
    bottomStrip_->move(std::max(2, std::min(stripLeft, cw - stripW - 2)), ch - stripH - 2);
    int x = 6;
    for (const auto& [w, width] : bottomStripFields()) {
        if (w == destinationList_) {
            w->setGeometry(x, 2, width, 22);
        } else {
            w->setGeometry(x, 4, width, 18);
        }
        x += width + 4;
    }
}

void ListForm::SetColumnWidths(int availableTwips) {
    grid::GridState& st = view_->grid().st;
    const FigureWidths f = figureWidths();
    st.columnWidths[0] = std::max(kMinNameColumnPx, availableTwips / std::max(1, twipsPerPixelX_) -
                                                        3 * f.size - f.scroll - f.count);
    st.columnWidths[1] = f.count;
    st.columnWidths[2] = f.size;
    st.columnWidths[3] = f.size;
    st.columnWidths[4] = f.size + f.scroll - 2;
}

void ListForm::applyMinimumSize() {
    const int minH = kMinHeightTwips / twipsPerPixelY_;
    const float fontSize = view_ ? view_->grid().surface.font().pointSizeF() : 0;
    int minW = (fontSize >= 12 ? kMinWidthLargeFontTwips : kMinWidthTwips) / twipsPerPixelX_;
    // Many drives: the window stays wide enough for every drive button beside the strips.
    int buttons = 0;
    for (const PictureWidget* b : driveButtons_) buttons += b->width() + 6;
    const int strips = std::max(levelStrip_->width(), displayStrip_->width()) + 7;
    minW = std::max(minW, 6 + toolbar_->width() + 10 + buttons + 8 + strips);
    // Large fonts: every column keeps a place under its heading, and the bottom strip
    // shows its widest figures whole.
    const FigureWidths f = figureWidths();
    minW = std::max(minW, 12 + kMinNameColumnPx + 3 * f.size + f.scroll + f.count);
    minW = std::max(minW, bottomStripWidth() + 8);
    setMinimumSize(minW, minH);
}

void ListForm::resizeEvent(QResizeEvent*) {
    applyMinimumSize();
    if (windowState() & Qt::WindowMinimized) return;
    // Without a window manager nothing else holds the minimum: snap back, which resizes
    // again, and remember nothing of the smaller size.
    if (width() < minimumWidth() || height() < minimumHeight()) {
        resize(std::max(width(), minimumWidth()), std::max(height(), minimumHeight()));
        return;
    }
    placeControls();
    // A normal window remembers its size for the next start.
    const bool fitted = size() == fittedSize_;
    fittedSize_ = QSize();
    if (windowState() == Qt::WindowNoState && lastState_ == Qt::WindowNoState && !arranging_ &&
        !fitted) {
        app::Ctx().WindowWidth = width() * twipsPerPixelX_;
        app::Ctx().WindowHeight = height() * twipsPerPixelY_;
    }
}

// The frame (the client and the window manager's borders) moved and made smaller where it
// does not fit the screen. The client size given up for the borders is not remembered.
void ListForm::fitFrame() {
    const QRect frame = frameGeometry();
    const QRect fitted = platform::KeepOnScreen(frame, platform::ScreenAreasPixels());
    if (fitted == frame) return;
    const QSize client =
        (fitted.size() - (frame.size() - size())).expandedTo(minimumSize()).boundedTo(size());
    if (client != size()) {
        fittedSize_ = client;
        resize(client);
    }
    if (fitted.topLeft() != frame.topLeft()) move(fitted.topLeft());
}

void ListForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!frameFitPending_ || frameGeometry().size() == size()) return;
    frameFitPending_ = false;
    if (windowState() == Qt::WindowNoState) fitFrame();
}

void ListForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) lastState_ = windowState() & ~Qt::WindowActive;
    QWidget::changeEvent(event);
}

void ListForm::saveClosingSettings() {
    if (windowState() == Qt::WindowNoState) {
        app::PutOptInt(QStringLiteral("PositionX"), x() * twipsPerPixelX_);
        app::PutOptInt(QStringLiteral("PositionY"), y() * twipsPerPixelY_);
    }
    app::ProgramContext& c = app::Ctx();
    app::PutOptInt(QStringLiteral("WIDTH"), c.WindowWidth);
    app::PutOptInt(QStringLiteral("HEIGHT"), c.WindowHeight);
    if (list_.VOLDSP != QLatin1String("My Computer")) {
        app::PutOptInt(QStringLiteral("BackColType"), list_.BackType);
        app::PutOptSwitch(QStringLiteral("COLOR"), list_.NameColouring);
    }
    for (int unit = 1; unit <= scan::kLastUnit; ++unit)
        app::PutOptSwitch(QLatin1String(scan::UnitKey(unit)), list_.UnitMode == unit);
}

void ListForm::closeEvent(QCloseEvent* event) {
    if (gate_.closing()) {
        event->accept();
        return;
    }
    app::ProgramContext& c = app::Ctx();
    c.WindowDrives[slot_] = u' ';
    --c.OpenWindows;
    if (c.OpenWindows <= 0) {
        saveClosingSettings();
        // A box still waiting answers Cancel, so that its caller does not wait on unseen.
        if (dialogs::MsgBoxWindow()) dialogs::MsgBoxWindow()->close();
    }
    // A running scan ends at its next check, an operation at its next question; the gate
    // lets the window go once whatever runs has returned.
    list_.StopFlag = true;
    view_->grid().stopFlag = true;
    view_->grid().timer.stop();
    c.SlotInUse[size_t(slot_)] = 0;
    c.ListWindows[size_t(slot_)] = nullptr;
    event->accept();
    gate_.close();
}

void ListForm::eventTurn() {
    QCoreApplication::processEvents();
}

void ListForm::followMode() {
    const bool locked = gate_.controlsLocked();
    if (locked == controlsLocked_) return;
    controlsLocked_ = locked;
    QWidget* const controls[] = {view_->gridWidget(), view_->scrollBar(), levelStrip_,
                                 displayStrip_,       toolbar_,           bottomStrip_,
                                 sortButtons_[0],     sortButtons_[1]};
    for (QWidget* w : controls) w->setEnabled(!locked);
    for (PictureWidget* b : driveButtons_) b->setEnabled(!locked);
    if (locked) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

int ListForm::OpenSiblingWindow() {
    eventTurn();
    app::ProgramContext& c = app::Ctx();
    if (c.OpenWindows >= 9) {
        platform::Beep();
        return slot_;
    }
    int free = -1;
    for (int i = 0; i < 10; ++i) {
        if (c.SlotInUse[size_t(i)] != -1) {
            free = i;
            break;
        }
    }
    if (free < 0) {
        platform::Beep();
        return slot_;
    }
    c.NextSlot = qint16(free);
    c.WindowLeft = (x() + 40) * twipsPerPixelX_;
    c.WindowTop = (y() + 40) * twipsPerPixelY_;
    auto* w = new ListForm();
    w->LoadShow();
    return free;
}

void ListForm::NewWindow() {
    OpenSiblingWindow();
}

void ListForm::NextWindow() {
    for (int k = 1; k < 10; ++k) {
        ListForm* w = InSlot((slot_ + k) % 10);
        if (w && w != this) {
            w->raise();
            w->activateWindow();
            w->focusList();
            return;
        }
    }
    platform::Beep();
}

void ListForm::focusList() {
    if (view_->isVisible() && view_->isEnabled()) view_->focusList();
}

}  // namespace listwindow
