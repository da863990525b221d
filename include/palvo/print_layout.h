// How the printed grid report (clsPrint.mPrintRecord) lays a grid out across
// the paper, for hosts that tell their users what will not fit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/grid.h"
#include "palvo/printer.h"
#include "palvo/report_rows.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// What clsPrint.mPrintRecord adds to its report, set on the calling thread
/// before it prints (installPrintRecordOptions); kept until replaced.
struct PALVO_API PrintRecordOptions {
    /// Headings (row 0 texts) of the columns whose sums end the table of every
    /// page: a row "本页小计" over that page's rows and a row "累计" over all
    /// rows up to the page's last. The columns must hold numbers; a heading
    /// not in the grid or a column holding other text stops the report before
    /// it prints. Empty: no such rows.
    std::vector<std::string> pageTotals;
};

/// Installs the calling thread's report options (nullptr: none) and returns the ones replaced.
PALVO_API std::shared_ptr<PrintRecordOptions> installPrintRecordOptions(
    std::shared_ptr<PrintRecordOptions> options);
/// The calling thread's report options, or nullptr.
PALVO_API std::shared_ptr<PrintRecordOptions> installedPrintRecordOptions();

/// Installs report options for the life of the guard and restores the previous ones.
using ScopedPrintRecordOptions = ScopedPort<PrintRecordOptions, installPrintRecordOptions>;

/// The grid's columns (0-based) whose widest text mPrintRecord prints past the
/// printable width of the printer's paper (ScaleWidth): the report places its
/// columns one after another in its 11-point body font and never scales them,
/// so these print cut off or not at all. The printer's font size is put back.
/// Throws Palvo::Error 6 where the report would (a column past 16 bits of twips).
PALVO_API std::vector<int> columnsBeyondPaper(const FlexGrid& flx, Printer& printer);
/// The same for rows that are no grid (a SpooledGrid's).
PALVO_API std::vector<int> columnsBeyondPaper(const ReportRows& rows, Printer& printer);

}  // namespace Palvo
