#include "src/grid/grid_utils.h"

#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/grid_model.h"
#include "src/base/conversions.h"
#include "src/grid/exact_total.h"

namespace Palvo::grid {

namespace {

// Distinct texts a date column's tidying remembers.
constexpr std::size_t kMostTidied = 4096;

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// The date of "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", the forms a database's dates come in, when
// it names a real day and time: what the default format yyyy-mm-dd makes of it, without reading
// and writing it. nullopt for any other text, which goes the long way.
std::optional<std::string_view> plainDay(std::string_view t) {
    if ((t.size() != 10 && t.size() != 19) || t[4] != '-' || t[7] != '-' ||
        (t.size() == 19 && (t[10] != ' ' || t[13] != ':' || t[16] != ':')))
        return std::nullopt;
    bool digits = true;
    const auto field = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t k = at; k < at + n; ++k) {
            digits = digits && t[k] >= '0' && t[k] <= '9';
            v = v * 10 + (t[k] - '0');
        }
        return v;
    };
    DateTime d;
    d.year = field(0, 4);
    d.month = field(5, 2);
    d.day = field(8, 2);
    if (t.size() == 19) {
        d.hour = field(11, 2);
        d.minute = field(14, 2);
        d.second = field(17, 2);
    }
    if (!digits || !d.valid()) return std::nullopt;
    return t.substr(0, 10);
}

// What the default format makes of a plain day: the day, or "" for the empty date 1900-01-01.
std::optional<std::string_view> tidiedPlainDay(std::string_view trimmed) {
    const auto day = plainDay(trimmed);
    if (day && *day == "1900-01-01") return std::string_view();
    return day;
}

// mMsHorder's direction: False when the library is loaded, flipped on every call.
thread_local bool tAscending = false;

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> values) {
    for (auto v : values) {
        if (text == v) return true;
    }
    return false;
}

}  // namespace

int roundIndex(float index) { return base::clng(static_cast<double>(index)); }

bool inNameList(std::string_view list, std::string_view name) {
    // The list matched as "," + list + "," Like "*," + name + ",*", with the name's own
    // "[", "*", "?" and "#" standing for themselves: that is finding ",name," in ",list,".
    std::string wrapped = ",";
    wrapped.append(list);
    wrapped += ',';
    std::string item = ",";
    item.append(name);
    item += ',';
    return wrapped.find(item) != std::string::npos;
}

bool isDateHeading(std::string_view heading) {
    return heading.find("日期") != std::string_view::npos || heading.find("时间") != std::string_view::npos ||
           heading.find("年月") != std::string_view::npos;
}

std::string columnValue(FlexGrid& grid, int row, const std::string& colName) {
    for (int c = 0; c < grid.Cols(); ++c) {
        if (grid.TextMatrix(0, c) == colName) return grid.TextMatrix(row, c);
    }
    return {};
}

std::int16_t fieldColumn(FlexGrid& grid, const std::string& colName, int row) {
    for (int c = 0; c < grid.Cols(); ++c) {
        if (base::trim(grid.TextMatrix(row, c)) == colName) return static_cast<std::int16_t>(c);
    }
    return -1;
}

std::int32_t columnWidth(FlexGrid& grid, const std::string& caption) {
    for (int c = 0; c < grid.Cols(); ++c) {
        if (grid.TextMatrix(0, c) == caption) return grid.ColWidth(c);
    }
    return 0;
}

void alignColumns(FlexGrid& grid, int alignment) { grid.alignColumns(0, grid.Cols() - 1, alignment); }

bool tidiesDates(const std::string& heading, const std::string& dateFormat, const std::string& colString,
                 const std::string& notColString) {
    const std::string trimmed = base::trim(heading);
    if (base::trim(dateFormat).empty()) return isDateHeading(trimmed);
    if (!colString.empty()) return !trimmed.empty() && inNameList(colString, trimmed);
    return isDateHeading(trimmed) && !inNameList(notColString, trimmed);
}

std::string_view tidiedDate(std::string_view text, const std::string& dateFormat, std::string& formatted) {
    const std::string_view trimmed = base::trimmedView(text);
    if (trimmed.empty()) return text;
    if (!base::trimmedView(dateFormat).empty()) {
        // Only a text that reads as a date is rewritten; any other text stays as it is.
        if (const auto day =
                base::equalsNoCase(dateFormat, "yyyy-mm-dd") ? tidiedPlainDay(trimmed) : std::nullopt)
            return formatted.assign(*day);
        std::string_view next = text;
        if (auto d = base::parseDate(trimmed)) next = formatted = base::formatDate(*d, dateFormat);
        if (isOneOf(base::trimmedView(next), {"1900-01-01", "1900-01", "1900"})) next = {};
        return next;
    }
    if (isOneOf(trimmed, {"1900-01-01", "1900-01", "1900", "1900-1-1", "1900-1"})) return {};
    return text;
}

void formatDateColumns(FlexGrid& grid, const std::string& dateFormat, const std::string& colString,
                       const std::string& notColString) {
    // A grid without rows has no headings to read and no dates to tidy.
    if (grid.Rows() == 0) return;
    std::string formatted;
    const bool defaultFormat = base::equalsNoCase(dateFormat, "yyyy-mm-dd");
    for (int c = 0; c < grid.Cols(); ++c) {
        if (!tidiesDates(grid.TextMatrix(0, c), dateFormat, colString, notColString)) continue;
        // Dates repeat down a column: each distinct text is read and written once. A column
        // whose texts rarely repeat (times to the second) stops looking them up once the
        // memory is full and has answered fewer than half the cells.
        std::unordered_map<std::string, std::optional<std::string>, TextHash, std::equal_to<>> tidied;
        std::size_t looked = 0;
        std::size_t found = 0;
        bool remembering = true;
        // The column's changed cells are announced together.
        grid.editColumn(c, 1, [&](std::string_view text) -> std::optional<std::string_view> {
            // A plain day is cut quicker than it is looked up.
            if (const auto day = defaultFormat ? tidiedPlainDay(base::trimmedView(text)) : std::nullopt) {
                if (*day == text) return std::nullopt;
                return std::string_view(formatted.assign(*day));
            }
            if (remembering) {
                ++looked;
                if (const auto known = tidied.find(text); known != tidied.end()) {
                    ++found;
                    if (!known->second) return std::nullopt;
                    return std::string_view(*known->second);
                }
            }
            const std::string_view next = tidiedDate(text, dateFormat, formatted);
            std::optional<std::string_view> result;
            if (next != text) result = next;
            if (!remembering) return result;
            if (tidied.size() < kMostTidied)
                tidied.emplace(text, result ? std::optional<std::string>(*result) : std::nullopt);
            else if (2 * found < looked)
                remembering = false;
            return result;
        });
    }
}

}  // namespace Palvo::grid

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace grid;

std::string clsGrid::sGetGridColValue(FlexGrid& Grid, const std::int16_t& iRow, const std::string& sColName) {
    return grid::columnValue(Grid, iRow, sColName);
}

std::int16_t clsGrid::iGetFieldCol(FlexGrid& flx, const std::string& ColName, const std::int16_t& row) {
    return grid::fieldColumn(flx, ColName, row);
}

std::int32_t clsGrid::lGetRowNo(FlexGrid& grid, const float& colIndex, const std::string& cellVal) {
    const int col = roundIndex(colIndex);
    for (int r = 1; r < grid.Rows(); ++r) {
        if (grid.TextMatrix(r, col) == cellVal) return r;
    }
    return -1;
}

void clsGrid::mMsHorder(FlexGrid& grid, const std::int16_t& col) {
    grid.AllowBigSelection(false);
    grid.Col(col);
    grid.ColAlignment(col, 9);
    tAscending = !tAscending;
    grid.Sort(tAscending ? 1 : 2);
}

double clsGrid::dGetColSum(FlexGrid& grid, const std::string& caption) {
    const int col = fieldColumn(grid, caption, 0);
    // An unknown caption is an error even when there is no data row to read.
    if (col < 0) throw Error(GridError::Subscript, "Subscript out of range");
    // The exact sum of the texts, then the double nearest it: the same for any row order.
    ExactTotal sum;
    for (int r = 1; r < grid.Rows(); ++r) sum.add(grid.cellText(r, col));
    return sum.value();
}

void clsGrid::mExchangeRow(FlexGrid& grid, const float& r1, const float& r2) {
    const int a = roundIndex(r1);
    const int b = roundIndex(r2);
    for (int c = 0; c < grid.Cols(); ++c) {
        std::string first = grid.TextMatrix(a, c);
        std::string second = grid.TextMatrix(b, c);
        grid.TextMatrix(a, c, second);
        grid.TextMatrix(b, c, first);
    }
}

std::int32_t clsGrid::lGetColWidth(FlexGrid& MSGrid, const std::string& cCaption) {
    return grid::columnWidth(MSGrid, cCaption);
}

void clsGrid::mSetGridColAlignment(FlexGrid& Gird, std::int16_t iAlignment) {
    grid::alignColumns(Gird, iAlignment);
}

void clsGrid::mSetGridRowColor(FlexGrid& grid, const std::int32_t& color) {
    // The even data rows, as one block of every other row.
    const int first = grid.FixedRows() + grid.FixedRows() % 2;
    if (first < grid.Rows())
        grid.backColorBlock(first, grid.FixedCols(), grid.Rows() - 1, grid.Cols() - 1, color, 2);
    grid::alignColumns(grid, 1);
    grid.Row(1);
    grid.Col(grid.FixedCols());
}

void clsGrid::mSetGridDate(FlexGrid& MS, const std::string& sDateFormat, std::string sColString,
                           std::string sNotColString) {
    grid::formatDateColumns(MS, sDateFormat, sColString, sNotColString);
}

}  // namespace Palvo
