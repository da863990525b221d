// SET ROWCOUNT in a batch: the rows a query keeps, and the changes it would stop, refused.
#include <string>
#include <utility>

#include "batch_errors.h"
#include "palvo/error.h"

namespace Palvo::dialect {

long long rowCountOf(const Value& v) {
    const std::string text = v.isNull() ? std::string() : v.toText();
    if (v.isNull() || text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoll(text) > 2147483647LL)
        unsupported("SET ROWCOUNT of the value " + (v.isNull() ? std::string("Null") : "'" + text + "'") +
                    " (a whole number from 0)");
    return std::stoll(text);
}

void keepRows(ResultTable& t, long long limit) {
    if (limit <= 0 || t.rowCount() <= static_cast<std::size_t>(limit)) return;
    const std::size_t n = static_cast<std::size_t>(limit) * t.columns.size();
    CellStore kept;
    kept.reserve(n);
    for (std::size_t k = 0; k < n; ++k) kept.push_back(t.cells[k]);
    t.cells = std::move(kept);
}

bool changesOneRow(const Nodes& ns, std::size_t b, std::size_t e) {
    if (b >= e || !ns[b].word("insert")) return false;
    std::size_t k = b + 1;
    while (k < e && !ns[k].word("values")) {
        if (ns[k].word("select") || ns[k].word("exec") || ns[k].word("execute") || ns[k].word("output"))
            return false;
        ++k;
    }
    return k + 2 == e && ns[k + 1].group;
}

void refuseUnderRowCount() {
    unsupported("INSERT, UPDATE, DELETE, MERGE or SELECT ... INTO under SET ROWCOUNT other than 0 (use TOP)");
}

}  // namespace Palvo::dialect
