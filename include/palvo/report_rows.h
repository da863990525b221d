// What the printed and spreadsheet reports read of a grid: its rows, read
// only. A grid model serves them through GridReportRows; a SpooledGrid
// (palvo/spooled_grid.h) serves them from its file. The report functions below
// are clsPrint's reports over such rows, for hosts whose rows are no grid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "palvo/export.h"
#include "palvo/grid.h"

namespace Palvo {

/// A grid's rows as a report reads them. Indices are 0-based, row 0 the
/// heading row, widths in twips. Members that take a row or column raise
/// Palvo::Error 381 when it lies outside.
class PALVO_API ReportRows {
public:
    virtual ~ReportRows();

    virtual int Rows() const = 0;
    virtual int Cols() const = 0;
    virtual int FixedRows() const = 0;
    /// The cell's text, valid until the next cellText or TextMatrix on this object.
    virtual std::string_view cellText(int row, int col) const = 0;
    /// The cell's text as a copy.
    std::string TextMatrix(int row, int col) const { return std::string(cellText(row, col)); }
    virtual std::int32_t ColWidth(int col) const = 0;
    /// The font size of the first column's cells, in points (the printed
    /// report's title is twice it).
    virtual float CellFontSize() const = 0;
};

/// The rows of a grid model, read in place. Made on a grid the caller may
/// change, reading the font size makes column 0 the grid's current column, as
/// the printed report always did; made on a const grid it changes nothing.
class PALVO_API GridReportRows final : public ReportRows {
public:
    /// The grid must outlive this object.
    explicit GridReportRows(FlexGrid& grid) : grid_(grid), current_(&grid) {}
    explicit GridReportRows(const FlexGrid& grid) : grid_(grid) {}

    int Rows() const override { return grid_.Rows(); }
    int Cols() const override { return grid_.Cols(); }
    int FixedRows() const override { return grid_.FixedRows(); }
    std::string_view cellText(int row, int col) const override;
    std::int32_t ColWidth(int col) const override { return grid_.ColWidth(col); }
    float CellFontSize() const override;

private:
    const FlexGrid& grid_;
    FlexGrid* current_ = nullptr;  // whose current column the font size moves
};

/// clsPrint.mPrintRecord over rows: the paged report on the thread's printer,
/// everything it has to say in message boxes. A printer that keeps the laid-out
/// pages (a paged preview) reads `rows` as it shows them: they must outlive it.
PALVO_API void printRows(const ReportRows& rows, const std::string& title, const std::string& topStr,
                         const std::string& botStr);

/// clsPrint.sReportGridtoExcel over rows (same arguments, same result).
PALVO_API std::string rowsWorkbook(const std::string& title, const ReportRows& rows,
                                   const std::string& topStr, const std::string& botStr, int orientation,
                                   int alignment, bool canEdit);

/// clsPrint.sPrintComFlxData over rows: `heading` (nullptr: the data's own
/// fixed rows) holds the heading rows (same arguments, same result).
PALVO_API std::string titledRowsWorkbook(const ReportRows& data, const std::string& title,
                                         const std::string& topStr, const std::string& botStr,
                                         int orientation, int alignment, bool canEdit,
                                         std::int16_t dataBeginRow, const ReportRows* heading,
                                         std::int16_t headingCols, const std::string& otherMerges);

}  // namespace Palvo
