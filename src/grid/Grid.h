#pragma once
// The grid engine: a list drawn by the program itself on a retained picture surface, with a
// heading bar, a scroll position kept as a list of rows, and a repeat timer.
// Every operation takes the grid (surfaces, scroll list, timer and its GridState).
#include <QFont>
#include <QString>
#include <QStringView>
#include <QTimer>
#include <functional>

#include "grid/GridState.h"
#include "grid/GridSurface.h"
#include "grid/ScrollList.h"

namespace grid {

struct Grid {
    Grid();
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;

    GridState st;
    GridSurface surface;    // LSTGRD
    GridSurface header;     // ITMBAR
    ScrollList list;        // SCRLST
    QTimer timer;           // SCRTIM, 50 ms
    bool stopFlag = false;  // the window is closing: the timer does nothing
    // Twips per pixel, read at every layout.
    int tppX = 15;
    int tppY = 15;
};

// ---- model and layout ----
void InitGrid(Grid& g, int headerHeightTwips);
void ClearGrid(Grid& g);
void AddRow(Grid& g, const QString& text, int level, int mark);
void LayoutGrid(Grid& g, int width, int height, int left, int top);
void ComputeRowMetrics(Grid& g);
void PositionColumns(Grid& g);
void FitAndRefresh(Grid& g);
QString CellText(const GridState& st, int column, int row);
// The same text without a copy; valid until the row changes.
QStringView CellView(const GridState& st, int column, int row);
void SetCellText(Grid& g, int column, int row, const QString& text);
void SetPrimaryFont(Grid& g, const QString& name, float size, bool bold, bool italic);
void SetAltFont(Grid& g, const QString& name, float size, bool bold, bool italic);
void SetColumnAltFont(GridState& st, int column, int flag);
// The first or the second font as a whole (name, size, bold, italic).
QFont FontOf(const GridState& st, bool second);
void SetGradientFrom(Grid& g, int index);
void SetGradientTo(Grid& g, int index);
// The scroll list follows a changed row count; returns the active list index (always 0:
// one real scroll bar serves).
int ResizeScrollList(Grid& g);
// Items per page of the scroll list.
int MeasurePage(Grid& g);
// Puts an icon into slot 0..4 (slot 0: the strip, icons side by side with their masks).
void SetIconSlot(GridState& st, int slot, const QImage& image, int width, int height);
// Grows the row arrays by the step when row lies beyond their bound.
void EnsureRow(GridState& st, int row);

// ---- drawing ----
void DrawHeader(Grid& g);
Colour CellBackColour(const GridState& st, int column, int row);
void CellBack(Grid& g, int column, int row, int x1, int y1, int x2, int y2);
void RepaintAll(Grid& g);
void DrawRow(Grid& g, int row);
void DrawCell(Grid& g, int column, int row);
void DrawCursor(Grid& g);
void SetRowIcon(Grid& g, int row, int icon);
void ComputeGradient(GridState& st);
// 0x808080 when R + 2G + 2B of the background lies in 769..1088, else 0xC0C0C0.
Colour TreeLineColourFor(Colour back);

// ---- cell text and letter case ----
void DrawCellText(Grid& g, int column, int row, const QString& text);
void DrawRowTexts(Grid& g, int row);
// The whole text of the cell at (x, y) of the surface when it is drawn cut off; else empty.
QString ClippedCellText(const Grid& g, int x, int y);
QString AsciiLower(const QString& text);
QString AsciiUpper(const QString& text);
QString Capitalise(const QString& text);
QString TitleCase(const QString& text);
QString PathCase(const QString& text);
QString ApplyCase(int style, const QString& text);

// ---- scrolling and selection ----
enum ShiftFlag { ShiftKey = 1, CtrlKey = 2, AltKey = 4 };

// The platform's virtual key codes that the engine knows.
namespace vk {
inline constexpr int Return = 13;
inline constexpr int Shift = 16;
inline constexpr int Control = 17;
inline constexpr int Alt = 18;
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Help = 47;  // moves like End
inline constexpr int Digit0 = 48;
inline constexpr int Digit9 = 57;
inline constexpr int At = 64;  // the at-sign as a typed character
inline constexpr int A = 65;
inline constexpr int B = 66;
inline constexpr int Z = 90;
inline constexpr int Numpad0 = 96;
inline constexpr int Numpad9 = 105;
inline constexpr int Oem3 = 192;  // the key that carries the at-sign on a Japanese layout
}  // namespace vk
inline constexpr int kNoSumColumn = -1;

void ScrollTo(Grid& g, int newTop, bool forceJump);
void SyncScrollList(Grid& g);
void SyncFromScrollList(Grid& g);
void OnScrollTimer(Grid& g);       // SCRTIM tick
void OnScrollListScroll(Grid& g);  // SCRLST scroll event
void MoveCursor(Grid& g, int row);
void ShowRow(Grid& g, int row, int offset);
void SetRowSelected(Grid& g, int row, int value);
void ResetSelection(GridState& st);
void ClearSelection(Grid& g);
void SelectRange(Grid& g, int fromRow, bool downward, int sumColumn);
void HandleKey(Grid& g, int keyCode, int shiftFlags, bool& typedOut, bool& selectionChangedOut,
               int sumColumn, int protectLast);
void TypeAhead(Grid& g, int keyCode);
void SelectAt(Grid& g, int button, int shiftFlags, double x, double y, bool& movedOut,
              bool& selectionChangedOut, int sumColumn);
void DragSelectAt(Grid& g, int button, int shiftFlags, double x, double y, bool& movedOut,
                  bool& selectionChangedOut, int sumColumn);
int RowAtY(const GridState& st, double y);
int ColumnAtX(const GridState& st, double x);
// Scrolls by whole rows (negative: up) and keeps the scroll list in step, as a wheel does.
void ScrollRows(Grid& g, int rows);
// Unselects the last row (the list's total row) when a range took it in.
void ProtectLastRow(Grid& g, int sumColumn);

// ---- the list window's mouse handling on the grid surface ----
struct MouseHooks {
    // A press on a row left of its indentation, on a row with sub-rows: expand or collapse.
    // Returns true when it handled the press (the window's tree rows do this).
    std::function<bool(int row, int shiftFlags)> expandCollapse;
    // A press on a row while the window lists something else (drives): true when handled.
    std::function<bool(int row)> rowPressed;
    // After any press or drag step that may have changed the selection.
    std::function<void()> selectionChanged;
};

struct MouseTracker {
    bool expandClick = false;     // an expand or collapse press is in progress
    bool leftVertically = false;  // marking style: the pointer has left above or below
};

// buttons: bit 0 left, bit 1 right, bit 2 middle.
void GridMousePress(Grid& g, MouseTracker& m, const MouseHooks& hooks, int button, int shiftFlags,
                    double x, double y);
void GridMouseMove(Grid& g, MouseTracker& m, const MouseHooks& hooks, int buttons, int shiftFlags,
                   double x, double y);
void GridMouseRelease(Grid& g, MouseTracker& m);
// The window's key handler on the scroll list: HandleKey with no sum column and the last
// row protected; returns true when the window should recount its selection totals.
bool GridKeyDown(Grid& g, int keyCode, int shiftFlags);

// Platform virtual key code of a Qt key (0 when it has none).
int VirtualKey(int qtKey, bool keypad);

}  // namespace grid
