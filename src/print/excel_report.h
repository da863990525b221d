// The spreadsheet reports: a grid written as a formatted, print-ready
// worksheet (sReportGridtoExcel, one heading row; sPrintComFlxData, a merged
// multi-row heading and merges on request), then saved for the user or shown
// in a print preview. The jobs run inside the progress window frmLoadRecord.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "palvo/report_rows.h"
#include "palvo/spreadsheet.h"

namespace Palvo::print {

/// The column letters of a 0-based column: A..Z, then two letters up to ZA
/// (676). Beyond, shows "超出允许的范围，最大支持 676 列" (exclamation, title
/// sMsg) and returns "", so that the range built from it is refused.
std::string columnLetters(int col);

/// The heading rows as the merging step leaves them: the texts to write (""
/// where a repeated text is not written again) and the merges recorded,
/// across first, then down, as sheet addresses (heading row r on sheet row 3 + r).
struct HeadingMerges {
    std::vector<std::vector<std::string>> texts;
    std::vector<std::string> across;
    std::vector<std::string> down;
};
/// `heading` holds H rows of n texts each.
HeadingMerges headingMerges(const std::vector<std::vector<std::string>>& heading);

/// One (row1,col1):(row2,col2) item of an extra-merge list, in grid rows and columns.
struct MergeItem {
    int row1 = 0;
    int col1 = 0;
    int row2 = 0;
    int col2 = 0;
    bool operator==(const MergeItem&) const = default;
};
/// An item of the list as written (without its ";") and its cells, nullopt
/// when its numbers are not whole numbers.
struct OtherMerge {
    std::string text;
    std::optional<MergeItem> cells;
    bool operator==(const OtherMerge&) const = default;
};
/// Reads "(0,2):(1,2);(3,0):(4,0);" item by item while at least 12 characters
/// remain; an item under 11 characters ends the list.
std::vector<OtherMerge> parseOtherMerges(const std::string& text);

/// The area merging `item` (sheet cells) makes: a merge over merged areas takes
/// them in, one over another. `joined`, when given, receives the areas taken in.
CellRange mergedArea(const std::vector<CellRange>& merged, const CellRange& item,
                     std::vector<const CellRange*>* joined = nullptr);

/// Why merging `item` (sheet cells) would hide a cell no one asked to merge,
/// "" when it would not. A merge over merged areas takes them in, so the item
/// is refused when the rectangle that results holds a cell outside the item
/// and those areas, or when it hides the shown (top-left) cell of such an
/// area that lies outside the item.
std::string mergeHides(const std::vector<CellRange>& merged, const CellRange& item);

/// The parameters of a job as the progress window holds them.
struct ExcelJob {
    enum class Kind {
        Grid,       // sReportGridtoExcel: one grid
        Composite,  // sPrintComFlxData: a data grid under an optional heading grid
    };
    Kind kind = Kind::Grid;
    std::string title{};
    const ReportRows* data = nullptr;
    std::string top{};
    std::string bottom{};
    int orientation = 1;  // 纵向 1, 横向 2
    int centring = -1;    // 居中 -1, 左对齐 0
    bool canEdit = true;
    int dataBeginRow = -1;
    const ReportRows* heading = nullptr;
    int headingCols = -1;
    std::string otherMerges{};
};

/// The single-grid job. Returns "没有数据！" or "检测不到打印机！请安装打印机！"
/// when it did not start, else "" (a failure is shown in a message box and
/// leaves nothing behind). Calls unload() when the window is to close.
std::string reportGridJob(const ExcelJob& job, const std::function<void()>& unload);

/// The composite job. Returns the descriptions of the failed steps joined
/// in step order ("" when all went well); a failure that ends the job
/// returns its own description and leaves nothing behind.
std::string comFlxJob(const ExcelJob& job);

/// The texts of the right header and footer: "时间:YYYY年M月D日" of the day, and the page count line.
std::string rightHeaderText(int year, int month, int day);
extern const char* const kRightFooter;

}  // namespace Palvo::print
