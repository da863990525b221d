// clsPrint: printed and spreadsheet reports of a grid.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/grid.h"
#include "palvo/printer.h"

namespace Palvo {

class PALVO_API clsPrint {
public:
    /// Prints rows 0 .. Rows - 1 of the grid on the thread's printer
    /// (installPrinter) as a paged table: the title, the print time, Topstr on
    /// every page, the ruled heading and rows, BotStr under the table on the
    /// last page and "第 p/P 页" at the foot of each page. Everything it has to
    /// say it says in message boxes titled sMsg; a failure while printing
    /// abandons the job, so nothing of it is printed. The thread's report
    /// options (palvo/print_layout.h) may end every page with page totals;
    /// the printer's Offset moves all it prints. Never throws but from
    /// the message box port.
    void mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr, std::string& BotStr);
    void mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr);
    void mPrintRecord(FlexGrid& flx, const std::string& Title);
    /// Prints the lines of a multi-line text box on p (the printer or any text
    /// surface), one under another from (ileft, itop), one TextHeight("aaa")
    /// apart, in iFontsize points and the box's boldness: the lines as the box
    /// wraps them on screen, or with bSpb the text's hard lines; at most iMax
    /// lines when iMax > 0. Puts p's font size back as a whole number (10.5
    /// comes back as 10, 11.5 as 12) and its boldness, and returns p's CurrentY
    /// after the last line. Throws what p throws (Palvo::Error 380 for a font
    /// size not above 0), with p's font put back.
    std::int32_t lPrint_MultiLine_TextBox(TextBox& TXT, TextSurface& p, const std::int32_t& ileft = 0,
                                          const std::int32_t& itop = 0, const float& iFontsize = 10.0f,
                                          const std::int16_t& iMax = 0, const bool& bSpb = false);
    /// Writes the grid as a worksheet: the merged title, the heading row, every
    /// data row as text, borders, the grid's column widths, A4 page setup with
    /// the top text left in the header and the bottom text left in the footer.
    /// The job runs in the progress window frmLoadRecord. bCanEdit True saves
    /// the workbook where the thread's SpreadsheetDesk says and opens it; False
    /// shows its pages in the desk's print preview and removes the file after.
    /// Always returns ""; what goes wrong is shown in message windows. Throws
    /// Palvo::Error 429 when no window host is installed.
    std::string sReportGridtoExcel(const std::string& sTitle, FlexGrid& Grid, const std::string& Topstr = "",
                                   const std::string& BotStr = "", const int& iOrient = 1,
                                   const int& bAlig = -1, const bool& bCanEdit = true);
    /// As sReportGridtoExcel, with the heading rows of titleFlx (the data grid
    /// when null), texts repeated across or down merged, the data rows from
    /// dataBeginRow (its FixedRows when below 0) with numbers in their plain
    /// form and dates as numbers and dates (codes such as 007 or 1E5 stay
    /// text), and the extra merges of otherMergeStr
    /// ("(row1,col1):(row2,col2);..."), each refused on its own when it lies
    /// beyond the table or would hide a cell no item names. Failed steps are
    /// shown together in the message window once the report is done. Always
    /// returns "".
    std::string sPrintComFlxData(FlexGrid& dataFlx, const std::string& sTitle, const std::string& Topstr = "",
                                 const std::string& BotStr = "", const int& iOrient = 2,
                                 const int& bAlig = -1, const bool& bCanEdit = true,
                                 const std::int16_t& dataBeginRow = -1, FlexGrid* titleFlx = nullptr,
                                 const std::int16_t& titleCol = -1, const std::string& otherMergeStr = "");
};

}  // namespace Palvo
