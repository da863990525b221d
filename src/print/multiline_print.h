// Printing the lines of a multi-line text box onto a printer or another text surface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/controls.h"
#include "palvo/printer.h"

namespace Palvo::print {

/// The hard lines of a text, split at each CR LF, LF or CR (a trailing break
/// gives a last empty line); none for an empty text.
std::vector<std::string> hardLinesOf(std::string_view text);

/// A line as the box handed it over: NUL characters removed, trailing blanks cut.
std::string shownLine(std::string_view line);

}  // namespace Palvo::print
