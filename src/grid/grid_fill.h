// Filling a flex grid from a query (sFillTable) and writing recordset field
// names as headings (mAddGridColTitle), with the column sizing they use.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/grid.h"
#include "palvo/measure.h"
#include "src/base/conversions.h"
#include "src/base/width_bounds.h"

namespace Palvo::grid {

std::string fillTable(const std::string& sql, FlexGrid& grid, bool controlSize, std::int16_t iSize,
                      const std::string& sum, bool hasXH, const std::string& controlDate);
/// sFillTable reading the statement on conn (the session's connection when null).
/// The query's '?' placeholders are bound to `params`, in order.
std::string fillTableFrom(Connection* conn, const std::string& sql, FlexGrid& grid, bool controlSize,
                          std::int16_t iSize, const std::string& sum, bool hasXH,
                          const std::string& controlDate, const std::vector<Value>& params = {});

/// Sizes the columns as sFillTable does once the rows are in: contentWidths,
/// fitColumnWidths and, with running numbers, the widest of them.
void sizeColumns(FlexGrid& grid, const TextMeasurer& measurer, std::int16_t iSize, bool hasXH);

void addColumnTitles(FlexGrid& grid, Recordset& rs, std::int16_t& beginGridCol, std::int16_t& beginRsField);

/// Whether the statement has an ORDER BY: the two words in any case, with any
/// blanks, line breaks or comments between them, outside quoted texts, [names]
/// and "names" ("[order by]" or 'order by' do not count, nor "border by").
bool hasOrderBy(std::string_view sql);

/// The statement with " order by 编号" appended when it has no ORDER BY and
/// does mention " 编号" (case-sensitive).
std::string withDefaultOrder(const std::string& sql);

/// Final column widths from the content widths: the spare part of 90 % of
/// the grid's width shared out equally when each column gets more than 90
/// twips of it, else iSize widths of "a" added to each; column 0 at most 600
/// twips when it holds running numbers (sFillTable widens it again to its
/// widest number plus "a" when that is more). Throws Palvo::Error 6 past 16 bits.
std::vector<std::int32_t> fitColumnWidths(const std::vector<std::int16_t>& content, std::int32_t gridWidth,
                                          double aWidth, std::int16_t iSize, bool hasXH);

/// The width each column's content needs: the widest cell plus the width of
/// "a", or its heading's width plus "a" when the content is more than five
/// times as wide as a non-blank heading. Throws Palvo::Error 6 past 16 bits.
/// `Grid` is a grid model or report rows (a spooled grid is sized as a grid is).
template <class Grid>
std::vector<std::int16_t> contentWidths(const Grid& grid, const TextMeasurer& measurer, double fontSize) {
    const double a = measurer.TextWidth("a", fontSize);
    const int cols = grid.Cols();
    std::vector<std::int16_t> widths(static_cast<std::size_t>(cols), 0);
    // Only a cell that may be wider than its column so far is measured whole,
    // unless measuring costs no more than bounding.
    const bool quick = measurer.quick();
    base::WidthBounds bounds([&](std::string_view text) { return measurer.TextWidth(text, fontSize); });
    std::vector<base::WidthBounds::Column> seen(static_cast<std::size_t>(cols));
    // Row by row, the way the cells lie in memory; each column still sees its rows in order.
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < cols; ++c) {
            auto& width = widths[static_cast<std::size_t>(c)];
            const std::string_view text = grid.cellText(r, c);
            if (!quick) {
                const auto bound = bounds.bound(text, seen[static_cast<std::size_t>(c)]);
                if (bound && *bound <= width) continue;
            }
            const double w = measurer.TextWidth(text, fontSize);
            if (w > width) width = base::cint(w + a);
        }
    }
    if (grid.Rows() == 0) return widths;
    for (int c = 0; c < cols; ++c) {
        const std::string heading = grid.TextMatrix(0, c);
        if (base::trim(heading).empty()) continue;
        const double h = measurer.TextWidth(heading, fontSize);
        auto& width = widths[static_cast<std::size_t>(c)];
        if (5 * h < width) width = base::cint(h + a);
    }
    return widths;
}

/// The widest running number of column 0 plus the width of "a", as content is
/// sized: the cap of the number column keeps a short count narrow, but no
/// number is cut, however many rows there are.
template <class Grid>
std::int32_t numberWidth(const Grid& grid, const TextMeasurer& measurer, double fontSize, double a) {
    double widest = 0;
    const bool quick = measurer.quick();
    base::WidthBounds bounds([&](std::string_view text) { return measurer.TextWidth(text, fontSize); });
    base::WidthBounds::Column seen;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        const std::string_view text = grid.cellText(r, 0);
        if (!base::allDigits(text)) continue;
        if (const auto bound = quick ? std::nullopt : bounds.bound(text, seen); bound && *bound <= widest)
            continue;
        widest = std::max(widest, measurer.TextWidth(text, fontSize));
    }
    return widest > 0 ? base::clng(widest + a) : 0;
}

/// The widths sizeColumns gives the columns of a grid `gridWidth` twips wide
/// measured at `fontSize`: contentWidths, fitColumnWidths and, with running
/// numbers, the widest of them.
template <class Grid>
std::vector<std::int32_t> fittedWidths(const Grid& grid, const TextMeasurer& measurer, double fontSize,
                                       std::int32_t gridWidth, std::int16_t iSize, bool hasXH) {
    const auto content = contentWidths(grid, measurer, fontSize);
    const double a = measurer.TextWidth("a", fontSize);
    auto widths = fitColumnWidths(content, gridWidth, a, iSize, hasXH);
    if (hasXH && !widths.empty()) widths[0] = std::max(widths[0], numberWidth(grid, measurer, fontSize, a));
    return widths;
}

}  // namespace Palvo::grid
