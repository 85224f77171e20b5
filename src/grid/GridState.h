#pragma once
// The record that holds everything the grid engine knows about one grid.
#include <QImage>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <vector>

namespace grid {

// Windows colour value 0x00BBGGRR; 0x80000000 + n names system colour n.
using Colour = quint32;
inline constexpr Colour kSysHighlight = 0x8000000D;
inline constexpr Colour kSysHighlightText = 0x8000000E;
inline constexpr Colour kNoColour = 0xFFFFFFFF;  // -1: "do not fill"

inline constexpr int kMaxColumns = 10;
inline constexpr QChar kFieldSep = QChar(2);
inline constexpr int kFirstRowBound = 100;  // rows 0..99
inline constexpr int kRowGrowStep = 200;

struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Row indentations. Writes go through set() and friends so that the engine knows when its
// ancestor index (used for the tree lines) must be rebuilt.
class RowIndents {
  public:
    int size() const { return int(v_.size()); }
    int operator[](int i) const { return v_[size_t(i)]; }
    int at(int i, int fallback = 0) const {
        return i >= 0 && i < size() ? v_[size_t(i)] : fallback;
    }
    void set(int i, int value) {
        v_[size_t(i)] = qint16(value);
        ++revision_;
    }
    void resize(int n) {
        v_.resize(size_t(n), 0);
        ++revision_;
    }
    void assign(int n) {
        v_.assign(size_t(n), 0);
        ++revision_;
    }
    // Moves rows [from, size - count) to [from + count, size): opens a gap of count rows.
    void shiftDown(int from, int count);
    // Moves rows [from + count, size) to [from, ...): closes a gap of count rows.
    void shiftUp(int from, int count);
    quint64 revision() const { return revision_; }

  private:
    std::vector<qint16> v_;
    quint64 revision_ = 1;
};

// Where a grid's cell texts come from when the rows are not stored as text: the rows refer
// to records of their owner, whose figures are formatted only when a cell is drawn or read.
class RowSource {
  public:
    virtual ~RowSource() = default;
    // The text of a cell. The view may point into scratch or into the source's own data;
    // it is valid until the next call or a change of the rows.
    virtual QStringView cell(int row, int column, QString& scratch) const = 0;
    // The row's part of a whole, 0..1, that the share column shows as a bar; negative: none.
    virtual double share(int row) const {
        Q_UNUSED(row);
        return -1;
    }
};

struct GridState {
    int cursorColumn = 0;
    int cursorRow = 0;
    int columnCount = 0;
    int rowCount = 0;
    int rowHeight = 0;
    std::array<CellRect, kMaxColumns> cellRects{};
    std::array<QString, kMaxColumns> headings;
    std::array<int, kMaxColumns> columnWidths{};
    std::array<int, kMaxColumns> columnLeft{};
    std::array<int, kMaxColumns + 1> textRight{};
    std::array<int, kMaxColumns> columnRight{};
    std::array<int, kMaxColumns> columnAlign{};  // 0 left, 1 right, 2 centred
    std::array<int, kMaxColumns> altFontColumn{};
    int rowSpacing = 0;
    int line3D = 0;
    int hRuleWidth = 0;
    int vRuleWidth = 0;
    Colour hRuleColour = 0;
    Colour vRuleColour = 0;
    Colour textColour = 0;
    Colour backColour = 0xFFFFFF;
    Colour headerTextColour = 0;
    Colour headerTopColour = 0;
    int headerHeight = 0;  // twips
    int textTop = 0;
    int topRow = 0;
    int visibleRows = 0;
    int cursorDrawn = 0;
    int drawnCursorColumn = 0;
    int drawnCursorRow = 0;
    int cellCursor = 0;
    Colour cursorBackColour = 0;
    Colour cursorTextColour = 0;
    Colour cursorFrameColour = 0;
    int cursorFrame = 0;
    Colour selBackColour = 0;
    Colour selTextColour = 0;
    int anchorRow = -1;
    int selectedCount = 0;
    qint64 selectedSum = 0;
    int selectionMode = 0;  // 0 none, 1 one row (marking), 2 many rows
    std::array<int, kMaxColumns> columnCase{};
    int treeLines = 0;
    int indentStep = 0;
    // The column whose cells draw a bar of their row's share (RowSource::share) behind the
    // figure, in shareColour; -1: none, and drawing asks nothing.
    int shareColumn = -1;
    // The figure columns hold changes (a comparison with an earlier scan): printed titles say so.
    bool changeFigures = false;
    Colour shareColour = 0;
    Colour treeLineColour = 0x808080;
    int iconTop = 0;
    int gridWidth = 0;   // twips
    int gridHeight = 0;  // twips
    int textAreaHeight = 0;
    // Icon slots. Images carry an alpha channel, which drawing uses instead of a separate
    // mask (the equivalent of mask AND, image XOR).
    std::array<QImage, 5> iconImage;
    std::array<int, 5> iconWidth{};
    std::array<int, 5> iconHeight{};
    RowIndents rowIndent;
    std::vector<quint8> rowIcon;
    std::vector<quint8> rowTreeFlags;  // bit 0 has sub-rows, bit 1 last sibling
    int textColourMode = 0;
    int backColourMode = 0;
    std::vector<quint8> rowLevel;
    std::vector<quint8> rowMark;
    std::array<Colour, 16> levelTextColours{};
    std::array<Colour, 16> backColours{};
    int gradientFrom = 0;
    int gradientTo = 0;
    std::vector<qint16> rowSelected;  // 0 or -1
    // The rows' texts, cells separated by kFieldSep, for a grid without a row source; sized
    // only as far as rows were given text.
    std::vector<QString> rowText;
    // When set, cell texts come from here and rowText stays empty.
    const RowSource* source = nullptr;
    mutable QString cellScratch;
    int fontNameDiffers = 0;
    int fontSizeDiffers = 0;
    int fontBoldDiffers = 0;
    int fontItalicDiffers = 0;
    int altFontActive = 0;
    int fontMode = 1;  // 1 first font, 2 second font, 3 mixed
    QString font1Name;
    float font1Size = 9.75f;
    int font1Bold = 0;
    int font1Italic = 0;
    QString font2Name;
    float font2Size = 9.75f;
    int font2Bold = 0;
    int font2Italic = 0;
    int syncingScroll = 0;
    int refillingScroll = 0;
    int sortMark = 0;
    int initialised = 0;
    int rangeBusy = 0;
    int sortColumn = 0;
    int sortDirection = 0;
    std::array<double, 3> gradStart{};  // red, green, blue of backColours[gradientFrom]
    std::array<double, 3> gradDelta{};  // difference to backColours[gradientTo]

    // The common upper bound + 1 of the row arrays.
    int rowBound() const { return int(rowMark.size()); }
    // Gives every row array n elements, keeping contents.
    void dimRows(int n);
    // Erases every row array and gives it n elements.
    void eraseRows(int n);
    bool selected(int r) const {
        return r >= 0 && r < int(rowSelected.size()) && rowSelected[size_t(r)];
    }

    // Ancestor index for the tree lines: for each row, the nearest row above with a smaller
    // indentation. Rebuilt lazily when rowIndent changes.
    mutable std::vector<int> indentUp;
    mutable quint64 indentUpRevision = 0;
};

// The two default colour tables.
extern const std::array<Colour, 16> kDefaultLevelTextColours;
extern const std::array<Colour, 16> kDefaultBackColours;

}  // namespace grid
