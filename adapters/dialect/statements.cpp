// Statements: a query clause by clause (TOP becomes LIMIT, collations and
// dates where SQL Server would compare as text or dates), INSERT, DELETE and
// UPDATE, and the choice of statement kind.
#include <algorithm>
#include <optional>
#include <utility>

#include "palvo/error.h"
#include "reader.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

// The join words before a table factor of UPDATE's FROM after the first: ","
// or [INNER | LEFT | RIGHT | FULL [OUTER] | CROSS] JOIN. Moves k past them.
std::string joinWords(const Nodes& ns, std::size_t& k, std::size_t fe) {
    if (ns[k].op(",")) {
        ++k;
        return ",";
    }
    std::string kind = "inner";
    if (ns[k].word("inner"))
        ++k;
    else if (ns[k].word("left") || ns[k].word("right") || ns[k].word("full")) {
        kind = asciiLower(ns[k].tok.text);
        ++k;
        if (k < fe && ns[k].word("outer")) ++k;
    } else if (ns[k].word("cross")) {
        kind = "cross";
        ++k;
    }
    if (k >= fe || !ns[k].word("join"))
        unsupported("the FROM clause of UPDATE near '" + plain(ns, k, std::min(fe, k + 3)) + "'");
    ++k;
    return kind;
}

bool isOuterJoin(const std::string& join) { return join == "left" || join == "right" || join == "full"; }

// Words that stay inside one operand of AND and OR; every other clause word ends
// a run of conditions.
bool staysInCondition(std::string_view lw) {
    return lw == "not" || lw == "is" || lw == "in" || lw == "like" || lw == "escape" || lw == "between" ||
           lw == "exists" || lw == "collate" || lw == "any" || lw == "some" || lw == "all";
}

// From this many AND/OR in one run on, the run is regrouped in parentheses:
// SQLite refuses an expression more than 1000 levels deep, and a flat chain of
// N conditions is N levels deep.
constexpr std::size_t kRegroupFrom = 32;
constexpr std::size_t kGroupWidth = 16;

std::string trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
}

// a1 AND a2 AND ... as groups of at most kGroupWidth, nested: a few levels deep however long.
std::string grouped(std::vector<std::string> terms, const char* word) {
    while (terms.size() > kGroupWidth) {
        std::vector<std::string> next;
        for (std::size_t k = 0; k < terms.size(); k += kGroupWidth) {
            std::string g;
            for (std::size_t j = k; j < std::min(terms.size(), k + kGroupWidth); ++j)
                g += (j > k ? std::string(" ") + word + " " : "") + terms[j];
            next.push_back("(" + g + ")");
        }
        terms = std::move(next);
    }
    std::string out;
    for (std::size_t j = 0; j < terms.size(); ++j) out += (j ? std::string(" ") + word + " " : "") + terms[j];
    return out;
}

}  // namespace

// The state of rendering a run of clauses.
struct Rewriter::Clauses {
    std::string out;
    std::optional<std::string> limit;
    bool percent = false;  // TOP ... PERCENT: the limit is a share of the select's rows
    bool ties = false;     // TOP ... WITH TIES: the limit counts the rows ranked within it
    bool distinct = false;
    bool numberKey = false;               // an ORDER BY key is a number (a column's position)
    std::size_t fromAt = 0, orderAt = 0;  // where FROM and ORDER BY start in out, 0 when not yet
    std::size_t selectAt = 0;             // where the select starts in out
    bool compound = false;
    bool selectSeen = false;
    Expr last;            // the previous expression, for BETWEEN with dates
    int betweenLeft = 0;  // BETWEEN operands still to come
    std::string betweenColumn;
    bool sortTerms = false;                // within ORDER BY or GROUP BY
    std::vector<std::string> textAliases;  // "expression as alias" where the expression is not a column
    // the AND and OR of the current run of conditions, as [begin, end) in out, and whether each is AND
    std::size_t conditionsFrom = 0;
    struct Connective {
        std::size_t begin, end;
        bool isAnd;
    };
    std::vector<Connective> connectives;
    bool betweenPending = false;               // the next AND belongs to BETWEEN
    std::vector<Expr>* caseResults = nullptr;  // of a CASE's body: the values after THEN and ELSE
    bool caseResultNext = false;
    std::size_t scopeBase = 0;  // the scopes around this run of clauses; a select adds its own
    // the query's own select list, whose items' types are recorded
    bool top = false;
    bool inSelectList = false;
    bool itemTyped = false;  // the current item's type is recorded
    // the select list: its current item, which SQL Server leaves unnamed when it is
    // one expression that is no column and has no alias
    bool inList = false;
    int itemTerms = 0;
    bool itemUnnamed = false;
    bool itemText = false;  // converted to text: a datetime's style stays text
    bool itemStar = false;
    // for the statement's own result (the first select list at its top): the items
    // unnamed and converted to text, and those that are "*", by position
    Translation* result = nullptr;
    int items = 0;
    std::vector<int> unnamedItems, textItems, starItems;

    void endItem() {
        if (inList && itemTerms == 1 && itemUnnamed) unnamedItems.push_back(items);
        if (inList && itemText) textItems.push_back(items);
        if (inList && itemStar) starItems.push_back(items);
        ++items;
        itemTerms = 0;
        itemUnnamed = itemText = itemStar = false;
    }
    // A "*" expands to columns unknown here: an item after it is counted from the last column.
    void columnsOf(const std::vector<int>& positions, std::vector<int>& columns) const {
        for (int k : positions) {
            const bool starBefore = !starItems.empty() && starItems.front() < k;
            const bool starAfter = !starItems.empty() && starItems.back() > k;
            if (!starBefore)
                columns.push_back(k);
            else if (!starAfter)
                columns.push_back(k - items);
        }
    }
    void endList() {
        if (!inList) return;
        endItem();
        inList = false;
        if (result) {
            columnsOf(unnamedItems, result->unnamedColumns);
            columnsOf(textItems, result->textColumns);
        }
        result = nullptr;
    }

    // Ends the run of conditions: many AND/OR are regrouped, AND before OR as SQL binds them.
    void endConditions() {
        if (connectives.size() >= kRegroupFrom) {
            std::vector<std::string> ors, ands;
            std::size_t from = conditionsFrom;
            for (std::size_t k = 0; k <= connectives.size(); ++k) {
                const std::size_t to = k < connectives.size() ? connectives[k].begin : out.size();
                ands.push_back(trimmed(std::string_view(out).substr(from, to - from)));
                if (k == connectives.size() || !connectives[k].isAnd) {
                    const bool several = ands.size() > 1;
                    std::string a = grouped(std::move(ands), "and");
                    ors.push_back(several ? "(" + a + ")" : a);
                    ands.clear();
                }
                if (k < connectives.size()) from = connectives[k].end;
            }
            const bool space = conditionsFrom < out.size() && out[conditionsFrom] == ' ';
            out.resize(conditionsFrom);
            put(out, ors.size() == 1 ? ors[0] : grouped(std::move(ors), "or"), space);
        }
        connectives.clear();
        betweenPending = false;
        conditionsFrom = out.size();
    }
};

std::string Rewriter::seq(const Nodes& ns, std::size_t b, std::size_t e) {
    if (std::string rewritten; groupingForms(ns, b, e, rewritten)) return rewritten;
    Clauses c;
    c.top = recordColumns_ && b < e && ns[b].word("select");
    recordColumns_ = false;
    if (&ns == topNodes_) c.result = &result_;
    c.caseResults = std::exchange(caseResults_, nullptr);
    c.scopeBase = scopes_.size();
    for (std::size_t i = b; i < e;) {
        const Node& n = ns[i];
        if (!n.group && n.tok.kind == TokenKind::Word) {
            const std::string lw = asciiLower(n.tok.text);
            const std::size_t before = c.out.size();
            const bool connective = (lw == "and" && !c.betweenPending) || lw == "or";
            // as clauseWord decides: LEFT( and RIGHT( are functions within a condition
            const bool ends = isClauseKeyword(lw) && !connective && !staysInCondition(lw) && lw != "and" &&
                              !((lw == "left" || lw == "right") && i + 1 < e && ns[i + 1].group);
            if (ends) c.endConditions();
            if (c.inList && lw != "as" && lw != "collate" && !(lw == "left" || lw == "right")) {
                if (lw == "from" || lw == "into" || lw == "where" || lw == "group" || lw == "having" ||
                    lw == "order" || lw == "union" || lw == "except" || lw == "intersect") {
                    c.endList();
                } else if (isClauseKeyword(lw)) {
                    c.itemUnnamed = false;
                }
            }
            if (c.inList && (lw == "as" || lw == "collate")) c.itemUnnamed = false;
            // where a select's FROM and ORDER BY start, for TOP ... WITH TIES
            if (c.selectSeen && !c.compound && !c.fromAt && lw == "from") c.fromAt = before;
            if (c.selectSeen && !c.compound && !c.orderAt && lw == "order") c.orderAt = before;
            if (clauseWord(ns, i, b, e, c)) {
                if (connective) c.connectives.push_back({before, c.out.size(), lw == "and"});
                if (lw == "between") c.betweenPending = true;
                if (lw == "and") c.betweenPending = false;
                if (ends) c.conditionsFrom = c.out.size();
                continue;
            }
        } else if (!n.group && (n.op(",") || n.op(";"))) {
            c.endConditions();
            c.itemTyped = false;
            if (n.op(","))
                c.endItem();
            else
                c.endList();
            put(c.out, n);
            ++i;
            c.last = Expr{};
            c.betweenLeft = 0;
            c.conditionsFrom = c.out.size();
            continue;
        }
        if (n.group && !n.kids.empty() && n.kids[0].word("select") &&
            ((i > b && (ns[i - 1].word("union") || ns[i - 1].word("except") || ns[i - 1].word("intersect") ||
                        (ns[i - 1].word("all") && i > b + 1 && ns[i - 2].word("union")))) ||
             // the first member: where the query starts (after IN a group is a subquery)
             (i == b && i + 1 < e &&
              (ns[i + 1].word("union") || ns[i + 1].word("except") || ns[i + 1].word("intersect"))) ||
             // the statement's whole query in parentheses: (select 1)
             (i == b && i + 1 == e && &ns == topNodes_))) {
            put(c.out, queryMember(n), false);
            ++i;
            continue;
        }
        clauseTerm(ns, i, e, c);
    }
    c.endConditions();
    c.endList();
    if (c.limit && c.ties) {
        if (c.distinct || c.numberKey || !c.fromAt || !c.orderAt)
            unsupported(std::string("TOP ... WITH TIES ") + (c.distinct    ? "with DISTINCT"
                                                             : c.numberKey ? "ordered by a column's number"
                                                                           : "without FROM and ORDER BY"));
        c.out += " limit " +
                 tiesLimit(c.out.substr(c.fromAt, c.orderAt - c.fromAt), c.out.substr(c.orderAt), *c.limit);
    } else if (c.limit) {
        c.out += " limit " + (c.percent ? percentLimit(c.out.substr(c.selectAt), *c.limit) : *c.limit);
    }
    scopes_.resize(c.scopeBase);
    return c.out;
}

// SELECT [DISTINCT | ALL] [TOP n]: the count is kept for a LIMIT at the end.
void Rewriter::selectHead(const Nodes& ns, std::size_t& i, std::size_t e, Clauses& c) {
    if (c.compound && c.limit) unsupported("TOP in a query combined with UNION");
    if (!c.compound) c.selectAt = c.out.size();
    put(c.out, ns[i]);
    if (c.top && !c.compound && !c.selectSeen) {
        c.inSelectList = true;
        columnsKnown_ = true;
        columnTypes_.clear();
    }
    c.selectSeen = true;
    c.sortTerms = false;
    ++i;
    if (catalogue_) {
        // each select of a UNION reads its own tables
        Scope scope = fromScope(ns, i, e);
        if (scopes_.size() > c.scopeBase)
            scopes_.back() = std::move(scope);
        else
            scopes_.push_back(std::move(scope));
    }
    if (i < e && (ns[i].word("distinct") || ns[i].word("all"))) {
        c.distinct = ns[i].word("distinct");
        put(c.out, ns[i++]);
    }
    c.inList = true;
    c.items = c.itemTerms = 0;
    c.itemUnnamed = c.itemText = c.itemStar = false;
    c.unnamedItems.clear();
    c.textItems.clear();
    c.starItems.clear();
    if (i < e && ns[i].word("top")) {
        ++i;
        const Node* count = i < e ? &ns[i] : nullptr;
        if (count && count->group && count->kids.size() == 1) count = &count->kids[0];
        const std::string limit = topCount(count);
        ++i;
        if (i < e && ns[i].word("percent")) {
            c.percent = true;
            ++i;
        }
        if (i + 1 < e && ns[i].word("with") && ns[i + 1].word("ties")) {
            if (c.percent) unsupported("TOP ... PERCENT WITH TIES");
            c.ties = true;
            i += 2;
        }
        if (c.compound) unsupported("TOP in a query combined with UNION");
        c.limit = limit;
    }
}

// A word at ns[i] that structures the clauses is rendered (true); false when
// the word starts an expression instead.
namespace {
// Texts separated by commas: 'a', N'b'
bool textList(const Nodes& kids) {
    for (std::size_t k = 0; k < kids.size(); ++k) {
        const bool text = !kids[k].group &&
                          (kids[k].tok.kind == TokenKind::String || kids[k].tok.kind == TokenKind::NString);
        if (k % 2 == 0 ? !text : !kids[k].op(",")) return false;
    }
    return kids.size() % 2 == 1;
}
}  // namespace

bool Rewriter::clauseWord(const Nodes& ns, std::size_t& i, std::size_t b, std::size_t e, Clauses& c) {
    const Node& n = ns[i];
    std::string lw = asciiLower(n.tok.text);
    if (lw == "select") {
        selectHead(ns, i, e, c);
        return true;
    }
    if (lw == "union" || lw == "except" || lw == "intersect") {
        // the members' types combine: the values decide them
        if (c.top) columnsKnown_ = false;
        if (c.limit) unsupported("TOP in a query combined with UNION");
        c.compound = true;
        c.sortTerms = false;
        put(c.out, n);
        ++i;
        return true;
    }
    if (lw.size() == 6 && lw == "offset") {
        c.out += pagingClause(ns, i, b, e, c.limit.has_value());
        c.last = Expr{};
        c.sortTerms = false;
        return true;
    }
    if (lw == "into" && c.selectSeen) unsupported("SELECT ... INTO");
    if (lw == "with" && i + 1 < e && ns[i + 1].group && i > b) unsupported("table hints WITH (...)");
    if (lw == "collate" && i + 1 < e && ns[i + 1].isName()) {
        std::string coll = asciiLower(ns[i + 1].tok.text);
        put(c.out, n);
        put(c.out, sqliteCollation(coll), true);
        i += 2;
        c.last = Expr{};  // an explicit collation is not overridden
        return true;
    }
    if (lw == "like" || (lw == "not" && i + 1 < e && ns[i + 1].word("like"))) {
        // SQL Server's LIKE (sets, ranges, the collation's case): a call on the left operand
        if (c.last.empty || !c.out.ends_with(c.last.text))
            unsupported("LIKE after '" + plain(ns, i > b ? i - 1 : i, i) + "'");
        c.out.resize(c.out.size() - c.last.text.size());
        if (lw == "not") ++i;
        put(c.out, likeCall(c.last, lw == "not", ns, i, e), false);
        c.last = Expr{};
        return true;
    }
    if (lw == "for" && i + 1 < e && ns[i + 1].word("xml")) unsupported("FOR XML outside a subquery");
    if (lw == "between" && (c.last.column || !dateTypeOf(c.last.text).empty())) {
        c.betweenLeft = 2;
        c.betweenColumn = c.last.text;
    }
    if ((lw == "in" || lw == "between" ||
         (lw == "not" && i + 1 < e && (ns[i + 1].word("in") || ns[i + 1].word("between")))) &&
        wantsTextCollation(c.last) && dateTypeOf(c.last.text).empty()) {
        c.out += kCollateText;  // the left operand decides the collation of IN and BETWEEN
    }
    // IN of a date expression with a list of texts: each text becomes a value of its type
    if (lw == "in" && i + 1 < e && ns[i + 1].group && !dateTypeOf(c.last.text).empty() &&
        textList(ns[i + 1].kids)) {
        const std::string type = dateTypeOf(c.last.text);
        std::string list;
        for (const Node& k : ns[i + 1].kids)
            list += k.op(",") ? ", " : "tsql_convert('" + type + "', " + quoteString(k.tok.text) + ", null)";
        put(c.out, n);
        put(c.out, "(" + list + ")", ns[i + 1].tok.spaceBefore);
        i += 2;
        c.last = Expr{};
        return true;
    }
    if (lw == "as" && wantsTextCollation(c.last) && i + 1 < e && ns[i + 1].isName()) {
        c.textAliases.push_back(asciiLower(ns[i + 1].tok.text));
    }
    if (isClauseKeyword(lw) && !((lw == "left" || lw == "right") && i + 1 < e && ns[i + 1].group)) {
        if (lw != "as") c.inSelectList = false;
        c.caseResultNext = c.caseResults && (lw == "then" || lw == "else");
        put(c.out, n);
        ++i;
        if (lw != "and") c.betweenLeft = lw == "between" ? c.betweenLeft : 0;
        c.last = Expr{};
        c.sortTerms = lw == "by" ? i >= b + 2 && (ns[i - 2].word("order") || ns[i - 2].word("group"))
                                 : c.sortTerms && (lw == "asc" || lw == "desc");
        return true;
    }
    return false;
}

// An expression among the clauses: a date or time literal as BETWEEN's operand
// compares as one, and a sort key sorts as text columns do.
void Rewriter::clauseTerm(const Nodes& ns, std::size_t& i, std::size_t e, Clauses& c) {
    std::size_t before = i;
    Expr x = expr(ns, i, e, 1);
    if (x.empty || i == before) {
        unsupported("the text '" + plain(ns, i, std::min(e, i + 3)) + "'");
    }
    if (c.betweenLeft > 0) {
        // of a date expression: the text becomes its type; of a column: a date or time when it holds them
        const std::string type = dateTypeOf(c.betweenColumn);
        if (x.string && !type.empty())
            x.text = "tsql_convert('" + type + "', " + x.text + ", null)";
        else if (x.string && (looksLikeDate(x.value) || looksLikeTime(x.value)))
            x.text = "tsql_datelit(" + c.betweenColumn + ", " + x.text + ")";
        --c.betweenLeft;
    }
    if (c.sortTerms && x.number) c.numberKey = true;
    if (c.sortTerms && !(i < e && ns[i].word("collate"))) {
        // A sort key that is an expression, or the alias of one, sorts as text columns do.
        const bool alias = x.column && i == before + 1 &&
                           std::find(c.textAliases.begin(), c.textAliases.end(),
                                     asciiLower(ns[before].tok.text)) != c.textAliases.end();
        if (wantsTextCollation(x) || alias) x.text += kCollateText;
    }
    if (c.inSelectList && !c.itemTyped) {
        // a star names columns the statement does not show: their count is unknown here
        if (x.text == "*" || x.text.ends_with(".*")) columnsKnown_ = false;
        // bigint as SQL Server reports it (row_number(), a bigint's arithmetic), whatever the values' size
        columnTypes_.push_back(x.num.kind == 'b' ? std::string("bigint") : declaredNumType(x.num));
        if (c.top && x.num.kind == 'd' && x.num.precision > 15) markExactResult(x.text, ns);
        c.itemTyped = true;
    }
    if (c.inList && ++c.itemTerms == 1) {
        // "name = expression" names its column; a column or "t.*" keeps the column's names
        const bool assigned = ns[before].isName() && before + 1 < e && ns[before + 1].op("=");
        c.itemStar = x.text.ends_with("*");
        c.itemUnnamed = !x.column && !c.itemStar && !assigned;
        constexpr std::string_view convert = "tsql_convert('";
        if (x.text.starts_with(convert)) {
            const std::string_view type = std::string_view(x.text).substr(
                convert.size(), x.text.find_first_of("'(", convert.size()) - convert.size());
            for (const std::string_view text : {"char", "varchar", "nchar", "nvarchar", "text", "ntext"}) {
                if (type == text) c.itemText = true;
            }
        }
        // FORMAT and DATENAME give text, also when it has the stored datetime shape
        if (x.text.starts_with("tsql_format(") || x.text.starts_with("tsql_datename(")) c.itemText = true;
    }
    put(c.out, x.text, x.space);
    if (c.caseResultNext) {
        c.caseResults->push_back(x);
        c.caseResultNext = false;
    }
    c.last = std::move(x);
}

// WITH name [(columns)] AS (query) [, ...] then the statement
std::string Rewriter::withStatement(const Nodes& ns) {
    std::string s = renderToken(ns[0].tok);
    std::size_t i = 1;
    while (true) {
        if (i >= ns.size() || !ns[i].isName()) unsupported("this form of WITH");
        commonTables_.push_back(asciiLower(ns[i].tok.text));
        put(s, ns[i]);
        ++i;
        if (i < ns.size() && ns[i].group) {
            put(s, "(" + plain(ns[i].kids, 0, ns[i].kids.size()) + ")", ns[i].tok.spaceBefore);
            ++i;
        }
        if (i + 1 >= ns.size() || !ns[i].word("as") || !ns[i + 1].group) unsupported("this form of WITH");
        // its columns' types, unless a column list renames them
        if (catalogue_ && !ns[i - 1].group) {
            if (const Catalogue::Columns* columns = queryColumns(ns[i + 1].kids))
                commonColumns_[commonTables_.back()] = columns;
        }
        put(s, ns[i]);
        put(s, group(ns[i + 1]), ns[i + 1].tok.spaceBefore);
        i += 2;
        if (i < ns.size() && ns[i].op(",")) {
            put(s, ns[i++]);
            continue;
        }
        break;
    }
    // WITH ... INSERT/UPDATE/DELETE: the statement as it would stand alone
    if (i < ns.size() && (ns[i].word("insert") || ns[i].word("update") || ns[i].word("delete"))) {
        const Nodes rest(ns.begin() + static_cast<std::ptrdiff_t>(i), ns.end());
        const std::string stmt = ns[i].word("insert")   ? insertStatement(rest)
                                 : ns[i].word("update") ? updateStatement(rest)
                                                        : deleteStatement(rest);
        return s + " " + trimLead(stmt);
    }
    recordColumns_ = true;
    return s + seq(ns, i, ns.size());
}

// INSERT [INTO] target [(columns)] VALUES/SELECT ...
std::string Rewriter::insertStatement(const Nodes& ns) {
    std::size_t i = 1;
    std::string out = renderToken(ns[0].tok) + " ";
    if (i < ns.size() && ns[i].word("into")) {
        out += renderToken(ns[i].tok);
        ++i;
    } else {
        out += "into";
    }
    if (i >= ns.size() || !ns[i].isName()) unsupported("INSERT without a table name");
    put(out, ns[i]);
    ++i;
    if (i < ns.size() && ns[i].group) {
        put(out, "(" + plain(ns[i].kids, 0, ns[i].kids.size()) + ")", ns[i].tok.spaceBefore);
        ++i;
    }
    if (i < ns.size() && (ns[i].word("exec") || ns[i].word("execute"))) unsupported("INSERT ... EXEC");
    put(out, seq(ns, i, ns.size()), false);
    return out;
}

// DELETE [FROM] target [WHERE ...]
std::string Rewriter::deleteStatement(const Nodes& ns) {
    std::size_t i = 1;
    std::string out = renderToken(ns[0].tok);
    if (i < ns.size() && ns[i].word("top")) unsupported("DELETE TOP");
    if (i < ns.size() && ns[i].word("from")) {
        put(out, ns[i]);
        ++i;
    } else {
        out += " from";
    }
    for (std::size_t k = i; k < ns.size(); ++k) {
        if (ns[k].word("from")) unsupported("DELETE with a second FROM (a join)");
    }
    Scope scope;
    if (catalogue_ && i < ns.size() && ns[i].isName()) {
        std::size_t k = i;
        while (k + 2 < ns.size() && ns[k + 1].op(".") && ns[k + 2].isName()) k += 2;
        scope.push_back(source(asciiLower(ns[k].tok.text), {}));
    }
    const ScopeGuard target(*this, std::move(scope));
    put(out, seq(ns, i, ns.size()), false);
    return out;
}

// One table factor in UPDATE's FROM, with the join that brings it in.
struct Rewriter::UpdateSource {
    std::size_t b = 0, e = 0;          // the table factor with its alias
    std::size_t joinB = 0;             // where its join words start (== b when none)
    std::string join;                  // "", "inner", "left", "right", "full", "cross", ","
    std::size_t condB = 0, condE = 0;  // ON condition
    std::string name, alias;
    bool keep = true;  // false for the updated table's entry, taken out of FROM
};

// The updated table as UPDATE ... FROM renders it.
struct Rewriter::UpdateTarget {
    std::string name;                     // as UPDATE names it, lower case
    std::string text;                     // the table as written
    std::string alias;                    // rendered; "" when it has none
    std::vector<std::string> conditions;  // join conditions moved into WHERE
};

// UPDATE target SET ... [FROM ...] [WHERE ...]. SQLite's UPDATE ... FROM must not
// name the target again, so the target's entry in FROM is taken out and its
// join condition moves into WHERE.
std::string Rewriter::updateStatement(const Nodes& ns) {
    const std::size_t n = ns.size();
    std::size_t setAt = n, fromAt = n, whereAt = n;
    for (std::size_t k = 1; k < n; ++k) {
        if (setAt == n && ns[k].word("set"))
            setAt = k;
        else if (setAt != n && fromAt == n && whereAt == n && ns[k].word("from"))
            fromAt = k;
        else if (setAt != n && whereAt == n && ns[k].word("where"))
            whereAt = k;
    }
    if (n > 1 && ns[1].word("top")) unsupported("UPDATE TOP");
    if (setAt == n) unsupported("UPDATE without SET");
    if (setAt != 2 || !ns[1].isName()) {
        if (setAt > 1 && ns[1].isName() && setAt == 4 && ns[2].op(".") && ns[3].isName()) {
            // owner.table: keep as written
        } else {
            unsupported("UPDATE of '" + plain(ns, 1, setAt) + "'");
        }
    }
    UpdateTarget target;
    target.name = asciiLower(ns[setAt - 1].tok.text);
    target.text = plain(ns, 1, setAt);
    std::vector<UpdateSource> sources;
    if (fromAt != n) sources = updateSources(ns, fromAt + 1, whereAt);
    // SET and WHERE read the updated table and those of FROM
    Scope scope;
    if (catalogue_) {
        bool aliased = false;
        for (const UpdateSource& src : sources) {
            aliased = aliased || src.alias == target.name;
            scope.push_back(src.name.empty() ? Source{src.alias, nullptr} : source(src.name, src.alias));
        }
        if (!aliased) scope.push_back(source(target.name, {}));
    }
    const ScopeGuard tables(*this, std::move(scope));
    std::string assigns = updateAssignments(ns, setAt + 1, std::min(fromAt, whereAt));
    std::string fromText;
    if (fromAt != n) {
        takeOutUpdatedTable(ns, sources, target);
        fromText = remainingSources(ns, sources);
    }
    std::string out = "update " + (target.text[0] == ' ' ? target.text.substr(1) : target.text);
    if (!target.alias.empty()) out += " as " + target.alias;
    out += " set " + assigns;
    if (!fromText.empty()) out += " from" + (fromText[0] == ' ' ? fromText : " " + fromText);
    std::string where = whereAt != n ? seq(ns, whereAt + 1, n) : std::string();
    if (!target.conditions.empty() || !where.empty()) {
        out += " where ";
        std::string joined;
        for (const auto& c : target.conditions) joined += (joined.empty() ? "" : " and ") + c;
        if (!where.empty()) {
            if (!where.empty() && where[0] == ' ') where.erase(0, 1);
            joined += target.conditions.empty() ? where : " and (" + where + ")";
        }
        out += joined;
    }
    return out;
}

// SET a = x, t.b = y: SQLite wants bare column names on the left.
std::string Rewriter::updateAssignments(const Nodes& ns, std::size_t b, std::size_t e) {
    std::string assigns;
    for (auto [ab, ae] : splitCommas(ns, b, e)) {
        std::size_t eq = ab;
        while (eq < ae && !ns[eq].op("=")) ++eq;
        if (eq == ae || eq == ab) unsupported("SET without '=' in UPDATE");
        std::string piece = renderToken(ns[eq - 1].tok);
        if (!ns[eq - 1].isName()) unsupported("SET of '" + plain(ns, ab, eq) + "'");
        if (!assigns.empty()) assigns += ",";
        put(assigns, piece, ns[ab].tok.spaceBefore || assigns.size() > 1);
        put(assigns, "=", ns[eq].tok.spaceBefore);
        std::size_t k = eq + 1;
        std::string rhs = seq(ns, k, ae);
        assigns += rhs;
    }
    if (!assigns.empty() && assigns[0] == ' ') assigns.erase(0, 1);
    return assigns;
}

// The table factors of UPDATE's FROM in [k, fe): each with its join words,
// name, alias and ON condition.
std::vector<Rewriter::UpdateSource> Rewriter::updateSources(const Nodes& ns, std::size_t k, std::size_t fe) {
    std::vector<UpdateSource> sources;
    while (k < fe) {
        UpdateSource s;
        s.joinB = k;
        if (!sources.empty()) s.join = joinWords(ns, k, fe);
        s.b = k;
        if (k >= fe) unsupported("UPDATE ... FROM ending without a table");
        if (ns[k].group) {
            ++k;
        } else if (ns[k].isName()) {
            s.name = asciiLower(ns[k].tok.text);
            ++k;
            while (k + 1 < fe && ns[k].op(".") && ns[k + 1].isName()) {
                s.name = asciiLower(ns[k + 1].tok.text);
                k += 2;
            }
        } else {
            unsupported("the FROM clause of UPDATE near '" + plain(ns, k, std::min(fe, k + 3)) + "'");
        }
        if (k < fe && ns[k].word("as")) ++k;
        if (k < fe && ns[k].isName() &&
            !(ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text)))) {
            s.alias = asciiLower(ns[k].tok.text);
            ++k;
        }
        s.e = k;
        if (k < fe && ns[k].word("on")) {
            s.condB = ++k;
            while (k < fe && !ns[k].op(",") && !ns[k].word("join") && !ns[k].word("inner") &&
                   !ns[k].word("left") && !ns[k].word("right") && !ns[k].word("full") &&
                   !ns[k].word("cross")) {
                ++k;
            }
            s.condE = k;
        }
        sources.push_back(std::move(s));
    }
    return sources;
}

// The FROM entry that is the updated table (by alias first, then by name) leaves
// FROM: its alias goes to the target and its join condition, and that of the
// entry after it when it was first, into WHERE.
void Rewriter::takeOutUpdatedTable(const Nodes& ns, std::vector<UpdateSource>& sources,
                                   UpdateTarget& target) {
    std::size_t hit = sources.size();
    for (std::size_t s = 0; s < sources.size() && hit == sources.size(); ++s) {
        if (sources[s].alias == target.name) hit = s;
    }
    for (std::size_t s = 0; s < sources.size() && hit == sources.size(); ++s) {
        if (sources[s].name == target.name) hit = s;
    }
    if (hit == sources.size()) return;
    UpdateSource& t = sources[hit];
    if (isOuterJoin(t.join) || (hit == 0 && sources.size() > 1 && isOuterJoin(sources[1].join))) {
        unsupported("UPDATE ... FROM with an outer join on the updated table");
    }
    if (ns[t.b].group) unsupported("UPDATE of a derived table");
    target.text = plain(ns, t.b, t.b + 1);
    if (!t.alias.empty() && t.alias != target.name) {
        unsupported("UPDATE naming the table " + target.name + " whose FROM entry has the alias " + t.alias);
    }
    if (!t.alias.empty()) {
        target.text = plain(ns, t.b, t.e - 1 - (ns[t.e - 2].word("as") ? 1 : 0));
        target.alias = renderToken(ns[t.e - 1].tok);
    }
    t.keep = false;
    if (t.condB) target.conditions.push_back("(" + trimLead(seq(ns, t.condB, t.condE)) + ")");
    if (hit == 0 && sources.size() > 1) {
        UpdateSource& next = sources[1];
        if (next.condB) target.conditions.push_back("(" + trimLead(seq(ns, next.condB, next.condE)) + ")");
        next.join.clear();
        next.condB = next.condE = 0;
        next.joinB = next.b;
    }
}

// FROM without the updated table; the first entry left loses its join words.
std::string Rewriter::remainingSources(const Nodes& ns, const std::vector<UpdateSource>& sources) {
    std::string fromText;
    bool first = true;
    for (const UpdateSource& src : sources) {
        if (!src.keep) continue;
        std::size_t start = first ? src.b : src.joinB;
        if (first && (src.join == "," || !src.join.empty())) start = src.b;
        std::string piece = seq(ns, start, src.condB ? src.condB - 1 : src.e);
        if (src.condB) piece += " on" + seq(ns, src.condB, src.condE);
        fromText += piece;
        first = false;
    }
    return fromText;
}

Translation Rewriter::statement(const ReadStatement& s) {
    // table hints leave a copy of the nodes; a statement without them is read as it is
    Nodes stripped;
    const bool hints = queryForms(s.nodes);
    if (hints) {
        stripped = s.nodes;
        stripTableHints(stripped);
    }
    const Nodes& ns = hints ? stripped : s.nodes;
    const Node& first = ns[0];
    Translation tr;
    switch (s.kind) {
        case StatementKind::Select:
        case StatementKind::With: {
            const bool select = s.kind == StatementKind::Select;
            recordColumns_ = select;
            topNodes_ = &ns;
            tr.statements.push_back(select ? seq(ns, 0, ns.size()) : withStatement(ns));
            if (columnsKnown_) tr.columnTypes = std::move(columnTypes_);
            tr.unnamedColumns = std::move(result_.unnamedColumns);
            tr.textColumns = std::move(result_.textColumns);
            break;
        }
        case StatementKind::Insert:
            tr.statements.push_back(insertStatement(ns));
            break;
        case StatementKind::Delete:
            tr.statements.push_back(deleteStatement(ns));
            break;
        case StatementKind::Update:
            tr.statements.push_back(updateStatement(ns));
            break;
        case StatementKind::Truncate:
            if (ns.size() != 3 || !ns[1].word("table") || !ns[2].isName())
                unsupported("this form of TRUNCATE");
            tr.statements.push_back("delete from " + renderToken(ns[2].tok));
            break;
        case StatementKind::CreateTable:
            tr = createTable(ns);
            break;
        case StatementKind::CreateView:
            tr.statements.push_back(createView(ns));
            break;
        case StatementKind::CreateIndex:
            tr.statements.push_back(createIndex(ns));
            break;
        case StatementKind::Drop:
            tr.statements.push_back(plain(ns, 0, ns.size()));
            break;
        case StatementKind::AlterTableAdd:
            tr = alterTableAdd(ns);
            break;
        case StatementKind::AlterTableColumn:
            tr = alterTableColumn(ns);
            break;
        case StatementKind::Rename:
            tr = rename(ns, first.word("sp_rename") ? 1 : 2);
            break;
        case StatementKind::If:
            unsupported("IF ... (control flow)");
        case StatementKind::Begin:
            unsupported("BEGIN ... END blocks and BEGIN TRAN (use the connection's transactions)");
        default:
            if (first.group || first.tok.kind != TokenKind::Word) {
                unsupported("a statement starting with '" + plain(ns, 0, 1) + "'");
            }
            unsupported("the statement " + upper(first.tok.text) +
                        (ns.size() > 1 && ns[1].isName() ? " " + upper(ns[1].tok.text) : ""));
    }
    if (tr.change.kind != SchemaChange::Kind::None) {
        // for another SQLite host, which has only the statements: refused there by name
        const auto k = tr.change.kind;
        tr.statements = {"select tsql_refuse('" +
                         std::string(k == SchemaChange::Kind::DropColumn    ? "ALTER TABLE ... DROP COLUMN"
                                     : k == SchemaChange::Kind::AlterColumn ? "ALTER TABLE ... ALTER COLUMN"
                                                                            : "sp_rename") +
                         "')"};
    }
    for (auto& text : tr.statements) text = trimLead(std::move(text));
    tr.usesCatalogue = usedCatalogue_;
    tr.variables = std::move(variablesUsed_);
    return tr;
}

}  // namespace Palvo::dialect
