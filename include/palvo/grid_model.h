// The flex grid: its state and rules, kept once (cells, fixed rows and
// columns, widths, alignments, cell colours, the current cell, AddItem /
// RemoveItem / Clear, sorting, the Recordset binding, and the block writes a
// fill makes). The memory grid is this model with a headless geometry; the Qt
// grid is this model shown in a view that listens to its changes. Only what
// depends on a screen (font, place, size, what is in view) is virtual.
// Getters and setters share the member's name.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/grid_cells.h"

namespace Palvo {

class Recordset;
struct ResultTable;

/// Error numbers a flex grid raises.
namespace GridError {
inline constexpr long BadValue = 380;           // "Invalid property value"
inline constexpr long Subscript = 381;          // "Subscript out of range"
inline constexpr long NotSupported = 438;       // "Object doesn't support this property or method"
inline constexpr long BadRow = 30009;           // "Invalid Row value"
inline constexpr long BadCol = 30010;           // "Invalid Col value"
inline constexpr long LastNonFixedRow = 30015;  // "Can not remove last non-fixed row"
}  // namespace GridError

/// The order in which Sort puts rows whose sort column holds `texts`:
/// empty cells, then numbers by value, then other texts byte by byte; `how` 1
/// ascending, 2 the exact reverse; rows that tie keep their order.
PALVO_API std::vector<std::size_t> genericSortOrder(const std::vector<std::string_view>& texts, int how);

/// Which control a grid stands for; fixed when it is made.
enum class GridType { MSFlexGrid, MSHFlexGrid };

/// What a view of a GridModel is told. Shape changes come as begin/end pairs,
/// the begin before the model changes and the end after it, so that a view can
/// keep its own idea of the shape in step; cell changes are told afterwards,
/// a block write as one change. The model calls these only after it has
/// checked the arguments, so a change that raises an error is never announced.
class PALVO_API GridListener {
public:
    virtual ~GridListener();
    /// Texts, colours or alignments changed inside the inclusive rectangle.
    virtual void cellsChanged(int firstRow, int firstCol, int lastRow, int lastCol) = 0;
    virtual void beginInsertRows(int first, int last) = 0;
    virtual void endInsertRows() = 0;
    virtual void beginRemoveRows(int first, int last) = 0;
    virtual void endRemoveRows() = 0;
    virtual void beginInsertCols(int first, int last) = 0;
    virtual void endInsertCols() = 0;
    virtual void beginRemoveCols(int first, int last) = 0;
    virtual void endRemoveCols() = 0;
    /// Anything may change in between: rows reordered or laid out anew.
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    /// The fixed row or column count changed; nothing else did.
    virtual void fixedChanged() = 0;
    /// The widths of the columns first..last were set.
    virtual void colWidthsChanged(int first, int last) = 0;
    /// One of the control's looks changed: HighLight, ToolTipText,
    /// BackColorBkg, SelectionMode, AllowUserResizing, ScrollBars, WordWrap.
    virtual void lookChanged() = 0;
};

/// A flex grid (typeName() "MSFlexGrid" or "MSHFlexGrid"). Indices are
/// 0-based, row 0 is the heading row, sizes are twips. It starts as the
/// platform's control does: 2 rows, 2 columns, one fixed row and one fixed
/// column, columns 960 twips wide with alignment 9 (general). Every member
/// that takes a row or column raises Palvo::Error 381 when it lies outside
/// the grid; Row and Col raise 30009 and 30010. Cell texts are kept row-major
/// in GridCells. The place, size, font and what is in view are the adapter's.
class PALVO_API GridModel : public Control {
public:
    explicit GridModel(GridType type = GridType::MSFlexGrid);
    ~GridModel() override;

    GridType type() const { return type_; }
    std::string typeName() const override;

    // ---- shape
    int Rows() const { return rows_; }
    /// Drops or adds rows at the end. Throws 380 for a negative count.
    void Rows(int rows);
    int Cols() const { return cols_; }
    /// Drops or adds columns at the right. Throws 380 for a negative count.
    void Cols(int cols);
    int FixedRows() const { return fixedRows_; }
    /// Throws 380 unless 0 <= rows <= Rows().
    void FixedRows(int rows);
    int FixedCols() const { return fixedCols_; }
    /// Throws 380 unless 0 <= cols <= Cols().
    void FixedCols(int cols);

    // ---- cells
    /// The cell text, "" when empty.
    std::string TextMatrix(int row, int col) const;
    void TextMatrix(int row, int col, const std::string& text);
    /// The width the view shows (the last one set, unless a user resized the column).
    virtual std::int32_t ColWidth(int col) const;
    /// -1 restores the default width. Throws 380 below -1.
    void ColWidth(int col, std::int32_t twips);
    /// 1 left centred, 3 centred top, 9 general (text left, numbers right), or any grid code.
    int ColAlignment(int col) const;
    void ColAlignment(int col, int alignment);

    // ---- the current cell
    int Row() const { return row_; }
    void Row(int row);
    int Col() const { return col_; }
    void Col(int col);
    /// The background colour of the current cell (0xBBGGRR; 0 is the grid's default).
    std::int32_t CellBackColor() const;
    void CellBackColor(std::int32_t color);
    /// The font size of the current cell, in points.
    virtual float CellFontSize() const = 0;
    virtual std::int32_t CellLeft() const = 0;
    virtual std::int32_t CellTop() const = 0;
    std::int32_t CellWidth() const { return ColWidth(col_); }
    /// The first scrollable row shown.
    int TopRow() const { return topRow_; }
    /// Keeps the row (never above the fixed rows); an adapter scrolls it into view.
    virtual void TopRow(int row);
    /// The column where the selection ends.
    int ColSel() const { return colSel_; }
    void ColSel(int col);
    virtual bool RowIsVisible(int row) const = 0;

    // ---- rows
    /// Adds a row whose cells from column 0 take the tab-separated parts of
    /// text; inserted at index (0..Rows()) or appended when index is -1.
    /// Throws 381 for another index.
    void AddItem(const std::string& text, int index = -1);
    /// Removes a data row. Throws 381 for a row outside the grid or a fixed
    /// row, 30015 when it is the last data row.
    void RemoveItem(int index);
    /// Empties every cell (text and cell colours) and keeps the shape.
    void Clear();
    /// 1 sorts the data rows by column Col() generic ascending, 2 generic
    /// descending (genericSortOrder). Throws 380 for other values.
    void Sort(int how);

    // ---- binding (MSHFlexGrid only; an MSFlexGrid throws 438)
    /// Binds a recordset: the grid takes its own copy of the rows and lays
    /// them out: field k in column FixedCols() + k, field names in row 0, one
    /// row per record from row FixedRows().
    void Recordset(Palvo::Recordset& rs);
    /// The rows are laid out when bound; nothing is left to do.
    void Refresh() {}

    // ---- the control
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Left() const = 0;
    virtual std::int32_t Top() const = 0;
    int HighLight() const { return highLight_; }
    void HighLight(int mode) { look(highLight_, mode); }
    std::string ToolTipText() const { return toolTip_; }
    void ToolTipText(const std::string& text) { look(toolTip_, text); }
    bool AllowBigSelection() const { return allowBigSelection_; }
    void AllowBigSelection(bool allow) { allowBigSelection_ = allow; }

    // ---- appearance, written once by the grid styling of the entry forms
    std::int32_t BackColorBkg() const { return backColorBkg_; }
    void BackColorBkg(std::int32_t color) { look(backColorBkg_, color); }
    int SelectionMode() const { return selectionMode_; }
    void SelectionMode(int mode) { look(selectionMode_, mode); }
    int AllowUserResizing() const { return allowUserResizing_; }
    void AllowUserResizing(int mode) { look(allowUserResizing_, mode); }
    int ScrollBars() const { return scrollBars_; }
    void ScrollBars(int mode) { look(scrollBars_, mode); }
    int FocusRect() const { return focusRect_; }
    void FocusRect(int mode) { focusRect_ = mode; }
    bool WordWrap() const { return wordWrap_; }
    void WordWrap(bool wrap) { look(wordWrap_, wrap); }
    int RowSizingMode() const { return rowSizingMode_; }
    void RowSizingMode(int mode) { rowSizingMode_ = mode; }

    // ---- block writes: each is announced as one change
    /// Writes texts into row `row` from column `firstCol` on. Throws 381
    /// unless every one of them lands inside the grid (nothing written then).
    void writeRow(int row, int firstCol, const std::vector<std::string>& texts);
    /// Writes texts down column `col` from row `firstRow` on. Throws 381 as writeRow.
    void writeColumn(int col, int firstRow, const std::vector<std::string>& texts);
    /// Writes textOf(i) (a text or a view of one) into cell (firstRow + i, col)
    /// for i from 0 to count - 1: writeColumn without a list of the texts.
    template <class TextOf>
    void writeColumn(int col, int firstRow, int count, TextOf textOf);
    /// Rewrites the cells of column `col` from row `firstRow` to the last:
    /// edit(text) gives the new text (a text, or a view of one that is not the
    /// grid's), or nothing to leave the cell as it is.
    /// Announced once, when anything changed. Throws 381 outside the grid.
    template <class Edit>
    void editColumn(int col, int firstRow, Edit edit);
    /// Appends a row whose cells from column 0 take the texts (the rest stay
    /// empty). Unlike AddItem a text keeps its tabs. Throws 381 for more texts than columns.
    void appendRow(const std::vector<std::string>& texts);
    /// Empties the texts of the inclusive rectangle. Throws 381 outside the grid.
    void clearCells(int firstRow, int firstCol, int lastRow, int lastCol);
    /// Gives the cells of the inclusive rectangle the background colour, in
    /// every `rowStep`-th row from firstRow (1 for every row); the current cell
    /// stays. Throws 381 outside the grid, 380 for a step below 1.
    void backColorBlock(int firstRow, int firstCol, int lastRow, int lastCol, std::int32_t color,
                        int rowStep = 1);
    /// Sets the alignment of the columns firstCol..lastCol, as ColAlignment does each. Throws 381 outside.
    void alignColumns(int firstCol, int lastCol, int alignment);
    /// Sets the widths of the columns from 0 on, as ColWidth does each. Throws
    /// 381 for more widths than columns, 380 for one below -1 (nothing set then).
    void colWidths(const std::vector<std::int32_t>& twips);
    /// Writes a result's values into the cells from (firstRow, firstCol) on,
    /// each as its text (Value::toText; Null empty). Throws 381 unless the
    /// whole block lies inside the grid.
    void writeValues(const ResultTable& table, int firstRow, int firstCol);
    /// Appends rows made elsewhere: `cells` holds whole rows of Cols() cells,
    /// the first Rows() of them standing for the grid's own rows (the grid's
    /// texts replace what they hold), and becomes the grid's texts, so the
    /// rows are not copied. Throws 381 unless it holds whole rows and at least
    /// Rows() of them. Announced as one insertion.
    void adoptRows(GridCells&& cells);

    // ---- for views and hosts
    /// The text of a cell known to lie inside the grid, without a copy; valid
    /// until the grid next changes.
    std::string_view cellText(int row, int col) const { return text_.get(at(row, col)); }
    /// The background colour of any cell, without moving the current cell. Throws 381 outside.
    std::int32_t cellBackColor(int row, int col) const;
    /// The width last set, in twips (a view may show the column otherwise).
    std::int32_t colWidthSet(int col) const;
    /// How often the grid was laid out from a bound recordset.
    int bindCount() const { return bindCount_; }
    /// Who is told of every change; nullptr for nobody. Not owned.
    void listen(GridListener* listener) { listener_ = listener; }

protected:
    /// Throws 381 unless the cell lies inside the grid.
    void checkCell(int row, int col) const;
    /// Throws 381 unless the column lies inside the grid.
    void checkCol(int col) const;
    /// Starts from another shape than 2 x 2 (a view that comes with its own);
    /// only before anyone listens. The current cell goes to the first data cell.
    void startShape(int rows, int cols, int fixedRows, int fixedCols);

private:
    std::size_t at(int row, int col) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(col);
    }
    template <class T, class U>
    void look(T& field, const U& value) {
        field = value;
        if (listener_) listener_->lookChanged();
    }
    void cellsChanged(int firstRow, int firstCol, int lastRow, int lastCol) {
        if (listener_) listener_->cellsChanged(firstRow, firstCol, lastRow, lastCol);
    }
    // Throws 381 unless `count` cells down (or across) from the cell lie inside the grid.
    void checkRun(int row, int col, long long count, bool down) const;
    // The block of writeValues, unchecked and unannounced.
    void copyValues(const ResultTable& table, int firstRow, int firstCol);
    // The shape changes themselves, unchecked and unannounced.
    void resizeRows(int rows);
    void resizeCols(int cols);

    GridType type_;
    GridListener* listener_ = nullptr;
    int rows_ = 2;
    int cols_ = 2;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    GridCells text_;
    // Cell colours, row-major like text_; empty while every cell has colour 0.
    std::vector<std::int32_t> back_;
    std::vector<std::int32_t> colWidth_;
    std::vector<int> colAlign_;
    int row_ = 1;
    int col_ = 1;
    int topRow_ = 1;
    int colSel_ = 1;
    int highLight_ = 1;
    std::string toolTip_;
    bool allowBigSelection_ = true;
    std::int32_t backColorBkg_ = 0x808080;
    int selectionMode_ = 0;
    int allowUserResizing_ = 0;
    int scrollBars_ = 3;
    int focusRect_ = 1;
    bool wordWrap_ = false;
    int rowSizingMode_ = 0;
    int bindCount_ = 0;
};

template <class TextOf>
void GridModel::writeColumn(int col, int firstRow, int count, TextOf textOf) {
    if (count <= 0) return;
    checkRun(firstRow, col, count, true);
    for (int i = 0; i < count; ++i) text_.set(at(firstRow + i, col), textOf(i));
    cellsChanged(firstRow, col, firstRow + count - 1, col);
}

template <class Edit>
void GridModel::editColumn(int col, int firstRow, Edit edit) {
    checkCol(col);
    if (firstRow < 0) checkCell(firstRow, col);
    int first = rows_;
    int last = -1;
    for (int r = firstRow; r < rows_; ++r) {
        const auto next = edit(text_.get(at(r, col)));
        if (!next) continue;
        text_.set(at(r, col), *next);
        first = std::min(first, r);
        last = r;
    }
    if (last >= 0) cellsChanged(first, col, last, col);
}

}  // namespace Palvo
