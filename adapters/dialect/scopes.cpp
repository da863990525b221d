// Which table a column reference reads, so that it gets its declared type: the
// tables of each query's FROM (and of UPDATE and DELETE) form a scope, nested
// queries see the scopes around them.
#include <algorithm>

#include "rewriter.h"

namespace Palvo::dialect {

namespace {

// A word that ends a FROM clause.
bool endsFrom(const Node& n) {
    static const char* const words[] = {"where",     "group", "having", "order", "union", "except",
                                        "intersect", "limit", "offset", "for",   "option"};
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return n.word(w); });
}

// A word of a join; LEFT( and RIGHT( are functions.
bool joinWord(const Nodes& ns, std::size_t k, std::size_t e) {
    const Node& n = ns[k];
    if ((n.word("left") || n.word("right")) && k + 1 < e && ns[k + 1].group) return false;
    static const char* const words[] = {"join", "inner", "left",  "right",
                                        "full", "outer", "cross", "natural"};
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return n.word(w); });
}

}  // namespace

NumType columnNumType(std::string_view declared) {
    std::string t;
    for (char c : asciiLower(declared)) {
        if (c != ' ' && c != '\t') t += c;
    }
    // a decimal with a fraction is stored as "decimal real(18,2)", money as "money real"
    if (const auto p = t.find("real"); p != std::string::npos && p > 0) t.erase(p, 4);
    // a whole number beyond bigint's digits is stored as text: "decimal text(38,0)"
    if (heldAsDigits(declared)) t.erase(t.find("text("), 4);
    // an identity column is the rowid's "integer", which a bigint identity is too
    if (t == "integer") return {'b', 19, 0};
    return numTypeOf(t);
}

bool heldAsDigits(std::string_view declared) {
    const std::string t = asciiLower(declared);
    return (t.starts_with("decimal text(") || t.starts_with("numeric text(") || t.starts_with("dec text(")) &&
           t.ends_with(",0)");
}

Rewriter::ScopeGuard::ScopeGuard(Rewriter& rw, Scope scope) : rw_(rw) {
    rw_.scopes_.push_back(std::move(scope));
}

Rewriter::Source Rewriter::source(const std::string& lowerTable, std::string alias) {
    Source s;
    if (alias.empty())
        s.name = lowerTable;
    else
        s.name = std::move(alias);
    if (!catalogue_ || lowerTable.empty()) return s;
    if (std::find(commonTables_.begin(), commonTables_.end(), lowerTable) != commonTables_.end()) {
        const auto it = commonColumns_.find(lowerTable);
        if (it != commonColumns_.end()) s.columns = it->second;
        return s;
    }
    usedCatalogue_ = true;
    s.columns = catalogue_->columns(lowerTable);
    return s;
}

// The tables of the FROM clause of the select whose list starts at i.
Rewriter::Scope Rewriter::fromScope(const Nodes& ns, std::size_t i, std::size_t e) {
    Scope scope;
    std::size_t k = i;
    while (k < e && !ns[k].word("from")) {
        if (ns[k].word("union") || ns[k].word("except") || ns[k].word("intersect")) return scope;
        ++k;
    }
    ++k;
    while (k < e && !endsFrom(ns[k])) {
        if (ns[k].op(",") || joinWord(ns, k, e)) {
            ++k;
            continue;
        }
        if (ns[k].word("on")) {
            for (++k; k < e && !endsFrom(ns[k]) && !ns[k].op(",") && !joinWord(ns, k, e);) ++k;
            continue;
        }
        std::string table;
        const Node* derived = nullptr;
        if (ns[k].group) {
            derived = &ns[k];
            ++k;
        } else if (ns[k].isName()) {
            table = asciiLower(ns[k].tok.text);
            for (++k; k + 1 < e && ns[k].op(".") && ns[k + 1].isName(); k += 2)
                table = asciiLower(ns[k + 1].tok.text);
        } else {
            ++k;
            continue;
        }
        if (k < e && ns[k].word("as")) ++k;
        std::string alias;
        if (k < e && ns[k].isName() &&
            !(ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text)))) {
            alias = asciiLower(ns[k++].tok.text);
        }
        if (k < e && ns[k].group) {
            ++k;  // a derived table's column names: its own are not what it gives
            derived = nullptr;
        }
        if (table.empty()) {
            scope.push_back(Source{std::move(alias), derived ? queryColumns(derived->kids) : nullptr});
        } else {
            scope.push_back(source(table, std::move(alias)));
        }
    }
    return scope;
}

// A select's list typed as its own FROM gives it; "*" and a UNION (whose members'
// types combine) leave the columns untold.
const Catalogue::Columns* Rewriter::queryColumns(const Nodes& q) {
    if (q.empty() || !q[0].word("select")) return nullptr;
    if (const auto it = derivedOf_.find(&q); it != derivedOf_.end()) return it->second;
    derivedOf_[&q] = nullptr;
    for (const Node& n : q) {
        if (n.word("union") || n.word("except") || n.word("intersect")) return nullptr;
    }
    std::size_t i = 1;
    if (i < q.size() && (q[i].word("distinct") || q[i].word("all"))) ++i;
    if (i < q.size() && q[i].word("top")) {
        i += 2;
        if (i < q.size() && q[i].word("percent")) ++i;
    }
    std::size_t end = i;
    while (end < q.size() && !(q[end].word("from") || q[end].word("where") || q[end].word("group") ||
                               q[end].word("having") || q[end].word("order") || q[end].word("into")))
        ++end;
    Catalogue::Columns columns;
    const ScopeGuard scope(*this, fromScope(q, 1, q.size()));
    for (const auto& [b, e] : splitCommas(q, i, end)) {
        std::size_t k = b;
        Expr x;
        {
            const Nesting level(depth_);
            x = expr(q, k, e, 1);
        }
        if (x.text == "*" || x.text.ends_with(".*")) return nullptr;
        std::string name;
        if (k < e && q[k].word("as")) ++k;
        if (k + 1 == e && q[k].isName()) {
            name = q[k].tok.text;
        } else if (k == e && x.column) {
            name = q[e - 1].tok.text;
        } else if (b + 1 < e && q[b].isName() && q[b + 1].op("=")) {
            name = q[b].tok.text;  // name = expression: its type is not read here
            x = Expr{};
        } else {
            continue;
        }
        columns[asciiLower(name)] = typeOf(x);
    }
    derived_.push_back(std::move(columns));
    return derivedOf_[&q] = &derived_.back();
}

// The declared type of a column reference, [qualifier.]column; none when the
// table is unknown or the name is ambiguous (SQLite then refuses it itself).
const std::string* Rewriter::declaredType(std::string_view qualifier, std::string_view column) const {
    const std::string q = asciiLower(qualifier), col = asciiLower(column);
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        if (!q.empty()) {
            for (const Source& s : *scope) {
                if (s.name != q) continue;
                if (!s.columns) return nullptr;
                const auto it = s.columns->find(col);
                return it == s.columns->end() ? nullptr : &it->second;
            }
            continue;
        }
        const std::string* found = nullptr;
        int hits = 0;
        bool unknown = false;
        for (const Source& s : *scope) {
            if (!s.columns) {
                unknown = true;
                continue;
            }
            if (const auto it = s.columns->find(col); it != s.columns->end()) {
                found = &it->second;
                ++hits;
            }
        }
        // one table with that column: SQL Server would refuse the name if another source had it too
        if (hits == 1) return found;
        if (hits > 1 || unknown) return nullptr;
    }
    return nullptr;
}

NumType Rewriter::referenceType(std::string_view qualifier, std::string_view column) const {
    const std::string* declared = declaredType(qualifier, column);
    return declared ? columnNumType(*declared) : NumType{};
}

}  // namespace Palvo::dialect
