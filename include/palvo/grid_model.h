// The flex grid's state and rules, kept once: cells, fixed rows and columns,
// widths, alignments, cell colours, the current cell, AddItem / RemoveItem /
// Clear, sorting and the Recordset binding. The memory grid is this model with
// a headless geometry; the Qt grid is this model shown in a view that listens
// to its changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palvo/bulk_memory.h"
#include "palvo/export.h"
#include "palvo/grid.h"

namespace Palvo {

struct ResultTable;

/// Which control a grid stands for; fixed when it is made.
enum class GridType { MSFlexGrid, MSHFlexGrid };

/// What a view of a GridModel is told. Shape changes come as begin/end pairs,
/// the begin before the model changes and the end after it, so that a view can
/// keep its own idea of the shape in step; cell changes are told afterwards.
/// The model calls these only after it has checked the arguments, so a change
/// that raises an error is never announced.
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
    virtual void colWidthChanged(int col) = 0;
};

/// A flex grid's state and rules. It starts as the platform's control does:
/// 2 rows, 2 columns, one fixed row and one fixed column, columns 960 twips
/// wide with alignment 9 (general). Cell texts and colours are flat row-major
/// arrays. What depends on a screen (the control's place and size, the cell
/// geometry, which rows are in view, the font) is left to the adapter.
class PALVO_API GridModel : public FlexGrid {
public:
    explicit GridModel(GridType type = GridType::MSFlexGrid);
    ~GridModel() override;

    GridType type() const { return type_; }
    std::string typeName() const override;

    int Rows() const override { return rows_; }
    void Rows(int rows) override;
    int Cols() const override { return cols_; }
    void Cols(int cols) override;
    int FixedRows() const override { return fixedRows_; }
    void FixedRows(int rows) override;
    int FixedCols() const override { return fixedCols_; }
    void FixedCols(int cols) override;

    std::string TextMatrix(int row, int col) const override;
    void TextMatrix(int row, int col, const std::string& text) override;
    std::int32_t ColWidth(int col) const override;
    void ColWidth(int col, std::int32_t twips) override;
    int ColAlignment(int col) const override;
    void ColAlignment(int col, int alignment) override;

    int Row() const override { return row_; }
    void Row(int row) override;
    int Col() const override { return col_; }
    void Col(int col) override;
    std::int32_t CellBackColor() const override;
    void CellBackColor(std::int32_t color) override;
    std::int32_t CellWidth() const override { return ColWidth(col_); }
    int TopRow() const override { return topRow_; }
    /// Keeps the row (never above the fixed rows); an adapter scrolls it into view.
    void TopRow(int row) override;
    int ColSel() const override { return colSel_; }
    void ColSel(int col) override;

    void AddItem(const std::string& text, int index = -1) override;
    void RemoveItem(int index) override;
    void Clear() override;
    void Sort(int how) override;

    void Recordset(Palvo::Recordset& rs) override;
    void Refresh() override {}

    int HighLight() const override { return highLight_; }
    void HighLight(int mode) override { highLight_ = mode; }
    std::string ToolTipText() const override { return toolTip_; }
    void ToolTipText(const std::string& text) override { toolTip_ = text; }
    bool AllowBigSelection() const override { return allowBigSelection_; }
    void AllowBigSelection(bool allow) override { allowBigSelection_ = allow; }
    std::int32_t BackColorBkg() const override { return backColorBkg_; }
    void BackColorBkg(std::int32_t color) override { backColorBkg_ = color; }
    int SelectionMode() const override { return selectionMode_; }
    void SelectionMode(int mode) override { selectionMode_ = mode; }
    int AllowUserResizing() const override { return allowUserResizing_; }
    void AllowUserResizing(int mode) override { allowUserResizing_ = mode; }
    int ScrollBars() const override { return scrollBars_; }
    void ScrollBars(int mode) override { scrollBars_ = mode; }
    int FocusRect() const override { return focusRect_; }
    void FocusRect(int mode) override { focusRect_ = mode; }
    bool WordWrap() const override { return wordWrap_; }
    void WordWrap(bool wrap) override { wordWrap_ = wrap; }
    int RowSizingMode() const override { return rowSizingMode_; }
    void RowSizingMode(int mode) override { rowSizingMode_ = mode; }

    // ---- for views and hosts
    /// The text of a cell known to lie inside the grid, without a copy.
    const std::string& cellText(int row, int col) const { return text_[at(row, col)]; }
    /// The background colour of any cell, without moving the current cell. Throws 381 outside.
    std::int32_t cellBackColor(int row, int col) const;
    /// The width last set through the port, in twips (a view may show the column otherwise).
    std::int32_t colWidthSet(int col) const;
    /// Writes a result's values into the cells from (firstRow, firstCol) on, each
    /// as its text (Value::toText), announced as one change: what writing each
    /// cell through TextMatrix gives, for a fill of many rows. Throws 381 unless
    /// the whole block lies inside the grid.
    void writeValues(const ResultTable& table, int firstRow, int firstCol);
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
    // A large grid's texts are one bulk block: cheap to touch when fresh.
    using Texts = std::vector<std::string, BulkAllocator<std::string>>;

    std::size_t at(int row, int col) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(col);
    }
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
    Texts text_;
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

}  // namespace Palvo
