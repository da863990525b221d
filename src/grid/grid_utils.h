// The grid utilities behind clsGrid: look-ups by heading, sorting, sums,
// row swaps, widths, alignment, banded rows and date tidying.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "palvo/grid.h"

namespace Palvo::grid {

std::string columnValue(FlexGrid& grid, int row, const std::string& colName);
std::int16_t fieldColumn(FlexGrid& grid, const std::string& colName, int row);
std::int32_t columnWidth(FlexGrid& grid, const std::string& caption);
void alignColumns(FlexGrid& grid, int alignment);
void formatDateColumns(FlexGrid& grid, const std::string& dateFormat, const std::string& colString,
                       const std::string& notColString);

/// Whether mSetGridDate with these arguments tidies the column under `heading`.
bool tidiesDates(const std::string& heading, const std::string& dateFormat, const std::string& colString,
                 const std::string& notColString);
/// A cell's text as mSetGridDate leaves it in such a column: `text` itself, a
/// view of `formatted` (which it fills) or "" for a blanked date.
std::string_view tidiedDate(std::string_view text, const std::string& dateFormat, std::string& formatted);

/// Whether the name is one of the comma-separated names of list, compared
/// exactly: the wildcard test "," + list + "," Like "*," + name + ",*", with
/// the name's own wildcard characters taken literally.
bool inNameList(std::string_view list, std::string_view name);

/// Whether a trimmed heading names a date column (it contains 日期, 时间 or 年月).
bool isDateHeading(std::string_view heading);

/// A single-precision index as the platform passes it: rounded half to even.
int roundIndex(float index);

}  // namespace Palvo::grid
