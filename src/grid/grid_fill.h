// Filling a flex grid from a query (sFillTable) and writing recordset field
// names as headings (mAddGridColTitle), with the column sizing they use.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
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

/// The width each column's content needs, seen a cell at a time, each column's
/// cells in row order: the widest cell plus the width of "a" (a cell counts
/// only when it is wider than the column's width so far, "a" included), or the
/// heading's width plus "a" when the content is more than five times as wide as
/// a non-blank heading.
class ContentWidths {
public:
    ContentWidths(const TextMeasurer& measurer, double fontSize, int cols)
        : measurer_(measurer),
          fontSize_(fontSize),
          a_(measurer.TextWidth("a", fontSize)),
          quick_(measurer.quick()),
          bounds_([this](std::string_view text) { return measurer_.TextWidth(text, fontSize_); }),
          widths_(static_cast<std::size_t>(cols), 0),
          seen_(static_cast<std::size_t>(cols)) {}
    ContentWidths(const ContentWidths&) = delete;  // bounds_ measures through this
    ContentWidths& operator=(const ContentWidths&) = delete;

    void see(int col, std::string_view text) {
        double& width = widths_[static_cast<std::size_t>(col)];
        // Only a cell that may be wider than its column so far is measured whole,
        // unless measuring costs no more than bounding.
        if (!quick_) {
            const auto bound = bounds_.bound(text, seen_[static_cast<std::size_t>(col)]);
            if (bound && *bound <= width) return;
        }
        const double w = measurer_.TextWidth(text, fontSize_);
        if (w > width) width = std::nearbyint(w + a_);  // half to even, as cint rounds
    }

    /// The widths once every cell was seen, `heading(c)` giving column c's heading
    /// (none without rows). Throws Palvo::Error 6 for a width past 16 bits.
    template <class Heading>
    std::vector<std::int16_t> widths(bool hasRows, Heading heading) const {
        std::vector<std::int16_t> widths(widths_.size());
        for (std::size_t c = 0; c < widths_.size(); ++c) widths[c] = base::cint(widths_[c]);
        if (!hasRows) return widths;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const std::string text = heading(static_cast<int>(c));
            if (base::trim(text).empty()) continue;
            const double h = measurer_.TextWidth(text, fontSize_);
            if (5 * h < widths[c]) widths[c] = base::cint(h + a_);
        }
        return widths;
    }

    double a() const { return a_; }

private:
    const TextMeasurer& measurer_;
    double fontSize_;
    double a_;
    bool quick_;
    base::WidthBounds bounds_;
    std::vector<double> widths_;
    std::vector<base::WidthBounds::Column> seen_;
};

/// contentWidths of every cell of `grid`. `Grid` is a grid model or report rows
/// (a spooled grid is sized as a grid is).
template <class Grid>
std::vector<std::int16_t> contentWidths(const Grid& grid, const TextMeasurer& measurer, double fontSize) {
    const int cols = grid.Cols();
    ContentWidths content(measurer, fontSize, cols);
    // Row by row, the way the cells lie in memory; each column still sees its rows in order.
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < cols; ++c) content.see(c, grid.cellText(r, c));
    }
    return content.widths(grid.Rows() > 0, [&](int c) { return grid.TextMatrix(0, c); });
}

/// The widest running number of column 0 plus the width of "a", as content is
/// sized, seen a number at a time: the cap of the number column keeps a short
/// count narrow, but no number is cut, however many rows there are.
class NumberWidth {
public:
    NumberWidth(const TextMeasurer& measurer, double fontSize)
        : measurer_(measurer),
          fontSize_(fontSize),
          quick_(measurer.quick()),
          bounds_([this](std::string_view text) { return measurer_.TextWidth(text, fontSize_); }) {}
    NumberWidth(const NumberWidth&) = delete;  // bounds_ measures through this
    NumberWidth& operator=(const NumberWidth&) = delete;

    /// A cell of column 0 below the fixed rows; only running numbers (digits) count.
    void see(std::string_view text) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return;
        if (const auto bound = quick_ ? std::nullopt : bounds_.bound(text, seen_); bound && *bound <= widest_)
            return;
        widest_ = std::max(widest_, measurer_.TextWidth(text, fontSize_));
    }

    std::int32_t width(double a) const { return widest_ > 0 ? base::clng(widest_ + a) : 0; }

private:
    const TextMeasurer& measurer_;
    double fontSize_;
    bool quick_;
    base::WidthBounds bounds_;
    base::WidthBounds::Column seen_;
    double widest_ = 0;
};

template <class Grid>
std::int32_t numberWidth(const Grid& grid, const TextMeasurer& measurer, double fontSize, double a) {
    NumberWidth numbers(measurer, fontSize);
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) numbers.see(grid.cellText(r, 0));
    return numbers.width(a);
}

/// The widths sizeColumns gives the columns of a grid `gridWidth` twips wide
/// from what was seen of its cells: fitColumnWidths of the content widths and,
/// with running numbers (`numbers` not null), the widest of them.
template <class Heading>
std::vector<std::int32_t> fittedWidths(const ContentWidths& content, const NumberWidth* numbers, bool hasRows,
                                       Heading heading, std::int32_t gridWidth, std::int16_t iSize) {
    auto widths =
        fitColumnWidths(content.widths(hasRows, heading), gridWidth, content.a(), iSize, numbers != nullptr);
    if (numbers && !widths.empty()) widths[0] = std::max(widths[0], numbers->width(content.a()));
    return widths;
}

/// The widths sizeColumns gives the columns of `grid`, measured at `fontSize`.
template <class Grid>
std::vector<std::int32_t> fittedWidths(const Grid& grid, const TextMeasurer& measurer, double fontSize,
                                       std::int32_t gridWidth, std::int16_t iSize, bool hasXH) {
    ContentWidths content(measurer, fontSize, grid.Cols());
    NumberWidth numbers(measurer, fontSize);
    // Row by row, the way the cells lie in memory; each column still sees its rows in order.
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Cols(); ++c) content.see(c, grid.cellText(r, c));
        if (hasXH && r >= grid.FixedRows() && grid.Cols() > 0) numbers.see(grid.cellText(r, 0));
    }
    return fittedWidths(
        content, hasXH ? &numbers : nullptr, grid.Rows() > 0, [&](int c) { return grid.TextMatrix(0, c); },
        gridWidth, iSize);
}

}  // namespace Palvo::grid
