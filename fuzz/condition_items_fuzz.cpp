// Feeds arbitrary condition items (条件项目) to the custom query dialog's
// loader, then builds the condition from the rows read: the items built read
// back as the rows they came from, and no value leaves its quotes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/error.h"
#include "palvo/text.h"
#include "src/query/condition_editor.h"

namespace {

using Palvo::query::ColumnKind;

ColumnKind kindOf(const std::string& column) {
    if (column == "名称") return ColumnKind::Text;
    if (column == "数量") return ColumnKind::Number;
    if (column == "日期") return ColumnKind::Date;
    if (column == "照片") return ColumnKind::Image;
    throw Palvo::Error(5, "no such column: " + column);
}

// Outside its string literals the condition holds no statement break or comment.
bool staysInQuotes(const std::string& text) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '\'') {
                ++i;
                continue;
            }
            quoted = !quoted;
        } else if (!quoted &&
                   (text[i] == ';' || text.compare(i, 2, "--") == 0 || text.compare(i, 2, "/*") == 0)) {
            return false;
        }
    }
    return !quoted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Palvo::query;
    const std::string_view items(reinterpret_cast<const char*>(data), size);

    const auto read = conditionRows(items);
    std::vector<ConditionRow> rows;
    for (const auto& cells : read) {
        if (cells.empty() || cells.size() > 5) __builtin_trap();
        ConditionRow row;
        for (std::size_t c = 0; c < cells.size(); ++c) row[c] = cells[c];
        rows.push_back(row);
    }
    try {
        const BuiltCondition built = buildCondition(rows, kindOf, "d");
        if (!staysInQuotes(built.text)) __builtin_trap();
        // the rows the build kept (up to the first empty one, image columns left out) read back
        std::vector<std::vector<std::string>> kept;
        for (const ConditionRow& row : rows) {
            bool empty = true;
            for (const std::string& cell : row) empty = empty && Palvo::base::trim(cell).empty();
            if (empty) break;
            if (!Palvo::base::trim(row[2]).empty() && kindOf(Palvo::base::trim(row[2])) == ColumnKind::Image)
                continue;
            kept.emplace_back(row.begin(), row.end());
        }
        // U+001F is how a comma inside a cell is stored, so a cell holding it reads back as a comma
        if (std::string_view(built.items).find('\x1f') == std::string_view::npos &&
            items.find('\x1f') == std::string_view::npos && conditionRows(built.items) != kept)
            __builtin_trap();
    } catch (const ConditionRefused&) {
    } catch (const ConditionInvalid&) {
    } catch (const Palvo::Error&) {
    }
    return 0;
}
