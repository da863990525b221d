// `palvo report pdf`: a query printed as the library's paged grid report into a PDF file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Palvo::cli {

/// `palvo report pdf --db DATABASE --title TITLE [--top TEXT] [--bottom TEXT]
/// [--paper A4|B5|10x11] [--landscape] --out FILE.pdf STATEMENT` (args[0] is
/// "report"). Fills a grid with the statement's rows (running numbers on) and
/// prints it into the PDF. Message boxes print "[TITLE] TEXT" on err. Gives 0
/// when the report printed, 1 when it did not, 2 for a usage error.
int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
