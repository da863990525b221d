// clsGrid: filling a flex grid from a query, and looking up, sorting, summing
// and formatting its contents.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/data.h"
#include "palvo/export.h"
#include "palvo/grid.h"

namespace Palvo {

class PALVO_API clsGrid {
public:
    // ---- filling

    /// Runs sSql on the session's connection and fills the grid: heading row,
    /// running numbers "序号" in column 0 (bHasXH), data rows, a "合计" row of the
    /// fields named in sSum, widths from the content (ControlSize, measured by the
    /// thread's text measurer), a record-count tooltip, and empty dates blanked
    /// with sControlDate ("-1" skips that step). Returns "" when rows came, "0"
    /// when none did, and the error's description when anything failed. Never throws.
    std::string sFillTable(const std::string& sSql, FlexGrid& Grid, bool ControlSize = false,
                           std::int16_t iSize = 0, const std::string& sSum = "", bool bHasXH = true,
                           const std::string& sControlDate = "YYYY-MM-DD");
    /// sFillTable with the query's '?' placeholders bound to `params`, in order, as
    /// Connection::QueryWith binds them: a value typed by a clerk never becomes SQL text.
    std::string sFillTableWith(const std::string& sSql, const std::vector<Palvo::Value>& params,
                               FlexGrid& Grid, bool ControlSize = false, std::int16_t iSize = 0,
                               const std::string& sSum = "", bool bHasXH = true,
                               const std::string& sControlDate = "YYYY-MM-DD");

    /// Writes the field names of an open recordset into row 0 from column
    /// iBeginGridCol on, starting at field iBeginRsField; "序号" into cell (0, 0)
    /// when iBeginGridCol is not 0. On return iBeginGridCol holds the column after
    /// the last heading written. Throws Palvo::Error from the grid or the recordset.
    void mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol,
                          std::int16_t& iBeginRsField);
    void mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol);
    void mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs);

    // ---- utilities (each throws Palvo::Error when a grid call fails)

    /// The text of row iRow in the first column whose heading equals sColName; "" when none does.
    std::string sGetGridColValue(FlexGrid& Grid, const std::int16_t& iRow, const std::string& sColName);
    /// The first column whose text in `row`, trimmed, equals ColName; -1 when none does.
    std::int16_t iGetFieldCol(FlexGrid& flx, const std::string& ColName, const std::int16_t& row = 0);
    /// The first row from 1 whose text in column ColIndex equals CellVal; -1 when none does.
    std::int32_t lGetRowNo(FlexGrid& MSGrid, const float& ColIndex, const std::string& CellVal);
    /// Sorts by column iCol, ascending and descending in turn (one direction flag per thread).
    void mMsHorder(FlexGrid& Tcontrol, const std::int16_t& iCol);
    /// The total of the leading numbers of rows 1 .. Rows - 1 in the column headed cCaption.
    /// Throws 381 when no heading is cCaption.
    double dGetColSum(FlexGrid& MSGrid, const std::string& cCaption);
    /// Swaps the texts of two rows in every column.
    void mExchangeRow(FlexGrid& MSGrid, const float& iR1, const float& iR2);
    /// The width of the first column headed cCaption; 0 when none is.
    std::int32_t lGetColWidth(FlexGrid& MSGrid, const std::string& cCaption);
    /// Sets the alignment of every column.
    void mSetGridColAlignment(FlexGrid& Gird, std::int16_t iAlignment = 3);
    /// Colours the even rows from FixedRows on, aligns every column left (1),
    /// and leaves the current cell at row 1, column FixedCols.
    void mSetGridRowColor(FlexGrid& flx, const std::int32_t& color);
    /// Rewrites the dates of date columns in sDateFormat and blanks 1 January 1900.
    void mSetGridDate(FlexGrid& MS, const std::string& sDateFormat, std::string sColString = "",
                      std::string sNotColString = "");
};

}  // namespace Palvo
