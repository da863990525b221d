// Rows for reports of very many rows: the rows of a query kept in a
// temporary file instead of memory, read by the printed and spreadsheet
// reports as they read a grid's rows, so one set of layout rules serves both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "palvo/export.h"
#include "palvo/report_rows.h"

namespace Palvo {

class Connection;

/// A grid's rows whose heading row is held in memory and whose data rows lie
/// in an unnamed temporary file (in TMPDIR, else /tmp) that goes with the
/// object: its memory does not grow with the rows. Filled by fillSpooledGrid and
/// read by the reports (printRows, rowsWorkbook, titledRowsWorkbook in
/// palvo/report_rows.h). Reading the rows in order is cheap; going back to an
/// earlier row reads from the nearest of every 64th row. Before a fill it
/// has one row and two empty columns, as a fresh grid has.
class PALVO_API SpooledGrid final : public ReportRows {
public:
    SpooledGrid();
    ~SpooledGrid() override;
    SpooledGrid(const SpooledGrid&) = delete;
    SpooledGrid& operator=(const SpooledGrid&) = delete;

    /// 1 (the headings) plus the data rows.
    int Rows() const override;
    int Cols() const override;
    int FixedRows() const override { return 1; }
    std::string_view cellText(int row, int col) const override;
    std::int32_t ColWidth(int col) const override;
    float CellFontSize() const override;
    /// "共有 n 条记录！", as sFillTable leaves it in a grid's tooltip.
    std::string ToolTipText() const;

    // ---- set by the host before the fill, as on memory::FlexGrid
    /// The width the columns are fitted into (4800 twips unless set).
    void Width(std::int32_t twips);
    /// The font size the columns are measured in (9 points unless set).
    void CellFontSize(float points);
    /// Sizes date columns on their dates as they read (YYYY-MM-DD) instead of
    /// as they came, as a workbook wants, whose cells show no time the grid
    /// trimmed (false unless set: a grid is sized before its dates are tidied).
    void SizeTidiedDates(bool tidied);

    struct Impl;

private:
    friend std::string fillSpooledGrid(Connection& conn, const std::string& sql, SpooledGrid& grid,
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
PALVO_API std::string fillSpooledGrid(Connection& conn, const std::string& sql, SpooledGrid& grid,
                                      bool controlSize);

}  // namespace Palvo
