// A grid for reports of very many rows: the rows of a query kept in a
// temporary file instead of memory, read through the flex grid port, so the
// printed and spreadsheet reports lay it out as they lay out any grid.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/export.h"
#include "palvo/grid.h"

namespace Palvo {

class Connection;

/// An MSFlexGrid whose heading row is held in memory and whose data rows lie
/// in an unnamed temporary file (in TMPDIR, else /tmp) that goes with the
/// object: its memory does not grow with the rows. Filled by sFillSpooled,
/// then read-only: members that change rows or data cells (Rows, Cols,
/// AddItem, RemoveItem, Clear, Sort, Recordset, a data cell's TextMatrix or
/// CellBackColor) throw Palvo::Error 438. Reading the rows in order is cheap;
/// going back to an earlier row reads from the nearest of every 64th row.
/// Otherwise it behaves as memory::FlexGrid (font size 9, 4800 twips wide).
class PALVO_API SpooledGrid final : public FlexGrid {
public:
    SpooledGrid();
    ~SpooledGrid() override;
    SpooledGrid(const SpooledGrid&) = delete;
    SpooledGrid& operator=(const SpooledGrid&) = delete;

    std::string typeName() const override { return "MSFlexGrid"; }
    std::string Name() const override { return "flx"; }

    int Rows() const override;
    void Rows(int rows) override;
    int Cols() const override;
    void Cols(int cols) override;
    int FixedRows() const override;
    void FixedRows(int rows) override;
    int FixedCols() const override;
    void FixedCols(int cols) override;

    std::string TextMatrix(int row, int col) const override;
    /// Row 0 (the headings) only.
    void TextMatrix(int row, int col, const std::string& text) override;
    std::int32_t ColWidth(int col) const override;
    void ColWidth(int col, std::int32_t twips) override;
    int ColAlignment(int col) const override;
    void ColAlignment(int col, int alignment) override;

    int Row() const override;
    void Row(int row) override;
    int Col() const override;
    void Col(int col) override;
    std::int32_t CellBackColor() const override { return 0; }
    void CellBackColor(std::int32_t color) override;
    float CellFontSize() const override;
    std::int32_t CellLeft() const override { return 0; }
    std::int32_t CellTop() const override { return 0; }
    std::int32_t CellWidth() const override { return ColWidth(Col()); }
    int TopRow() const override;
    void TopRow(int row) override;
    int ColSel() const override;
    void ColSel(int col) override;
    bool RowIsVisible(int) const override { return false; }

    void AddItem(const std::string& text, int index = -1) override;
    void RemoveItem(int index) override;
    void Clear() override;
    void Sort(int how) override;
    void Recordset(Palvo::Recordset& rs) override;
    void Refresh() override {}

    std::int32_t Width() const override;
    std::int32_t Left() const override { return 0; }
    std::int32_t Top() const override { return 0; }
    int HighLight() const override;
    void HighLight(int mode) override;
    std::string ToolTipText() const override;
    void ToolTipText(const std::string& text) override;
    bool AllowBigSelection() const override { return true; }
    void AllowBigSelection(bool) override {}
    std::int32_t BackColorBkg() const override { return 0x808080; }
    void BackColorBkg(std::int32_t) override {}
    int SelectionMode() const override { return 0; }
    void SelectionMode(int) override {}
    int AllowUserResizing() const override { return 0; }
    void AllowUserResizing(int) override {}
    int ScrollBars() const override { return 3; }
    void ScrollBars(int) override {}
    int FocusRect() const override { return 1; }
    void FocusRect(int) override {}
    bool WordWrap() const override { return false; }
    void WordWrap(bool) override {}
    int RowSizingMode() const override { return 0; }
    void RowSizingMode(int) override {}

    // ---- set by the host, as on memory::FlexGrid
    void Width(std::int32_t twips);
    void CellFontSize(float points);

    struct Impl;

private:
    friend std::string sFillSpooled(Connection& conn, const std::string& sql, SpooledGrid& grid,
                                    bool controlSize);
    std::unique_ptr<Impl> impl_;
};

/// Fills the grid with the rows of a query on `conn` as
/// clsGrid().sFillTable(sql, grid, controlSize) fills an MSFlexGrid: "序号"
/// and the field names in row 0, running numbers in column 0, each value as
/// its text, the columns sized with the thread's text measurer when
/// controlSize, dates in date columns as YYYY-MM-DD; reading the rows one at a
/// time (Connection::QueryEach). Returns "" when rows came, "0" when none did,
/// the error's description when anything failed (a full disk included).
PALVO_API std::string sFillSpooled(Connection& conn, const std::string& sql, SpooledGrid& grid,
                                   bool controlSize);

}  // namespace Palvo
