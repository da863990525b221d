// `palvo report xlsx`: a query's rows written as a spreadsheet report, without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Palvo::cli {

/// `palvo report xlsx --db DATABASE --title TITLE [--top TEXT] [--bottom TEXT] [--landscape]
/// [--heading CELLS]... [--merge ITEMS] --out FILE.xlsx STATEMENT` (args[0] is "report",
/// args[1] "xlsx"). Fills a grid from the statement with running numbers and writes it with
/// sReportGridtoExcel, or with sPrintComFlxData when heading rows or merges are given.
/// Messages print as "[TITLE] TEXT" on err; 0 when the workbook was written without one,
/// 1 otherwise, 2 for a usage error.
int runReportXlsx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
