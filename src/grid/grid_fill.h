// Filling a flex grid from a query (sFillTable) and writing recordset field
// names as headings (mAddGridColTitle), with the column sizing they use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/grid.h"
#include "palvo/measure.h"

namespace Palvo::grid {

std::string fillTable(const std::string& sql, FlexGrid& grid, bool controlSize, std::int16_t iSize,
                      const std::string& sum, bool hasXH, const std::string& controlDate);
/// sFillTable reading the statement on conn (the session's connection when null).
std::string sFillTableFrom(Connection* conn, const std::string& sql, FlexGrid& grid, bool controlSize,
                           std::int16_t iSize, const std::string& sum, bool hasXH,
                           const std::string& controlDate);

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

/// The width each column's content needs: the widest cell plus the width of
/// "a", or its heading's width plus "a" when the content is more than five
/// times as wide as a non-blank heading. Throws Palvo::Error 6 past 16 bits.
std::vector<std::int16_t> contentWidths(const FlexGrid& grid, const TextMeasurer& measurer, double fontSize);

/// Final column widths from the content widths: the spare part of 90 % of
/// the grid's width shared out equally when each column gets more than 90
/// twips of it, else iSize widths of "a" added to each; column 0 at most 600
/// twips when it holds running numbers (sFillTable widens it again to its
/// widest number plus "a" when that is more). Throws Palvo::Error 6 past 16 bits.
std::vector<std::int32_t> fitColumnWidths(const std::vector<std::int16_t>& content, std::int32_t gridWidth,
                                          double aWidth, std::int16_t iSize, bool hasXH);

}  // namespace Palvo::grid
