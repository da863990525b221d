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
    int wideBoundsLeft = 0;                 // BETWEEN operands still to come beside a value that is no column
    bool wideSubject = false;               // that value may be a whole number beyond bigint
    bool sortTerms = false;                 // within ORDER BY or GROUP BY
    std::vector<std::string> textAliases;   // "expression as alias" where the expression is not a column
    std::vector<std::string> digitAliases;  // of those, the ones whose values are digits held as text
    // TOP ... WITH TIES ranks outside the select list, where its aliases mean nothing: each
    // alias's expression (as rendered), and each ORDER BY key naming one, at its place in out
    struct Alias {
        std::string name, expression;
    };
    std::vector<Alias> aliases;
    struct AliasKey {
        std::size_t at, size;
        std::string expression;
    };
    std::vector<AliasKey> aliasKeys;
    std::size_t itemFrom = 0, asAt = 0;  // where the select-list item and its AS start in out
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
    Expr* subqueryValue = nullptr;  // of a scalar subquery: its value, typed while it is one select's one
    bool valueSeen = false;
    const std::vector<const std::string*>* insertTargets = nullptr;  // of INSERT's select: its columns
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
    Expr* const subqueryValue = std::exchange(subqueryValue_, nullptr);
    const auto* const insertTargets = std::exchange(insertTargets_, nullptr);
    if (std::string rewritten; groupingForms(ns, b, e, rewritten)) return rewritten;
    Clauses c;
    c.subqueryValue = subqueryValue;
    c.insertTargets = insertTargets;
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
            c.itemFrom = c.out.size();
            ++i;
            c.last = Expr{};
            c.betweenLeft = 0;
            c.wideBoundsLeft = 0;
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
    // a UNION's members' types combine, and a select of several columns is no scalar
    if (c.subqueryValue && (c.compound || c.items != 1)) *c.subqueryValue = Expr{};
    if (c.limit && c.ties) {
        if (c.distinct || c.numberKey || !c.fromAt || !c.orderAt)
            unsupported(std::string("TOP ... WITH TIES ") + (c.distinct    ? "with DISTINCT"
                                                             : c.numberKey ? "ordered by a column's number"
                                                                           : "without FROM and ORDER BY"));
        std::string orderBy = c.out.substr(c.orderAt);
        for (auto k = c.aliasKeys.rbegin(); k != c.aliasKeys.rend(); ++k)
            orderBy.replace(k->at - c.orderAt, k->size, "(" + k->expression + ")");
        c.out += " limit " + tiesLimit(c.out.substr(c.fromAt, c.orderAt - c.fromAt), orderBy, *c.limit);
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
        const std::string limit = topCount(count, i + 1 < e && ns[i + 1].word("percent"));
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
    c.itemFrom = c.out.size();
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
    // max() of a decimal(38,0) column gives its digits as text, which SQLite's IN never finds among numbers
    if (lw == "in" && !c.last.column && c.last.digitText)
        unsupported("IN after the digits of a whole number beyond bigint that is no column");
    if (lw == "between" && !c.last.column && !c.last.empty) {
        c.wideBoundsLeft = 2;
        c.wideSubject = wideWhole(c.last);
    }
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
        (c.last.digitText ? c.digitAliases : c.textAliases).push_back(asciiLower(ns[i + 1].tok.text));
    }
    if (isClauseKeyword(lw) && !((lw == "left" || lw == "right") && i + 1 < e && ns[i + 1].group)) {
        if (lw != "as") c.inSelectList = false;
        if (lw == "as") c.asAt = c.out.size();
        c.caseResultNext = c.caseResults && (lw == "then" || lw == "else");
        put(c.out, n);
        ++i;
        if (lw != "and") c.betweenLeft = lw == "between" ? c.betweenLeft : 0;
        if (lw != "and") c.wideBoundsLeft = lw == "between" ? c.wideBoundsLeft : 0;
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
    if (c.inList && x.digitText &&
        (c.compound || std::any_of(ns.begin() + static_cast<std::ptrdiff_t>(i),
                                   ns.begin() + static_cast<std::ptrdiff_t>(e), [](const Node& n) {
                                       return n.word("union") || n.word("except") || n.word("intersect");
                                   }))) {
        // the members' rows would compare its digits with the others' numbers as different values
        unsupported(
            "a whole number held as digits (decimal(19..38,0)) in a query combined by UNION, EXCEPT "
            "or INTERSECT");
    }
    if (c.wideBoundsLeft > 0) {
        --c.wideBoundsLeft;
        // SQLite's BETWEEN would order digits held as text after every number; beside a column its
        // affinity compares them
        if (c.wideSubject || wideWhole(x))
            unsupported("BETWEEN with a whole number beyond bigint beside a value that is no column");
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
    if (c.ties && !c.compound && x.column && i == before + 1) tiesAlias(ns, before, e, x.text, c);
    if (c.sortTerms && x.number) c.numberKey = true;
    if (c.sortTerms && !(i < e && ns[i].word("collate"))) {
        // A sort key that is an expression, or the alias of one, sorts as text columns do.
        const bool alias = x.column && i == before + 1 &&
                           std::find(c.textAliases.begin(), c.textAliases.end(),
                                     asciiLower(ns[before].tok.text)) != c.textAliases.end();
        const bool digitAlias = x.column && i == before + 1 &&
                                std::find(c.digitAliases.begin(), c.digitAliases.end(),
                                          asciiLower(ns[before].tok.text)) != c.digitAliases.end();
        // digits held as text (max() of a decimal(38,0) column) sort as the numbers they are
        if ((x.digitText && !x.column) || digitAlias)
            x.text += " collate numtext";
        else if (wantsTextCollation(x) || alias)
            x.text += kCollateText;
    }
    if (c.insertTargets && c.inList && c.itemTerms == 0 &&
        static_cast<std::size_t>(c.items) < c.insertTargets->size() && (*c.insertTargets)[c.items] &&
        (x.num.kind == 'd' || x.num.kind == 'm')) {
        // a decimal going into a character column keeps its scale, as in VALUES
        x.text =
            "tsql_convert('varchar(max)', " + x.text + ", null, '" +
            (x.num.kind == 'm' ? std::string("m")
                               : "d" + std::to_string(x.num.precision) + "," + std::to_string(x.num.scale)) +
            "')";
    }
    if (c.subqueryValue && !c.valueSeen && c.inList && c.itemTerms == 0) {
        *c.subqueryValue = x;
        c.valueSeen = true;
    }
    if (c.inSelectList && !c.itemTyped) {
        if (x.text == "*" || x.text.ends_with(".*")) {
            // a star's columns, when the catalogue tells them in order; otherwise their count is unknown
            const bool qualified = before + 2 < i && ns[before].isName() && ns[before + 1].op(".");
            if (!starTypes(qualified ? std::string_view(ns[i - 3].tok.text) : std::string_view(),
                           columnTypes_))
                columnsKnown_ = false;
        } else {
            // as SQL Server reports it: bigint (row_number()) whatever the values' size, int with no rows
            columnTypes_.push_back(reportedType(x.num));
        }
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
    if (!c.aliasKeys.empty() && c.aliasKeys.back().at == std::string::npos) {
        c.aliasKeys.back().at = c.out.size() - x.text.size();
    }
    if (c.caseResultNext) {
        c.caseResults->push_back(x);
        c.caseResultNext = false;
    }
    c.last = std::move(x);
}

// For TOP ... WITH TIES, the name at ns[k] (rendered `text`): in the select list after an
// expression, that item's alias; as a whole ORDER BY key, the alias it names, which SQL
// Server reads before a column of that name (its place in out is set once it is put).
void Rewriter::tiesAlias(const Nodes& ns, std::size_t k, std::size_t e, const std::string& text,
                         Clauses& c) const {
    const bool alone = k + 1 == e || ns[k + 1].op(",") || ns[k + 1].word("from") || ns[k + 1].word("asc") ||
                       ns[k + 1].word("desc") || ns[k + 1].word("offset");
    if (!alone || !ns[k].isName()) return;
    const std::string name = asciiLower(ns[k].tok.text);
    if (c.inList && c.itemTerms >= 1) {
        const std::size_t end = ns[k - 1].word("as") ? c.asAt : c.out.size();
        if (end > c.itemFrom)
            c.aliases.push_back({name, trimLead(c.out.substr(c.itemFrom, end - c.itemFrom))});
    } else if (c.sortTerms && c.orderAt) {
        for (const auto& a : c.aliases)
            if (a.name == name) c.aliasKeys.push_back({std::string::npos, text.size(), a.expression});
    }
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
        for (std::size_t k = i; k < ns.size(); ++k)
            if (ns[k].word("output")) unsupported("OUTPUT after WITH");
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
    const std::string table = asciiLower(ns[i - 1].tok.text);
    std::vector<std::string> columns;
    if (i < ns.size() && ns[i].group) {
        const Nodes& names = ns[i].kids;
        for (const auto& [b, e] : splitCommas(names, 0, names.size()))
            columns.push_back(e == b + 1 && names[b].isName() ? asciiLower(names[b].tok.text) : "");
        put(out, "(" + plain(ns[i].kids, 0, ns[i].kids.size()) + ")", ns[i].tok.spaceBefore);
        ++i;
    }
    if (i < ns.size() && (ns[i].word("exec") || ns[i].word("execute"))) unsupported("INSERT ... EXEC");
    if (std::string values = insertValues(ns, i, table, columns); !values.empty()) return out + values;
    if (i < ns.size() && ns[i].word("values")) {
        // a whole number beyond bigint goes into its column as its digits, which the column's check reads
        put(out, ns[i]);
        for (++i; i < ns.size() && (ns[i].group || ns[i].op(",")); ++i) {
            if (ns[i].op(",")) {
                put(out, ns[i]);
                continue;
            }
            const Nodes& row = ns[i].kids;
            std::string values;
            for (const auto& [b, e] : splitCommas(row, 0, row.size())) {
                std::size_t k = b;
                std::string item = seq(row, k, e);
                if (wholeBeyondBigint(row, b, e)) {
                    const bool space = !item.empty() && item[0] == ' ';
                    item = trimLead(item);
                    markExactResult(item, {});
                    if (space) item.insert(0, " ");
                }
                values += (b == 0 ? "" : ",") + item;
            }
            put(out, "(" + values + (ns[i].closeSpace ? " )" : ")"), ns[i].tok.spaceBefore);
        }
    }
    std::vector<const std::string*> targets;
    // a union's members convert to the types they combine to first: left to their values
    const bool compound =
        std::any_of(ns.begin() + static_cast<std::ptrdiff_t>(i), ns.end(),
                    [](const Node& n) { return n.word("union") || n.word("except") || n.word("intersect"); });
    if (catalogue_ && !columns.empty() && i < ns.size() && ns[i].word("select") && !compound) {
        usedCatalogue_ = true;
        if (const Catalogue::Columns* declared = catalogue_->columns(table)) {
            for (const std::string& column : columns) {
                const auto it = declared->find(column);
                targets.push_back(it != declared->end() && characterType(it->second) ? &it->second : nullptr);
            }
            insertTargets_ = &targets;
        }
    }
    put(out, seq(ns, i, ns.size()), false);
    insertTargets_ = nullptr;
    return out;
}

bool Rewriter::characterType(const std::string& declared) {
    const std::string type = typeOfDeclared(declared);
    return type.starts_with("varchar") || type.starts_with("char") || type.starts_with("nvarchar") ||
           type.starts_with("nchar") || type == "text" || type == "ntext";
}

std::string Rewriter::storedText(const Nodes& ns, std::size_t b, std::size_t e, const std::string* declared) {
    if (!declared || !characterType(*declared)) return {};
    std::size_t k = b;
    Expr x;
    {
        const Nesting level(depth_);
        x = expr(ns, k, e, 1);
    }
    if (k != e || (x.num.kind != 'd' && x.num.kind != 'm')) return {};
    const std::string code =
        x.num.kind == 'm' ? "m" : "d" + std::to_string(x.num.precision) + "," + std::to_string(x.num.scale);
    // the column's own check then holds the text to its length
    return "tsql_convert('varchar(max)', " + x.text + ", null, '" + code + "')";
}

std::string Rewriter::insertValues(const Nodes& ns, std::size_t i, const std::string& table,
                                   const std::vector<std::string>& columns) {
    if (!catalogue_ || columns.empty() || i >= ns.size() || !ns[i].word("values")) return {};
    usedCatalogue_ = true;
    const Catalogue::Columns* declared = catalogue_->columns(table);
    if (!declared) return {};
    std::string out = " " + renderToken(ns[i].tok);
    bool converted = false;
    for (std::size_t k = i + 1; k < ns.size(); ++k) {
        if (ns[k].op(",")) {
            out += ",";
            continue;
        }
        if (!ns[k].group) return {};
        const Nodes& row = ns[k].kids;
        const auto parts = splitCommas(row, 0, row.size());
        std::string values;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const auto it = p < columns.size() ? declared->find(columns[p]) : declared->end();
            std::string v = storedText(row, parts[p].first, parts[p].second,
                                       it == declared->end() ? nullptr : &it->second);
            converted = converted || !v.empty();
            if (v.empty()) {
                v = trimLead(seq(row, parts[p].first, parts[p].second));
                // a whole number beyond bigint goes into its column as its digits, which the column's check
                // reads
                if (wholeBeyondBigint(row, parts[p].first, parts[p].second)) markExactResult(v, {});
            }
            values += (p ? ", " : "") + v;
        }
        out += " (" + values + ")";
    }
    return converted ? out : std::string();
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

// select [top (n)] qualifier.rowid, then the nodes [b, e) (FROM ..., WHERE ...): the
// rows a DELETE or UPDATE with TOP or a join changes, by their rowids.
std::string Rewriter::rowidSelect(const Nodes& ns, const Node* top, const Node* qualifier, std::size_t b,
                                  std::size_t e) {
    Nodes q;
    q.push_back(wordNode("select", false));
    if (top) {
        q.push_back(wordNode("top"));
        q.push_back(*top);
        q.back().tok.spaceBefore = true;
    }
    if (qualifier) {
        q.push_back(*qualifier);
        q.back().tok.spaceBefore = true;
        q.push_back(tokenNode(TokenKind::Operator, ".", false));
        q.push_back(wordNode("rowid", false));
    } else {
        q.push_back(wordNode("rowid"));
        q.push_back(wordNode("from"));
    }
    q.insert(q.end(), ns.begin() + static_cast<std::ptrdiff_t>(b),
             ns.begin() + static_cast<std::ptrdiff_t>(e));
    return trimLead(seq(q, 0, q.size()));
}

// DELETE [TOP (n)] [FROM] target [FROM sources] [WHERE ...]. With TOP or a second FROM
// (a join) the rows go by their rowids: delete from T where rowid in (select ...).
std::string Rewriter::deleteStatement(const Nodes& ns) {
    const std::size_t n = ns.size();
    std::size_t i = 1;
    const Node* top = nullptr;
    if (i < n && ns[i].word("top")) {
        if (i + 1 >= n) unsupported("DELETE TOP without a count");
        top = &ns[i + 1];
        i += 2;
        if (i < n && ns[i].word("percent")) unsupported("DELETE TOP ... PERCENT");
    }
    if (i < n && ns[i].word("from")) ++i;
    if (i >= n || !ns[i].isName()) unsupported("DELETE without a table name");
    const std::size_t targetAt = i++;
    std::size_t fromAt = n;
    for (std::size_t k = i; k < n; ++k) {
        if (ns[k].word("from")) {
            fromAt = k;
            break;
        }
    }
    if (fromAt == n) {
        deletedTable_ = ns[targetAt].tok.text;
        Scope scope;
        if (catalogue_) scope.push_back(source(asciiLower(ns[targetAt].tok.text), {}));
        const ScopeGuard target(*this, std::move(scope));
        std::string out = "delete from " + trimLead(plain(ns, targetAt, targetAt + 1));
        if (!top) {
            put(out, seq(ns, i, n), false);
            return out;
        }
        return out + " where rowid in (" + rowidSelect(ns, top, nullptr, targetAt, n) + ")";
    }
    if (fromAt != i) unsupported("DELETE near '" + plain(ns, i, std::min(n, i + 3)) + "'");
    std::size_t whereAt = fromAt;
    while (whereAt < n && !ns[whereAt].word("where")) ++whereAt;
    // the FROM entry the target names: by its alias, else by its table's name
    const std::string target = asciiLower(ns[targetAt].tok.text);
    const std::vector<UpdateSource> sources = updateSources(ns, fromAt + 1, whereAt);
    const UpdateSource* hit = nullptr;
    for (const UpdateSource& src : sources)
        if (!hit && src.alias == target) hit = &src;
    for (const UpdateSource& src : sources)
        if (!hit && src.alias.empty() && src.name == target) hit = &src;
    if (!hit || ns[hit->b].group)
        unsupported("DELETE of " + ns[targetAt].tok.text + ", which its FROM does not name");
    const Node& qualifier = ns[hit->e - 1];  // the alias, else the table's name
    std::size_t nameEnd = hit->b + 1;
    while (nameEnd + 1 < hit->e && ns[nameEnd].op(".") && ns[nameEnd + 1].isName()) nameEnd += 2;
    deletedTable_ = ns[nameEnd - 1].tok.text;
    return "delete from " + trimLead(plain(ns, hit->b, nameEnd)) + " where rowid in (" +
           rowidSelect(ns, top, &qualifier, fromAt, n) + ")";
}

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
    if (n > 1 && ns[1].word("top")) {
        // the first n rows the WHERE finds, by their rowids
        if (n < 3) unsupported("UPDATE TOP without a count");
        Nodes rest{ns[0]};
        rest.insert(rest.end(), ns.begin() + 3, ns.end());
        if (rest.size() > 1 && rest[1].word("percent")) unsupported("UPDATE TOP ... PERCENT");
        std::size_t set = 1;
        while (set < rest.size() && !rest[set].word("set")) ++set;
        std::size_t where = set;
        while (where < rest.size() && !rest[where].word("where")) ++where;
        for (std::size_t k = set; k < where; ++k)
            if (rest[k].word("from")) unsupported("UPDATE TOP with FROM");
        std::string out =
            updateStatement(Nodes(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(where)));
        Nodes rows(rest.begin() + 1, rest.begin() + static_cast<std::ptrdiff_t>(set));
        rows.insert(rows.end(), rest.begin() + static_cast<std::ptrdiff_t>(where), rest.end());
        return out + " where rowid in (" + rowidSelect(rows, &ns[2], nullptr, 0, rows.size()) + ")";
    }
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
    updatedName_ = target.name;
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
    // the updated table's columns, by its alias where FROM gives it one
    const Catalogue::Columns* targetColumns = nullptr;
    for (const Source& src : scopes_.empty() ? Scope{} : scopes_.back()) {
        if (src.name == target.name) targetColumns = src.columns;
    }
    std::string assigns = updateAssignments(ns, setAt + 1, std::min(fromAt, whereAt), targetColumns);
    std::string fromText;
    if (fromAt != n) {
        const std::size_t kept = takeOutUpdatedTable(ns, sources, target);
        if (kept != sources.size()) {
            std::string where = whereAt != n ? trimLead(seq(ns, whereAt + 1, n)) : std::string();
            return outerJoinUpdate(ns, sources, kept, assigns, fromAt, whereAt, where);
        }
        fromText = remainingSources(ns, sources);
    }
    updatedTable_ = trimLead(target.text);
    std::string out = "update " + updatedTable_;
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

// Whether ns[b, e) is one expression SQL Server types decimal(19..38,0).
bool Rewriter::wholeBeyondBigint(const Nodes& ns, std::size_t b, std::size_t e) {
    if (b >= e || !plainExpression(Nodes(ns.begin() + static_cast<std::ptrdiff_t>(b),
                                         ns.begin() + static_cast<std::ptrdiff_t>(e))))
        return false;
    const Nesting level(depth_);
    std::size_t k = b;
    const Expr x = expr(ns, k, e, 1);
    return k == e && x.num.kind == 'd' && x.num.scale == 0 && x.num.precision > 18;
}

// SET a = x, t.b = y: SQLite wants bare column names on the left.
std::string Rewriter::updateAssignments(const Nodes& ns, std::size_t b, std::size_t e,
                                        const Catalogue::Columns* target) {
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
        const auto column =
            target ? target->find(asciiLower(ns[eq - 1].tok.text)) : decltype(target->end()){};
        const std::string text =
            storedText(ns, eq + 1, ae, target && column != target->end() ? &column->second : nullptr);
        if (!text.empty()) {
            assigns += " " + text;
        } else {
            std::string rhs = seq(ns, eq + 1, ae);
            if (wholeBeyondBigint(ns, eq + 1, ae)) {
                // a whole number beyond bigint goes into the column as its digits, which its check reads
                const bool space = !rhs.empty() && rhs[0] == ' ';
                rhs = trimLead(rhs);
                markExactResult(rhs, {});
                if (space) rhs.insert(0, " ");
            }
            assigns += rhs;
        }
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
std::size_t Rewriter::takeOutUpdatedTable(const Nodes& ns, std::vector<UpdateSource>& sources,
                                          UpdateTarget& target) {
    const std::size_t none = sources.size();
    std::size_t hit = none;
    for (std::size_t s = 0; s < sources.size() && hit == none; ++s) {
        if (sources[s].alias == target.name) hit = s;
    }
    // by the table's name: the entry without an alias, else the one entry of that table
    for (std::size_t s = 0; s < sources.size() && hit == none; ++s) {
        if (sources[s].name == target.name && sources[s].alias.empty()) hit = s;
    }
    for (std::size_t s = 0; s < sources.size() && hit == none; ++s) {
        if (sources[s].name != target.name) continue;
        for (std::size_t r = s + 1; r < sources.size(); ++r) {
            if (sources[r].name == target.name)
                throw Error(ErrorNumber::Database,
                            "The table '" + ns[sources[r].b].tok.text + "' is ambiguous.", 8154);
        }
        hit = s;
    }
    if (hit == none) return none;
    UpdateSource& t = sources[hit];
    // an outer join that keeps the target's unmatched rows: they are updated too
    if ((hit == 0 && sources.size() > 1 && (sources[1].join == "left" || sources[1].join == "full")) ||
        (hit > 0 && (t.join == "right" || t.join == "full"))) {
        if (sources.size() != 2)
            unsupported("UPDATE ... FROM with an outer join on the updated table among more than two tables");
        return hit;
    }
    // one that keeps the other side's unmatched rows updates only the matched ones: an inner join
    if (ns[t.b].group) unsupported("UPDATE of a derived table");
    updatedName_ = t.name;
    target.text = plain(ns, t.b, t.b + 1);
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
    return none;
}

// UPDATE ... FROM T a LEFT JOIN U b ...: every row of T is updated, b's columns Null where
// none matches. SQLite's UPDATE ... FROM joins the target as an inner join, so FROM
// becomes the join as a derived table under b's name, matched to the target by rowid.
std::string Rewriter::outerJoinUpdate(const Nodes& ns, const std::vector<UpdateSource>& sources,
                                      std::size_t hit, const std::string& assigns, std::size_t fromAt,
                                      std::size_t whereAt, const std::string& where) {
    const UpdateSource& t = sources[hit];
    const UpdateSource& o = sources[1 - hit];
    if (ns[t.b].group) unsupported("UPDATE of a derived table");
    if (ns[o.e - 1].group)
        unsupported("UPDATE ... FROM with an outer join on a derived table without an alias");
    std::size_t nameEnd = t.b + 1;
    while (nameEnd + 1 < t.e && ns[nameEnd].op(".") && ns[nameEnd + 1].isName()) nameEnd += 2;
    const Node& q = ns[t.e - 1];  // the target's alias, else its name
    const Node& other = ns[o.e - 1];
    Nodes sel{wordNode("select", false),
              q,
              tokenNode(TokenKind::Operator, ".", false),
              wordNode("rowid", false),
              wordNode("as"),
              wordNode("palvo_rowid"),
              tokenNode(TokenKind::Operator, ",", false),
              other,
              tokenNode(TokenKind::Operator, ".", false),
              tokenNode(TokenKind::Operator, "*", false)};
    sel[1].tok.spaceBefore = sel[7].tok.spaceBefore = true;
    sel.insert(sel.end(), ns.begin() + static_cast<std::ptrdiff_t>(fromAt),
               ns.begin() + static_cast<std::ptrdiff_t>(whereAt));
    const std::string derived = trimLead(seq(sel, 0, sel.size()));
    updatedTable_ = trimLead(plain(ns, t.b, nameEnd));
    updatedName_ = t.name;
    const std::string qt = renderToken(q.tok), ot = renderToken(other.tok);
    std::string out = "update " + updatedTable_ + (t.alias.empty() ? "" : " as " + qt) + " set " + assigns +
                      " from (" + derived + ") as " + ot + " where " + qt + ".rowid = " + ot + ".palvo_rowid";
    if (!where.empty()) out += " and (" + where + ")";
    return out;
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

namespace {

// Whether the statement ends in FOR XML and its options, looked for among its last
// nodes only: every statement passes here.
bool forXmlAtEnd(const Nodes& ns) {
    constexpr std::size_t kOptions = 12;
    for (std::size_t k = ns.size() > kOptions ? ns.size() - kOptions : 1; k + 1 < ns.size(); ++k)
        if (ns[k].word("for") && ns[k + 1].word("xml")) return forXmlAt(ns) == k;
    return false;
}

}  // namespace

Translation Rewriter::statement(const ReadStatement& s) {
    // table hints leave a copy of the nodes; a statement without them is read as it is
    Nodes stripped;
    const bool hints = queryForms(s.nodes);
    const bool aliases = aliasFirst_ && writesAliasFirst(s.nodes);
    if (hints || aliases) {
        stripped = s.nodes;
        if (hints) stripTableHints(stripped);
        if (aliases) writeAliasesAfter(stripped);
    }
    const Nodes& ns = hints || aliases ? stripped : s.nodes;
    const Node& first = ns[0];
    Translation tr;
    switch (s.kind) {
        case StatementKind::Select:
        case StatementKind::With: {
            const bool select = s.kind == StatementKind::Select;
            if (const std::size_t into = select ? intoAt(ns, 0, ns.size()) : ns.size(); into < ns.size()) {
                tr = selectInto(ns, into);
                break;
            }
            if (select && forXmlAtEnd(ns)) {
                recordColumns_ = false;
                topNodes_ = &ns;
                tr.statements.push_back(xmlStatement(ns));
                break;
            }
            recordColumns_ = select;
            topNodes_ = &ns;
            tr.statements.push_back(select ? seq(ns, 0, ns.size()) : withStatement(ns));
            if (columnsKnown_) tr.columnTypes = std::move(columnTypes_);
            tr.unnamedColumns = std::move(result_.unnamedColumns);
            tr.textColumns = std::move(result_.textColumns);
            break;
        }
        case StatementKind::Insert:
            if (!outputClause(ns, s.kind, tr)) tr.statements.push_back(insertStatement(ns));
            break;
        case StatementKind::Delete:
            if (!outputClause(ns, s.kind, tr)) tr.statements.push_back(deleteStatement(ns));
            break;
        case StatementKind::Update:
            if (!outputClause(ns, s.kind, tr)) tr.statements.push_back(updateStatement(ns));
            break;
        case StatementKind::Truncate:
            if (ns.size() != 3 || !ns[1].word("table") || !ns[2].isName())
                unsupported("this form of TRUNCATE");
            // the identity starts again from its seed
            tr.statements.push_back("delete from " + renderToken(ns[2].tok));
            tr.statements.push_back(
                std::string(ns[2].tok.text.starts_with('#') && !globalTemporary(ns[2].tok.text)
                                ? kTempIdentityReset
                                : kIdentityReset) +
                quoteString(ns[2].tok.text) + " collate nocase");
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
            tr = dropStatement(ns);
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
        case StatementKind::Other:
            if (first.word("merge")) {
                tr = mergeStatement(ns);
                break;
            }
            [[fallthrough]];
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
