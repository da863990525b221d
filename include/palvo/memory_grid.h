// Headless flex grid: a plain object that tests and batch hosts fill and read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/grid.h"

namespace Palvo::memory {

/// Which control the grid stands for; fixed when it is made.
enum class GridType { MSFlexGrid, MSHFlexGrid };

/// A flex grid kept in memory: cell texts and cell colours in flat row-major
/// arrays. It starts as the platform's control does: 2 rows, 2 columns, one
/// fixed row and one fixed column, columns 960 twips wide with alignment 9,
/// font size 9, 4800 twips wide. Rows are 240 twips high and 10 data rows
/// are visible from TopRow.
class FlexGrid : public Palvo::FlexGrid {
public:
    explicit FlexGrid(GridType type = GridType::MSFlexGrid, std::string name = "flx");

    std::string typeName() const override;
    std::string Name() const override { return name_; }

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
    float CellFontSize() const override { return fontSize_; }
    std::int32_t CellLeft() const override;
    std::int32_t CellTop() const override;
    std::int32_t CellWidth() const override;
    int TopRow() const override { return topRow_; }
    void TopRow(int row) override;
    int ColSel() const override { return colSel_; }
    void ColSel(int col) override;
    bool RowIsVisible(int row) const override;

    void AddItem(const std::string& text, int index = -1) override;
    void RemoveItem(int index) override;
    void Clear() override;
    void Sort(int how) override;

    void Recordset(Palvo::Recordset& rs) override;
    void Refresh() override {}

    std::int32_t Width() const override { return width_; }
    std::int32_t Left() const override { return left_; }
    std::int32_t Top() const override { return top_; }
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

    // ---- set by the host or a test
    void Width(std::int32_t twips) { width_ = twips; }
    void Left(std::int32_t twips) { left_ = twips; }
    void Top(std::int32_t twips) { top_ = twips; }
    void CellFontSize(float points) { fontSize_ = points; }
    /// The background colour of any cell, without moving the current cell.
    std::int32_t cellBackColor(int row, int col) const;
    /// How often the grid was laid out from a bound recordset.
    int bindCount() const { return bindCount_; }

private:
    std::size_t at(int row, int col) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col);
    }
    void checkCell(int row, int col) const;
    void checkCol(int col) const;

    GridType type_;
    std::string name_;
    int rows_ = 2;
    int cols_ = 2;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    std::vector<std::string> text_;
    // Cell colours, row-major like text_; empty while every cell has colour 0.
    std::vector<std::int32_t> back_;
    std::vector<std::int32_t> colWidth_;
    std::vector<int> colAlign_;
    int row_ = 1;
    int col_ = 1;
    int topRow_ = 1;
    int colSel_ = 1;
    float fontSize_ = 9.0f;
    std::int32_t width_ = 4800;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
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

}  // namespace Palvo::memory
