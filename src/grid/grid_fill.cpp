#include "src/grid/grid_fill.h"

#include <exception>
#include <optional>
#include <string_view>

#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/grid_model.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/grid/exact_total.h"
#include "src/grid/grid_utils.h"

namespace Palvo::grid {

namespace {

constexpr const char* kNumberHeading = "序号";

// The heading row in one write: the field names, after 序号 when there are running numbers.
void writeHeading(FlexGrid& grid, const std::vector<ColumnInfo>& columns, bool hasXH) {
    if (grid.FixedRows() == 0) return;
    std::vector<std::string> names;
    names.reserve(columns.size() + 1);
    if (hasXH) names.emplace_back(kNumberHeading);
    for (const auto& column : columns) names.push_back(column.name);
    grid.writeRow(0, 0, names);
}

// The records of an MSFlexGrid's fill, read one at a time straight into the
// cells the grid then takes over: no copy of the whole result lies beside the
// grid. The cells are laid out as the grid's, its fixed rows first (left
// empty here) and `firstCol` cells before each record's values. Each value
// goes in as its text, as an AddItem of the record's tab-joined texts would
// put it, except that a value holding a tab stays in its cell.
class StagedRecords : public RowReader {
public:
    StagedRecords(int fixedRows, int firstCol)
        : fixedRows_(static_cast<std::size_t>(fixedRows)), firstCol_(static_cast<std::size_t>(firstCol)) {}

    void columns(const std::vector<ColumnInfo>& columns) override {
        columns_ = columns;
        width_ = firstCol_ + columns.size();
        cells_.resize(fixedRows_ * width_);
    }
    void row(const Value* values) override {
        std::size_t at = cells_.size() + firstCol_;
        cells_.resize(cells_.size() + width_);
        for (std::size_t f = 0; f < columns_.size(); ++f, ++at)
            base::withCellText(values[f], [&](std::string_view text) { cells_.set(at, text); });
        ++count_;
    }

    const std::vector<ColumnInfo>& fields() const { return columns_; }
    long count() const { return count_; }
    GridCells& cells() { return cells_; }

private:
    std::size_t fixedRows_;
    std::size_t firstCol_;
    std::size_t width_ = 0;
    std::vector<ColumnInfo> columns_;
    GridCells cells_;
    long count_ = 0;
};

// Each total is the exact sum of the texts the grid shows, in plain digits.
// The row is appended whole once they are known; a total that fails leaves
// the row with the totals before it, as writing them one by one would.
void addTotals(FlexGrid& grid, const std::vector<ColumnInfo>& columns, const std::string& sum) {
    std::vector<std::string> totals(static_cast<std::size_t>(grid.Cols()));
    totals.at(0) = "合计";
    try {
        for (int c = 1; c < grid.Cols(); ++c) {
            const auto field = static_cast<std::size_t>(c - 1);
            if (field >= columns.size() || !inNameList(sum, columns[field].name)) continue;
            ExactTotal total;
            for (int r = grid.FixedRows(); r < grid.Rows(); ++r) total.add(grid.cellText(r, c));
            (void)total.value();  // a total beyond a double is an overflow, as the platform's sum was
            totals[static_cast<std::size_t>(c)] = total.text();
        }
    } catch (...) {
        grid.appendRow(totals);
        throw;
    }
    grid.appendRow(totals);
}

}  // namespace

void sizeColumns(FlexGrid& grid, const TextMeasurer& measurer, std::int16_t iSize, bool hasXH) {
    const double fontSize = grid.CellFontSize();
    if (grid.Cols() == 0) return;
    grid.colWidths(fittedWidths(grid, measurer, fontSize, grid.Width(), iSize, hasXH));
}

namespace {

bool isWordByte(unsigned char c) {
    // bytes of Chinese names count as letters, as they do in SQL Server names
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '@' || c == '#' || c == '$' || c >= 0x80;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

bool hasOrderBy(std::string_view sql) {
    bool afterOrder = false;  // the last word was "order", with only blanks or comments since
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (isSpace(c)) {
            ++i;
            continue;
        }
        if (const std::size_t end = base::skipSqlQuoted(sql, i); end != i) {
            if (c != '-' && c != '/') afterOrder = false;  // a comment between the words is a blank
            i = end;
            continue;
        }
        if (!isWordByte(static_cast<unsigned char>(c))) {
            afterOrder = false;
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < sql.size() && isWordByte(static_cast<unsigned char>(sql[i]))) ++i;
        const std::string_view word = sql.substr(start, i - start);
        if (afterOrder && base::equalsNoCase(word, "by")) return true;
        afterOrder = base::equalsNoCase(word, "order");
    }
    return false;
}

std::string withDefaultOrder(const std::string& sql) {
    if (!hasOrderBy(sql) && base::like(sql, "* 编号*")) return sql + " order by 编号";
    return sql;
}

std::vector<std::int32_t> fitColumnWidths(const std::vector<std::int16_t>& content, std::int32_t gridWidth,
                                          double aWidth, std::int16_t iSize, bool hasXH) {
    std::vector<std::int32_t> widths(content.size());
    if (content.empty()) return widths;
    std::int32_t total = 0;
    for (auto w : content) total += w;
    const std::int16_t spare =
        base::cint((static_cast<double>(gridWidth) * 0.9 - total) / static_cast<double>(content.size()));
    for (std::size_t c = 0; c < content.size(); ++c) {
        widths[c] = spare <= 90
                        ? base::clng(content[c] + static_cast<float>(iSize) * static_cast<float>(aWidth))
                        : content[c] + spare;
    }
    if (hasXH && widths[0] > 600) widths[0] = 600;
    return widths;
}

std::string fillTable(const std::string& sql, FlexGrid& grid, bool controlSize, std::int16_t iSize,
                      const std::string& sum, bool hasXH, const std::string& controlDate) {
    return fillTableFrom(nullptr, sql, grid, controlSize, iSize, sum, hasXH, controlDate);
}

std::string fillTableFrom(Connection* conn, const std::string& sql, FlexGrid& grid, bool controlSize,
                          std::int16_t iSize, const std::string& sum, bool hasXH,
                          const std::string& controlDate, const std::vector<Value>& params) {
    // The measurer is checked before anything runs, so a missing one leaves the grid untouched.
    std::shared_ptr<TextMeasurer> measurer;
    if (controlSize) {
        measurer = installedTextMeasurer();
        if (!measurer) return "No text measurer is installed on this thread";
    }
    try {
        const std::string statement = withDefaultOrder(sql);
        Connection& connection = conn != nullptr ? *conn : sessionConnection();
        // An MSFlexGrid takes the records as they are read; an MSHFlexGrid is
        // bound to a recordset, and a grid of another type gets no records.
        const std::string type = grid.typeName();
        const bool streamed = type == "MSFlexGrid";
        Recordset rs;
        std::optional<StagedRecords> staged;
        if (!streamed) {
            rs.CursorLocation(adUseClient);
            rs.OpenWith(statement, connection, params);
        } else {
            // running numbers whenever there may be totals; without records the shape is decided below
            staged.emplace(grid.FixedRows(), hasXH || !sum.empty() ? 1 : 0);
            connection.QueryEachWith(statement, params, *staged);
        }
        const std::vector<ColumnInfo>& columns = streamed ? staged->fields() : rs.table().columns;
        const long count = streamed ? staged->count() : rs.RecordCount();
        if (!sum.empty() && count > 0) hasXH = true;
        const int fields = static_cast<int>(columns.size());
        const int firstCol = hasXH ? 1 : 0;
        const int lastCol = hasXH ? fields : fields - 1;
        grid.Cols(fields + firstCol);
        grid.FixedCols(firstCol);

        if (type == "MSHFlexGrid") {
            if (count > 0) {
                grid.Recordset(rs);
                grid.Refresh();
                grid.HighLight(1);
                if (grid.FixedRows() == 1 && hasXH) grid.TextMatrix(0, 0, kNumberHeading);
            } else {
                grid.HighLight(0);
                grid.Rows(2);
                grid.Clear();
                writeHeading(grid, columns, hasXH);
            }
        } else if (streamed) {
            grid.Rows(grid.FixedRows());
            writeHeading(grid, columns, hasXH);
            if (count > 0) {
                grid.HighLight(1);
                grid.adoptRows(std::move(staged->cells()));
            } else {
                grid.HighLight(0);
            }
        }

        grid.ToolTipText("共有 " + std::to_string(count) + " 条记录！");
        if (count >= 1 && hasXH) {
            const int fixedRows = grid.FixedRows();
            grid.writeColumn(0, fixedRows, grid.Rows() - fixedRows,
                             [](int i) { return std::to_string(i + 1); });
        }
        if (!sum.empty() && count > 0) addTotals(grid, columns, sum);
        if (controlSize) sizeColumns(grid, *measurer, iSize, hasXH);
        if (grid.FixedRows() >= 2) grid.clearCells(0, 0, grid.FixedRows() - 1, lastCol);
        std::string result = count == 0 ? "0" : "";
        if (!streamed) rs.Close();
        if (controlDate != "-1") formatDateColumns(grid, controlDate, "", "");
        return result;
    } catch (const std::exception& e) {
        return e.what();  // a Palvo::Error's is its description
    }
}

void addColumnTitles(FlexGrid& grid, Recordset& rs, std::int16_t& beginGridCol, std::int16_t& beginRsField) {
    const long fields = rs.Fields().Count();
    const int cols = beginGridCol + static_cast<int>(fields);
    // Columns first when the grid is too narrow for the fixed columns asked for; the end shape is the same.
    if (grid.Cols() < beginGridCol) grid.Cols(cols);
    grid.FixedCols(beginGridCol);
    if (beginGridCol != 0) grid.TextMatrix(0, 0, kNumberHeading);
    grid.Cols(cols);
    for (long f = beginRsField; f < fields; ++f) {
        grid.TextMatrix(0, beginGridCol, rs.Fields(f).Name());
        ++beginGridCol;
    }
}

}  // namespace Palvo::grid

namespace Palvo {

std::string clsGrid::sFillTable(const std::string& sSql, FlexGrid& Grid, bool ControlSize, std::int16_t iSize,
                                const std::string& sSum, bool bHasXH, const std::string& sControlDate) {
    return grid::fillTable(sSql, Grid, ControlSize, iSize, sSum, bHasXH, sControlDate);
}

std::string clsGrid::sFillTableWith(const std::string& sSql, const std::vector<Palvo::Value>& params,
                                    FlexGrid& Grid, bool ControlSize, std::int16_t iSize,
                                    const std::string& sSum, bool bHasXH, const std::string& sControlDate) {
    return grid::fillTableFrom(nullptr, sSql, Grid, ControlSize, iSize, sSum, bHasXH, sControlDate, params);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol,
                               std::int16_t& iBeginRsField) {
    grid::addColumnTitles(flx, rs, iBeginGridCol, iBeginRsField);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol) {
    std::int16_t field = 0;
    grid::addColumnTitles(flx, rs, iBeginGridCol, field);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs) {
    std::int16_t col = 0;
    std::int16_t field = 0;
    grid::addColumnTitles(flx, rs, col, field);
}

}  // namespace Palvo
