#pragma once
// The main list window: one drive's folder list (or the drive overview), its drive
// buttons, strips, figures and toolbar. Up to nine are open at once.
#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "dialogs/MessageBox.h"
#include "dialogs/OptionForm.h"
#include "folderops/OpsText.h"
#include "listwindow/CommandGate.h"
#include "scan/DriveList.h"
#include "scan/FigureTree.h"

class QComboBox;
class QFrame;
class QProgressBar;
class QPushButton;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QAction;
class QTimer;

namespace grid {
class GridView;
}

namespace listwindow {

class PictureWidget;
class FormOpsHost;

enum class Switch { Off, On, Toggle };

class ListForm : public QWidget,
                 public dialogs::OptionTarget,
                 public dialogs::MsgBoxForwarder<ListForm> {
    Q_OBJECT
  public:
    // Loads the window in the slot NextSlot (load steps up to the start geometry).
    explicit ListForm(QWidget* parent = nullptr);
    ~ListForm() override;

    // Shows the window and takes the command line (the rest of the load).
    void LoadShow();

    int slot() const { return slot_; }
    scan::DriveList& list() { return list_; }
    grid::GridView* view() const { return view_; }

    // Shows the drive of button i in this window (a command: refused while busy).
    void Calc(int button);
    // The window's one busy state.
    CommandGate& gate() { return gate_; }
    const CommandGate& gate() const { return gate_; }
    // Opens a new window in the first free slot; this window's slot when none may open.
    int OpenSiblingWindow();
    void SetColumnWidths(int availableTwips);
    int ButtonCount() const { return int(driveButtons_.size()); }
    int ButtonOfDrive(int letterIndex) const { return buttonOfDrive_[size_t(letterIndex)]; }
    QChar ButtonLetter(int button) const;
    void ShowOverview();
    // Asks for an exported scan and shows it as a drive of its own (a command).
    void ImportScan();
    // 比較 (Alt+D): the listed drive against an earlier listing or an exported scan; while a
    // comparison shows, the same command leaves it.
    void Compare();
    // Asks for a folder and lists it as a drive of its own (Ctrl+O; a command).
    void OpenFolder();
    // Lists the drive again (F5), keeping the level, folds, sort, unit, cursor and selection
    // wherever their folders remain (a command).
    void RefreshDrive();
    // Reads the cursor's folder and its subtree again (Shift+F5); the folders above it
    // follow (a command).
    void RefreshFolder();

    // Level, display and sort strips.
    void LevelStripPress(double x);
    void ChooseLevel(int level);
    int ShownLevel() const { return list_.ShownLevel; }
    void DisplayStripPress(double x);
    void DisplayStripRelease(double x);
    void SetNameColouring(Switch s);
    void SetKB(Switch s);
    void SetMB(Switch s);
    void SetGB(Switch s);
    void SetFullPath(Switch s);
    void SetSort(int index, Switch s);
    void ApplyBackgroundType(int type);
    void NextBackgroundType() { ApplyBackgroundType((list_.BackType + 1) % 6); }
    int BackgroundType() const { return list_.BackType; }
    bool NameColouring() const { return list_.NameColouring; }
    bool ChooserOpen() const;
    void CloseChooser();
    void ChooserClick(double x, double y);

    // Pop-up menu items of the drive buttons.
    void ClusterSizeItem(int menuButton, int k);
    void RemovableItem(int menuButton);

    void NewWindow();
    void NextWindow();  // F6

    // Saves the list as a text report or CSV (toolbar button 1, Alt+W).
    void SaveList();
    // Prints the list with a preview (toolbar button 2).
    void PrintList();
    // Draws the list into the print settings window's preview.
    void D_PREV();
    // Find folder: asks for the text, then searches from the cursor row (F3, right click
    // on the new-window button); FindNext and FindPrev search from a row without wrapping.
    void FindAsk();
    void FindNext(int start);
    void FindPrev(int start);
    QString FindText() const { return findText_; }

    // The options dialog (Alt+O, toolbar button 4), holding the window's gate while it is open,
    // and the display operations it calls, each shown at once.
    void Options();
    void D_Tree(bool on) override;
    void D_Wide(bool narrow) override;
    void D_KeiH(int on) override;
    void D_KeiV(int on) override;
    void D_Kei3D(bool on) override;
    void D_Col(int item, quint32 colour) override;
    void D_Fon(const dialogs::OptionFont& first, const dialogs::OptionFont& second) override;
    void D_Share(bool on) override;
    quint32 ItemColour(int item) const override;
    QRgb ScreenColour(quint32 colour) const override;
    // Folder menu POP_DIRGRD (toolbar button 3): at globalPos with rows selected, else a
    // beep; nothing in the drive overview.
    void FolderMenu(QPoint globalPos);
    // Its items: delete, copy and move the selected folders (each one command).
    void DeleteFolders();
    void CopyFolders();
    void MoveFolders();

    // The menu of a row (right button released on it, or the Menu key on the cursor row):
    // the file manager, a terminal and the path for its folder, its largest files, and the
    // folder menu's copy, move and delete. The drive overview's rows and the total row offer
    // what applies to a drive.
    void RowMenu(int row, QPoint globalPos);
    // Its items, each one command.
    void OpenInFileManager(int row);
    void OpenTerminalAt(int row);
    void CopyFolderPath(int row);
    void ShowLargestFiles(int row);

    static ListForm* InSlot(int slot);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend class FormOpsHost;
    // Runs f as one command: refused with a beep while another command runs.
    template <typename F>
    void command(F&& f) {
        gate_.run(std::forward<F>(f));
    }
    using Mode = CommandGate::Mode;
    using Hold = CommandGate::Hold;
    // Input that reaches the window while it is busy: refused, never half-run.
    void refuseInput(QEvent* event);
    // The one point where pending events run while the window works (a scan's or an
    // operation's turn, a command waiting for its window to settle); input that arrives
    // meanwhile meets the gate.
    void eventTurn();
    // The controls and the pointer follow the gate's mode.
    void followMode();
    void showDrive(int button);
    void buildControls();
    void buildToolbar();
    void buildFigureLabels();
    void buildLevelStrip();
    void buildDisplayStrip();
    void buildSortButtons();
    void buildGridView();
    void buildChooser();
    void buildBottomStrip();
    void setHeadings(const std::array<QString, 5>& headings);
    void setListHooks();
    void buildDriveButtons();
    int addDriveButton(int letterIndex);
    // Lists the drive of a letter, giving it a button first when it has none.
    void showLetter(int letterIndex);
    void openImport();
    void buildCompareMenu();
    void fillCompareMenu();
    QByteArray listedSource() const;
    void compare();
    void compareWithSnapshot(const QByteArray& file, const QByteArray& source,
                             const QString& label);
    void compareWithFile();
    void showComparison(const scan::FigureTree& then, const QString& label);
    void leaveComparison();
    // While a comparison shows: only the folders that changed (Alt+Shift+D), or all again.
    void setChangedOnly(Switch s);
    void showListAgain(bool changes);
    // A command that changes or reads the disk is refused while a comparison shows (its rows
    // include folders that are gone): true, after saying so.
    bool refusedWhileComparing();
    // A stopped listing is not compared: true, after saying so.
    bool refusedIncomplete();
    // A snapshot of a complete listing, for later comparisons (when the setting allows).
    void keepSnapshot();
    void buildFolderItems();
    void buildHint();
    void fillRecentMenu();
    void openFolder();
    void openFolderAsDrive(const QByteArray& folder);
    void buildMenus();
    void readListSettings();
    void placeControls();
    void fitFrame();
    void showVolumeLine(const QString& text);
    void applyMinimumSize();
    struct FigureWidths {
        int size = 0;    // a size column
        int count = 0;   // the file-count column
        int scroll = 0;  // the scroll bar
    };
    FigureWidths figureWidths() const;
    std::vector<std::pair<QWidget*, int>> bottomStripFields() const;
    int bottomStripWidth() const;
    void placeBottomStrip(int clientWidth, int clientHeight);
    void fillList(QChar drive);
    // Listing progress: the running figures in the volume line, a bar when the drive's folder
    // count is known from an earlier listing, and the stop button.
    void buildProgress();
    void beginProgress(QChar drive);
    void showProgress(const QString& folder);
    void endProgress(QChar drive);
    // The stop button takes the elapsed time's place while something is read.
    void showDriveTotal(bool shown);
    void showStopButton(bool reading);
    // Esc or the stop button while a drive is listed: what was read stays listed.
    void stopListing();
    void refreshDrive();
    // Reads the folder of row again (the root's row: the whole drive).
    void refreshFolder(int row);
    // After the folder table changed under the rows: the rows in shape again, the figures.
    void recomputeIndents();
    void refreshFigures();
    void rewriteUnits();
    void setUnit(int unit, Switch s);
    void rememberRows();
    // Rows rebuilt in tree order: sorted and given paths as the list is, drawn, the cursor
    // back on the folder rememberRows noted.
    void arrangeRows();
    void restoreRows();
    int rowOfFolder(int folder) const;
    // The grid follows the list's display state (tree lines, indent step, colours, sort mark).
    void applyDisplay();
    // A full repaint over a cleared surface, so nothing of the old look stays.
    void repaintList();
    void clearSelectionFigures();
    void setItemColour(int item, quint32 colour);
    void refreshRows();
    void relayoutList();
    void updateLitImages();
    void showDrivePressed(int button, QPoint pos, Qt::MouseButton mb, Qt::KeyboardModifiers mods);
    // The drive menu of a button at a point of the screen; false when its drive has none.
    bool popDriveMenu(int button, QPoint at);
    void driveMenuKey();
    void recentMenuKey();
    void driveLabelClicked(int button);
    bool handleKeyDown(QKeyEvent* event);
    bool handleKeyUp(QKeyEvent* event);
    void toolbarPress(QPoint pos, Qt::MouseButton button);
    void toolbarMove(QPoint pos);
    void toolbarRelease(QPoint pos, Qt::MouseButton button);
    void focusList();
    void saveList();
    void printList();
    void findAsk();
    void findNext(int start);
    void findPrev(int start);
    bool listHasFolders() const;
    void selectionChanged();
    void saveClosingSettings();
    void buildFolderMenu();
    // The native folder a row stands for (a drive's root in the overview, the drive's root on
    // the total row); empty when it has none on this machine.
    QByteArray rowFolder(int row) const;
    // Runs act on the row's folder on this machine as one command; a beep when it has none.
    void onRowFolder(int row, const std::function<void(const QByteArray&)>& act);
    // The folder record of a row (the root's on the total row); -1 in the overview.
    int rowRecord(int row) const;
    void showLargestFiles(int row);
    void runFolderOperation(folderops::Operation operation);
    void afterFolderOperation();

    int slot_ = 0;
    bool arranging_ = true;
    // Shown before a window manager framed the window: its frame is fitted when it comes.
    bool frameFitPending_ = false;
    // The size the frame's fitting asked for: not remembered as the person's size.
    QSize fittedSize_;
    Qt::WindowStates lastState_ = Qt::WindowNoState;
    int twipsPerPixelX_ = 15;
    int twipsPerPixelY_ = 15;
    // The one busy state: it decides what input is taken, the lock and when the window goes.
    CommandGate gate_;
    bool controlsLocked_ = false;  // as last applied to the controls and the pointer
    std::set<int> refusedKeys_;    // pressed while busy: their release is swallowed too
    bool swallowRelease_ = false;  // the press was refused
    QElapsedTimer progressClock_;  // the last progress paint
    QElapsedTimer listingClock_;   // since the listing began
    qint64 foldersBefore_ = 0;     // the drive's folder count when it was listed before
    bool barOverTotal_ = false;    // the bar takes the drive total's place while it shows
    QProgressBar* progressBar_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QString findText_;

    scan::DriveList list_;
    grid::GridView* view_ = nullptr;

    // Top band.
    PictureWidget* toolbar_ = nullptr;
    std::array<PictureWidget*, 5> toolPressed_{};
    int pressedTool_ = -1;
    int toolUnderPointer_ = -1;
    std::vector<PictureWidget*> driveButtons_;
    std::vector<QLabel*> driveLabels_;
    std::array<int, 26> buttonOfDrive_{};
    int currentButton_ = -1;
    int menuButton_ = -1;
    QLabel* volumeLine_ = nullptr;
    QString volumeLineText_;  // VOLDSP's whole text (the label may show it cut)
    QLabel* driveTotal_ = nullptr;
    QLabel* driveUsed_ = nullptr;
    QLabel* driveFree_ = nullptr;
    QLabel* elapsedLabel_ = nullptr;
    std::vector<QLabel*> figureCaptions_;

    // Strips.
    PictureWidget* levelStrip_ = nullptr;
    std::array<PictureWidget*, 5> levelLit_{};
    PictureWidget* displayStrip_ = nullptr;
    PictureWidget* kbLit_ = nullptr;
    PictureWidget* mbLit_ = nullptr;
    PictureWidget* gbLit_ = nullptr;
    PictureWidget* fullPathLit_ = nullptr;
    PictureWidget* colourLit_ = nullptr;
    PictureWidget* backgroundLit_ = nullptr;
    std::array<PictureWidget*, 2> sortButtons_{};
    std::array<PictureWidget*, 2> sortLit_{};
    PictureWidget* chooser_ = nullptr;
    PictureWidget* chooserMark_ = nullptr;
    QTimer* holdTimer_ = nullptr;
    bool backPressed_ = false;

    // Bottom strip.
    QFrame* bottomStrip_ = nullptr;
    QLabel* selectionCount_ = nullptr;
    QLabel* selectionTotal_ = nullptr;
    QLabel* freeAfterDelete_ = nullptr;
    QLabel* freeAfterCopy_ = nullptr;
    QLabel* freeAfterDeleteCaption_ = nullptr;
    QLabel* destinationCaption_ = nullptr;
    QComboBox* destinationList_ = nullptr;

    // Menus.
    QMenu* clusterMenu_ = nullptr;
    std::array<QAction*, 9> clusterItems_{};
    QMenu* removableMenu_ = nullptr;
    QAction* removableItem_ = nullptr;
    QMenu* importMenu_ = nullptr;
    QAction* importItem_ = nullptr;
    QMenu* folderMenu_ = nullptr;
    QAction* openFolderItem_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* compareMenu_ = nullptr;
    bool snapshotFailureShown_ = false;
    QByteArray keptSource_;  // the snapshot kept of the listing last made
    qint64 keptTaken_ = 0;
    QLabel* hint_ = nullptr;  // what to do in a window that shows no drive
    QMenu* rowMenu_ = nullptr;
    // A right press on the list armed the row menu for its release (not while the press
    // listed a drive of the overview).
    bool rowMenuArmed_ = false;

    // Display state.
    std::array<quint32, 16> savedBackColours_{};
    bool backColoursSaved_ = false;
    std::map<int, Qt::KeyboardModifiers> keyDownMods_;
    int rememberedFolder_ = -1;  // folder record under the cursor; -1: the top
    int rememberedOffset_ = 0;   // its rows below the top of the view
    QString clusterChoice_;
    QString removableFlags_;
};

}  // namespace listwindow
