// SET ROWCOUNT in a batch: the rows a query keeps, and the TOP (n) a change takes for it.
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
    if (k + 1 == e && ns[k - 1].word("default")) return true;  // DEFAULT VALUES
    return k + 2 == e && ns[k + 1].group;
}

std::size_t rowCountTopAfter(const Nodes& ns, std::size_t b, std::size_t e) {
    if (b + 1 >= e) return e;
    if (ns[b].word("update") || ns[b].word("delete")) return ns[b + 1].word("top") ? e : b;
    if (!ns[b].word("insert")) return e;
    // INSERT ... SELECT: after its SELECT (and DISTINCT), when the select is one and has no TOP
    std::size_t at = e;
    for (std::size_t k = b + 1; k < e; ++k) {
        const Node& n = ns[k];
        if (n.group) continue;
        if (n.word("values") || n.word("exec") || n.word("execute") || n.word("union") || n.word("except") ||
            n.word("intersect") || n.word("output"))
            return e;
        if (n.word("select") && at == e) at = k;
    }
    if (at + 1 < e && (ns[at + 1].word("distinct") || ns[at + 1].word("all"))) ++at;
    return at + 1 < e && !ns[at + 1].word("top") ? at : e;
}

void refuseUnderRowCount() {
    unsupported(
        "a change that takes no TOP (n) under SET ROWCOUNT other than 0 (MERGE, SELECT ... INTO, "
        "a TOP of its own, a UNION, several rows of VALUES, a change after WITH)");
}

}  // namespace Palvo::dialect
