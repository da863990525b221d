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
    if (s.columns) {
        s.order = catalogue_->columnOrder(lowerTable);
        s.names = catalogue_->columnNames(lowerTable);
    } else {
        catalogueMissed_ = true;
    }
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

// The items of the select list of one select [b, e) (no UNION), typed as its FROM
// gives them: each one's name ("" for an expression without one); false for "*".
bool Rewriter::memberItems(const Nodes& q, std::size_t b, std::size_t e,
                           std::vector<std::pair<std::string, Expr>>& items) {
    if (b >= e || !q[b].word("select")) return false;
    std::size_t i = b + 1;
    if (i < e && (q[i].word("distinct") || q[i].word("all"))) ++i;
    if (i < e && q[i].word("top")) {
        i += 2;
        if (i < e && q[i].word("percent")) ++i;
    }
    std::size_t end = i;
    while (end < e && !(q[end].word("from") || q[end].word("where") || q[end].word("group") ||
                        q[end].word("having") || q[end].word("order") || q[end].word("into")))
        ++end;
    const ScopeGuard scope(*this, fromScope(q, b + 1, e));
    for (const auto& [ib, ie] : splitCommas(q, i, end)) {
        std::size_t k = ib;
        Expr x;
        {
            const Nesting level(depth_);
            x = expr(q, k, ie, 1);
        }
        if (x.text == "*" || x.text.ends_with(".*")) return false;
        std::string name;
        if (k < ie && q[k].word("as")) ++k;
        if (k + 1 == ie && q[k].isName()) {
            name = q[k].tok.text;
        } else if (k == ie && x.column) {
            name = q[ie - 1].tok.text;
        } else if (ib + 1 < ie && q[ib].isName() && q[ib + 1].op("=")) {
            name = q[ib].tok.text;  // name = expression: its type is not read here
            x = Expr{};
        }
        items.emplace_back(asciiLower(name), std::move(x));
    }
    return true;
}

bool Rewriter::selectListTypes(const Nodes& q, std::size_t b, std::size_t e,
                               std::vector<std::pair<std::string, std::string>>& columns) {
    // the members of a UNION, EXCEPT or INTERSECT; the names are the first one's
    std::vector<std::vector<std::pair<std::string, Expr>>> members(1);
    std::size_t from = b;
    for (std::size_t k = b; k <= e; ++k) {
        const bool ends = k == e || q[k].word("union") || q[k].word("except") || q[k].word("intersect");
        if (!ends) continue;
        if (!memberItems(q, from, k, members.back())) return false;
        if (k == e) break;
        from = k + 1;
        if (from < e && q[from].word("all")) ++from;
        members.emplace_back();
    }
    for (std::size_t c = 0; c < members[0].size(); ++c) {
        std::vector<Expr> values;
        for (const auto& m : members) {
            if (c < m.size()) values.push_back(m[c].second);
        }
        // one member's value is its type; several combine as SQL Server's UNION does
        const std::string type = values.size() == 1                ? typeOf(values[0])
                                 : values.size() == members.size() ? commonType(values)
                                                                   : "";
        columns.emplace_back(members[0][c].first, type);
    }
    return true;
}

// A select's list typed as its own FROM gives it; "*" leaves the columns untold.
const Catalogue::Columns* Rewriter::queryColumns(const Nodes& q) {
    if (q.empty() || !q[0].word("select")) return nullptr;
    if (const auto it = derivedOf_.find(&q); it != derivedOf_.end()) return it->second;
    derivedOf_[&q] = nullptr;
    std::vector<std::pair<std::string, std::string>> list;
    if (!selectListTypes(q, 0, q.size(), list)) return nullptr;
    Catalogue::Columns columns;
    for (auto& [name, type] : list) {
        if (!name.empty()) columns[name] = std::move(type);
    }
    derived_.push_back(std::move(columns));
    return derivedOf_[&q] = &derived_.back();
}

bool Rewriter::starTypes(std::string_view qualifier, std::vector<std::string>& types) const {
    if (scopes_.empty()) return false;
    const std::string q = asciiLower(qualifier);
    bool any = false;
    for (const Source& s : scopes_.back()) {
        if (!q.empty() && s.name != q) continue;
        if (!s.columns || !s.order) return false;
        for (const std::string& name : *s.order) {
            const auto it = s.columns->find(name);
            types.push_back(it == s.columns->end() ? std::string() : reportedType(columnNumType(it->second)));
        }
        any = true;
    }
    return any;
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
