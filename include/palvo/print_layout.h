// How the printed grid report (clsPrint.mPrintRecord) lays a grid out across
// the paper, for hosts that tell their users what will not fit.
#pragma once

#include <vector>

#include "palvo/export.h"
#include "palvo/grid.h"
#include "palvo/printer.h"

namespace Palvo {

/// The grid's columns (0-based) whose widest text mPrintRecord prints past the
/// printable width of the printer's paper (ScaleWidth): the report places its
/// columns one after another in its 11-point body font and never scales them,
/// so these print cut off or not at all. The printer's font size is put back.
/// Throws Palvo::Error 6 where the report would (a column past 16 bits of twips).
PALVO_API std::vector<int> columnsBeyondPaper(const FlexGrid& flx, Printer& printer);

}  // namespace Palvo
