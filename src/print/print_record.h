// The printer report of a grid (mPrintRecord) and the layout rules it pages by.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "palvo/printer.h"
#include "palvo/report_rows.h"
#include "palvo/value.h"

namespace Palvo::print {

/// The size of the report's body font (the headings, rows and texts), in points.
inline constexpr double kBodyFontSize = 11;

/// Prints the grid on the thread's printer as a paged table; says everything
/// in message boxes titled sMsg.
/// A printer that keeps the laid-out pages (a paged preview) keeps `flx` with them.
void printRecord(const std::shared_ptr<const ReportRows>& flx, const std::string& title,
                 const std::string& topStr, const std::string& botStr);

/// The rows per page of the papers the report knows (A4, B5, 10 x 11 inch) in
/// an orientation (1 portrait); nullopt for any other paper.
std::optional<std::int16_t> tableRowsPerPage(int paperSize, int orientation);

/// The rows that fit a printable height for another paper: (height - 2000) /
/// (lineHeight x 1.4 + 50), rounded half to even. Throws Palvo::Error 6 past 16 bits.
std::int16_t computedRowsPerPage(double printableHeight, double lineHeight);

/// The columns and rows of a grid as the report prints them.
struct TableMeasure {
    /// The left edge of every column: X(0) = width of "aaa", X(c) = X(c - 1) plus
    /// the widest text of column c - 1 (each width at most `maxWidth`, the
    /// printable width, and 16 bits, rounded) plus the width of "a".
    std::vector<std::int32_t> lefts;
    /// Per grid row, the lines of its tallest cell (a cell's own lines end at LF).
    std::vector<int> lines;
    /// Where the last column's widest text ends.
    std::int32_t right = 0;
};

/// Measures every cell in the surface's current font. Throws Palvo::Error 6 past 32 bits.
TableMeasure measureTable(const ReportRows& grid, const TextSurface& surface, double maxWidth);

/// The columns (0-based) whose widest text, placed as measureTable places it,
/// ends past `width`, in the surface's current font.
std::vector<int> columnsBeyond(const ReportRows& grid, const TextSurface& surface, double width);

/// "打印时间：" with the date and time as a Chinese-locale desktop shows them
/// (short date 2024/3/5, long time 9:05:07), two blanks between.
std::string timeLine(const DateTime& now);

/// "第 p/P 页".
std::string pageFoot(int page, int pages);

}  // namespace Palvo::print
