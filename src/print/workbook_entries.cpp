// The workbook entries: clsPrint's spreadsheet reports and the tool's reports over
// rows, each a job the progress window runs.
#include <optional>
#include <utility>

#include "palvo/clsPrint.h"
#include "palvo/report_rows.h"
#include "src/print/frm_load_record.h"

namespace Palvo {

namespace {

// The job goes to the progress window, which runs it once shown; "" when it closed.
std::string showJob(print::ExcelJob job) {
    print::frmLoadRecord& w = print::frmLoadRecordWindow();
    w.job = std::move(job);
    showModal(w);
    return "";
}

// A report of rows as one grid, which the composite report adds its heading to.
print::ExcelJob rowsJob(const std::string& title, const ReportRows& rows, const std::string& topStr,
                        const std::string& botStr, int orientation, int alignment, bool canEdit) {
    return print::ExcelJob{.kind = print::ExcelJob::Kind::Grid,
                           .title = title,
                           .data = &rows,
                           .top = topStr,
                           .bottom = botStr,
                           .orientation = orientation,
                           .centring = alignment,
                           .canEdit = canEdit};
}

}  // namespace

std::string rowsWorkbook(const std::string& title, const ReportRows& rows, const std::string& topStr,
                         const std::string& botStr, int orientation, int alignment, bool canEdit) {
    return showJob(rowsJob(title, rows, topStr, botStr, orientation, alignment, canEdit));
}

std::string titledRowsWorkbook(const ReportRows& data, const std::string& title, const std::string& topStr,
                               const std::string& botStr, int orientation, int alignment, bool canEdit,
                               std::int16_t dataBeginRow, const ReportRows* heading, std::int16_t headingCols,
                               const std::string& otherMerges) {
    print::ExcelJob job = rowsJob(title, data, topStr, botStr, orientation, alignment, canEdit);
    job.kind = print::ExcelJob::Kind::Composite;
    job.dataBeginRow = dataBeginRow;
    job.heading = heading;
    job.headingCols = headingCols;
    job.otherMerges = otherMerges;
    return showJob(std::move(job));
}

std::string clsPrint::sReportGridtoExcel(const std::string& sTitle, FlexGrid& Grid, const std::string& Topstr,
                                         const std::string& BotStr, const int& iOrient, const int& bAlig,
                                         const bool& bCanEdit) {
    return rowsWorkbook(sTitle, GridReportRows(Grid), Topstr, BotStr, iOrient, bAlig, bCanEdit);
}

std::string clsPrint::sPrintComFlxData(FlexGrid& dataFlx, const std::string& sTitle,
                                       const std::string& Topstr, const std::string& BotStr,
                                       const int& iOrient, const int& bAlig, const bool& bCanEdit,
                                       const std::int16_t& dataBeginRow, FlexGrid* titleFlx,
                                       const std::int16_t& titleCol, const std::string& otherMergeStr) {
    const GridReportRows data(dataFlx);
    std::optional<GridReportRows> heading;
    if (titleFlx) heading.emplace(*titleFlx);
    return titledRowsWorkbook(data, sTitle, Topstr, BotStr, iOrient, bAlig, bCanEdit, dataBeginRow,
                              heading ? &*heading : nullptr, titleCol, otherMergeStr);
}

}  // namespace Palvo
