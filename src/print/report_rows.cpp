// A grid model's rows as the reports read them, and the printed report over any rows.
#include "palvo/report_rows.h"

#include "palvo/error.h"
#include "src/print/print_record.h"

namespace Palvo {

ReportRows::~ReportRows() = default;

std::string_view GridReportRows::cellText(int row, int col) const {
    if (row < 0 || row >= grid_.Rows() || col < 0 || col >= grid_.Cols())
        throw Error(GridError::Subscript, "Subscript out of range");
    return grid_.cellText(row, col);
}

float GridReportRows::CellFontSize() const {
    if (current_) current_->Col(0);
    return grid_.CellFontSize();
}

void printRows(const ReportRows& rows, const std::string& title, const std::string& topStr,
               const std::string& botStr) {
    // not owned: a paged preview that keeps the pages needs the caller's rows kept as long
    print::printRecord(std::shared_ptr<const ReportRows>(std::shared_ptr<const ReportRows>(), &rows), title,
                       topStr, botStr);
}

}  // namespace Palvo
