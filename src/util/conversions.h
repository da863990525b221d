// The host platform's conversions, in one place: every module reads numbers,
// dates and patterns through these functions and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace Palvo::util {

/// The leading number of a text, as the platform's Val reads it: blanks, tabs
/// and line feeds are skipped wherever they stand, reading stops at the first
/// character that cannot continue the number, "&H"/"&O" prefixes read hex and
/// octal, and a text without a number gives 0.
double val(std::string_view text);

/// Removes blanks (spaces only, as the platform's Trim does) at both ends.
std::string trim(std::string_view text);
std::string ltrim(std::string_view text);
std::string rtrim(std::string_view text);

/// Doubles every single quote, for a value pasted between quotes in SQL text.
std::string sqlQuote(std::string_view text);

}  // namespace Palvo::util
