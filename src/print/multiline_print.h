// Printing the lines of a multi-line text box onto a printer or another text surface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/controls.h"
#include "palvo/printer.h"

namespace Palvo::print {

/// Prints the box's lines one under another from (left, top), each line
/// TextHeight("aaa") below the one before, in fontSize and the box's
/// boldness: the lines as the box shows them wrapped, or its hard lines when
/// hardLines is set; at most maxLines of them when maxLines > 0. Puts the
/// surface's font size back as a whole number and its boldness, and returns
/// CurrentY after the last line. Throws what the surface throws (Palvo::Error
/// 380 for a font size not above 0, 6 for a position past 32 bits), with the
/// surface's font put back all the same.
std::int32_t printMultiLine(TextBox& txt, TextSurface& p, std::int32_t left, std::int32_t top, float fontSize,
                            std::int16_t maxLines, bool hardLines);

/// The hard lines of a text, split at each CR LF, LF or CR (a trailing break
/// gives a last empty line); none for an empty text.
std::vector<std::string> hardLinesOf(std::string_view text);

/// A line as the box handed it over: NUL characters removed, trailing blanks cut.
std::string shownLine(std::string_view line);

}  // namespace Palvo::print
