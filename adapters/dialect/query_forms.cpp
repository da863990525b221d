// Query forms: window functions, paging (OFFSET ... FETCH), TOP's forms, table hints.
#include <algorithm>

#include "palvo/dialect/server_errors.h"
#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

// Hints that only steer SQL Server's locking and its choice of index: on the
// embedded database, which locks the whole file and picks its own indexes, they
// change nothing a query answers.
bool harmlessHint(std::string_view lw) {
    static const char* const hints[] = {
        "nolock",   "readuncommitted", "readcommitted", "readcommittedlock", "repeatableread", "serializable",
        "holdlock", "updlock",         "xlock",         "rowlock",           "paglock",        "tablock",
        "tablockx", "readpast",        "nowait",        "noexpand",          "forceseek",      "forcescan"};
    return std::any_of(std::begin(hints), std::end(hints), [&](const char* h) { return lw == h; });
}

namespace {

// Whether a group holds table hints only: words, INDEX(...) or INDEX = x, between commas.
// Unknown words in such a group are refused by name.
bool hintGroup(const Node& g) {
    if (g.kids.empty()) return false;
    for (auto [b, e] : splitCommas(g.kids, 0, g.kids.size())) {
        if (b == e || g.kids[b].group || g.kids[b].tok.kind != TokenKind::Word) return false;
        if (g.kids[b].word("index") && e > b + 1) continue;
        if (e != b + 1) return false;
    }
    for (auto [b, e] : splitCommas(g.kids, 0, g.kids.size())) {
        const std::string lw = asciiLower(g.kids[b].tok.text);
        if (lw != "index" && !harmlessHint(lw)) unsupported("the table hint " + upper(g.kids[b].tok.text));
    }
    return true;
}

// `lw` (lower-case letters and '_') without regard to ASCII case, compared here rather than
// through Token::isWord: the walk below sees every word of every statement.
inline bool is(const std::string& s, std::string_view lw) {
    if (s.size() != lw.size()) return false;
    for (std::size_t k = 0; k < lw.size(); ++k)
        if ((s[k] | 0x20) != (lw[k] | 0x20)) return false;
    return true;
}

// The words that decide where a table (and its hints) may stand, told apart by
// their first letter before any comparison.
enum class FormWord { Other, Tables, Target, Into, Top, Output, Ends };
FormWord queryFormWord(const std::string& s) {
    if (s.size() < 2 || s.size() > 9) return FormWord::Other;
    switch (s[0] | 0x20) {
        case 'f':
            return is(s, "from") ? FormWord::Tables : FormWord::Other;
        case 'j':
            return is(s, "join") ? FormWord::Tables : FormWord::Other;
        case 'd':
            return is(s, "delete") ? FormWord::Target : FormWord::Other;
        case 'u':
            return is(s, "update") ? FormWord::Target : is(s, "union") ? FormWord::Ends : FormWord::Other;
        case 'i':
            return is(s, "into") ? FormWord::Into : is(s, "intersect") ? FormWord::Ends : FormWord::Other;
        case 't':
            return is(s, "top") ? FormWord::Top : FormWord::Other;
        case 'o':
            return is(s, "output")                                    ? FormWord::Output
                   : is(s, "on") || is(s, "order") || is(s, "option") ? FormWord::Ends
                                                                      : FormWord::Other;
        case 'w':
            return is(s, "where") ? FormWord::Ends : FormWord::Other;
        case 's':
            return is(s, "set") || is(s, "select") ? FormWord::Ends : FormWord::Other;
        case 'g':
            return is(s, "group") ? FormWord::Ends : FormWord::Other;
        case 'h':
            return is(s, "having") ? FormWord::Ends : FormWord::Other;
        case 'v':
            return is(s, "values") ? FormWord::Ends : FormWord::Other;
        case 'e':
            return is(s, "except") ? FormWord::Ends : FormWord::Other;
        default:
            return FormWord::Other;
    }
}

bool rankingFunction(std::string_view fn) {
    return fn == "row_number" || fn == "rank" || fn == "dense_rank" || fn == "ntile";
}
bool offsetFunction(std::string_view fn) {
    return fn == "lag" || fn == "lead" || fn == "first_value" || fn == "last_value";
}
bool aggregateFunction(std::string_view fn) {
    return fn == "count" || fn == "sum" || fn == "avg" || fn == "min" || fn == "max";
}

// The position of the first word `lw` at this level of [b, e), e when none.
std::size_t findWord(const Nodes& ns, std::size_t b, std::size_t e, std::string_view lw) {
    while (b < e && !ns[b].word(lw)) ++b;
    return b;
}

// A frame bound: UNBOUNDED PRECEDING|FOLLOWING, CURRENT ROW, n PRECEDING|FOLLOWING.
// RANGE takes no n, as on SQL Server.
void frameBound(const Nodes& ns, std::size_t& k, std::size_t e, bool range, std::string& out) {
    if (k < e && ns[k].word("current") && k + 1 < e && ns[k + 1].word("row")) {
        out += " current row";
        k += 2;
        return;
    }
    const bool number = k < e && !ns[k].group && ns[k].tok.kind == TokenKind::Number &&
                        ns[k].tok.text.find_first_not_of("0123456789") == std::string::npos;
    if (k + 1 < e && (ns[k].word("unbounded") || number) &&
        (ns[k + 1].word("preceding") || ns[k + 1].word("following"))) {
        if (number && range)
            unsupported("RANGE with a number of rows (RANGE takes UNBOUNDED and CURRENT ROW)");
        out += " " + asciiLower(ns[k].tok.text) + " " + asciiLower(ns[k + 1].tok.text);
        k += 2;
        return;
    }
    unsupported("the window frame '" + plain(ns, k, e) + "'");
}

}  // namespace

namespace {

// Where a table (and its hints) may stand: after FROM, JOIN, UPDATE and DELETE a
// table may carry hints, with or without WITH; after INTO only with WITH (a bare
// group there is the column list).
enum class At { None, Tables, IntoTable };

At nextAt(At at, const Nodes& ns, std::size_t k) {
    switch (queryFormWord(ns[k].tok.text)) {
        case FormWord::Tables:
            return At::Tables;
        case FormWord::Target:
            // a statement's own UPDATE or DELETE (after WITH's groups), not ON DELETE CASCADE
            return k == 0 || ns[k - 1].group ? At::Tables : at;
        case FormWord::Into:
            return At::IntoTable;
        case FormWord::Output:
        case FormWord::Ends:
            return At::None;
        default:
            return at;
    }
}

// The group at k holds table hints (from k - 1 when WITH comes before them); unknown ones are refused.
bool hintsAt(const Nodes& ns, std::size_t k, At at, bool& withHints) {
    withHints = at != At::None && k > 1 && ns[k - 1].word("with") && !ns[k - 2].group;
    const bool named =
        at == At::Tables && k > 0 && !ns[k - 1].group &&
        (ns[k - 1].tok.kind == TokenKind::Name ||
         (ns[k - 1].tok.kind == TokenKind::Word && !isClauseKeyword(asciiLower(ns[k - 1].tok.text))));
    // `(select ...) [as] d (x, y)`: the group after a derived table's name lists its columns
    const bool derived = named && !withHints && k > 1 &&
                         (ns[k - 2].group || (k > 2 && ns[k - 2].word("as") && ns[k - 3].group));
    if (derived) unsupported("the column list of the derived table " + ns[k - 1].tok.text);
    return (withHints || named) && hintGroup(ns[k]);
}

}  // namespace

bool Rewriter::queryForms(const Nodes& ns) {
    At at = At::None;
    bool hints = false;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        const Node& n = ns[k];
        if (n.group) {
            bool withHints = false;
            if (hintsAt(ns, k, at, withHints))
                hints = true;
            else
                hints = queryForms(n.kids) || hints;
            continue;
        }
        if (n.tok.kind == TokenKind::Parameter) {
            parameterAt_.push_back(n.tok.offset);
            continue;
        }
        // a name = after SELECT, a comma or TOP's count: maybe an alias written first (writesAliasFirst
        // tells)
        if (n.tok.kind == TokenKind::Operator && n.tok.text == "=" && k >= 2 && !ns[k - 1].group &&
            (ns[k - 1].tok.kind == TokenKind::Word || ns[k - 1].tok.kind == TokenKind::Name) &&
            (ns[k - 2].op(",") || ns[k - 2].word("select") || ns[k - 2].word("distinct") ||
             ns[k - 2].word("all") || ns[k - 2].word("percent") || ns[k - 2].word("ties") ||
             (k >= 3 && ns[k - 3].word("top"))))
            aliasFirst_ = true;
        if (n.tok.kind != TokenKind::Word) continue;
        const FormWord w = queryFormWord(n.tok.text);
        if (w == FormWord::Top && k + 1 < ns.size()) {
            const Node& count = ns[k + 1].group && ns[k + 1].kids.size() == 1 ? ns[k + 1].kids[0] : ns[k + 1];
            // a parameter moves to the end; with PERCENT or WITH TIES the select is written twice
            if ((!count.group && count.tok.kind == TokenKind::Parameter) ||
                (k + 2 < ns.size() && (ns[k + 2].word("percent") || ns[k + 2].word("with"))))
                numberParameters_ = true;
        }
        if (w != FormWord::Other) at = nextAt(at, ns, k);
    }
    return hints;
}

namespace {

// Where the select list after ns[k] (SELECT) begins: after DISTINCT or ALL and TOP (n) [PERCENT] [WITH TIES].
std::size_t listBegins(const Nodes& ns, std::size_t k) {
    ++k;
    if (k < ns.size() && (ns[k].word("distinct") || ns[k].word("all"))) ++k;
    if (k < ns.size() && ns[k].word("top")) {
        k += 2;
        if (k < ns.size() && ns[k].word("percent")) ++k;
        if (k + 1 < ns.size() && ns[k].word("with") && ns[k + 1].word("ties")) k += 2;
    }
    return k;
}

bool endsList(const Node& n) {
    static const char* const words[] = {"from",  "into",   "where",     "group",  "having", "order",
                                        "union", "except", "intersect", "option", "for"};
    if (n.group) return false;
    if (n.op(";")) return true;
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return n.word(w); });
}

// name = ...: a plain or bracketed name, not a variable (SELECT @v = assigns) nor a word of the language
bool aliasItem(const Nodes& ns, std::size_t k, std::size_t end) {
    if (k + 2 >= end || ns[k].group || !ns[k + 1].op("=")) return false;
    const Token& t = ns[k].tok;
    return t.kind == TokenKind::Name || (t.kind == TokenKind::Word && !isReservedWord(t.text));
}

// Each item [item, end) of each select list of ns (not of its groups) in turn; f may rewrite an item in
// place, keeping its length.
template <typename F>
void eachListItem(const Nodes& ns, F f) {
    for (std::size_t k = 0; k < ns.size(); ++k) {
        if (!ns[k].group && ns[k].word("select")) {
            for (std::size_t item = listBegins(ns, k); item < ns.size();) {
                std::size_t end = item;
                while (end < ns.size() && !ns[end].op(",") && !endsList(ns[end])) ++end;
                f(item, end);
                if (end >= ns.size() || !ns[end].op(",")) break;
                item = end + 1;
            }
        }
    }
}

}  // namespace

bool Rewriter::writesAliasFirst(const Nodes& ns) {
    bool any = false;
    for (const Node& n : ns) {
        if (n.group && writesAliasFirst(n.kids)) return true;
    }
    eachListItem(ns, [&](std::size_t item, std::size_t end) { any = any || aliasItem(ns, item, end); });
    return any;
}

void Rewriter::writeAliasesAfter(Nodes& ns) {
    for (Node& n : ns) {
        if (n.group) writeAliasesAfter(n.kids);
    }
    eachListItem(ns, [&](std::size_t item, std::size_t end) {
        if (!aliasItem(ns, item, end)) return;
        Node name = std::move(ns[item]);
        ns[item + 2].tok.spaceBefore = name.tok.spaceBefore;
        name.tok.spaceBefore = true;
        const auto at = ns.begin() + static_cast<std::ptrdiff_t>(item);
        ns.erase(at, at + 2);
        ns.insert(ns.begin() + static_cast<std::ptrdiff_t>(end - 2), wordNode("as"));
        ns.insert(ns.begin() + static_cast<std::ptrdiff_t>(end - 1), std::move(name));
    });
}

void Rewriter::stripTableHints(Nodes& ns) const {
    At at = At::None;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        Node& n = ns[k];
        if (n.group) {
            bool withHints = false;
            if (hintsAt(ns, k, at, withHints)) {
                // no effect here: the hints leave the statement
                const std::size_t from = withHints ? k - 1 : k;
                ns.erase(ns.begin() + static_cast<std::ptrdiff_t>(from),
                         ns.begin() + static_cast<std::ptrdiff_t>(k + 1));
                k = from - 1;
            } else {
                stripTableHints(n.kids);
            }
            continue;
        }
        if (n.tok.kind == TokenKind::Word && queryFormWord(n.tok.text) != FormWord::Other)
            at = nextAt(at, ns, k);
    }
}

Rewriter::Rewriter(Catalogue* catalogue, std::string_view parameterTypes) : catalogue_(catalogue) {
    for (std::size_t b = 0; b < parameterTypes.size();) {
        const std::size_t end = std::min(parameterTypes.find(';', b), parameterTypes.size());
        parameterTypes_.push_back(numTypeOf(parameterTypes.substr(b, end - b)));
        b = end + 1;
    }
}

// The type of the value bound to the parameter: SQL Server types a parameter by its value.
NumType Rewriter::parameterType(const Token& t) const {
    const auto at = std::lower_bound(parameterAt_.begin(), parameterAt_.end(), t.offset);
    const auto k = static_cast<std::size_t>(at - parameterAt_.begin());
    return k < parameterTypes_.size() ? parameterTypes_[k] : NumType{};
}

std::string Rewriter::parameterText(const Token& t) const {
    if (!numberParameters_) return "?";
    // numbered by its place in the statement: a TOP's count moves to the LIMIT at the end
    const auto at = std::lower_bound(parameterAt_.begin(), parameterAt_.end(), t.offset);
    return "?" + std::to_string(at - parameterAt_.begin() + 1);
}

namespace {

// A number written with a fraction, "12.5" or ".5": a percent SQL Server takes as a float.
bool decimalNumber(const std::string& s) {
    const std::size_t dot = s.find('.');
    return dot != std::string::npos && s.find_first_not_of("0123456789.") == std::string::npos &&
           s.find('.', dot + 1) == std::string::npos && s.size() > 1;
}

}  // namespace

std::string Rewriter::topCount(const Node* count, bool percent) {
    if (count && !count->group && count->tok.kind == TokenKind::Parameter)
        return "tsql_rows(" + parameterText(count->tok) + ", 'TOP')";
    if (Expr v;
        count && !count->group && count->tok.kind == TokenKind::Variable && variableExpr(count->tok, v))
        return "tsql_rows(" + v.text + ", 'TOP')";
    if (count && !count->group && count->tok.kind == TokenKind::Variable)
        renderToken(count->tok);  // refused by name
    if (percent && count && !count->group && count->tok.kind == TokenKind::Number &&
        decimalNumber(count->tok.text))
        return count->tok.text;
    if (!count || count->group || count->tok.kind != TokenKind::Number ||
        count->tok.text.find_first_not_of("0123456789") != std::string::npos) {
        unsupported("TOP with anything but a whole number or a parameter");
    }
    return count->tok.text;
}

// TOP (p) PERCENT: SQL Server returns ceiling(p percent of the rows); SQLite's LIMIT
// takes the count of the same select, its parameters numbered so that each binds twice.
std::string Rewriter::percentLimit(const std::string& query, const std::string& percent) const {
    std::string p = percent;
    if (p.find_first_not_of("0123456789.") == std::string::npos) {
        // compared as written: above 100 is a whole part past 100, or 100 and a fraction
        const std::size_t dot = std::min(p.find('.'), p.size());
        const std::size_t lead = std::min(p.find_first_not_of('0'), dot);
        const std::string whole = p.substr(lead, dot - lead);
        const bool fraction = p.find_first_not_of('0', std::min(dot + 1, p.size())) != std::string::npos;
        if (whole.size() > 3 || (whole.size() == 3 && (whole > "100" || (whole == "100" && fraction))))
            unsupported("TOP " + p + " PERCENT (beyond 100)");
    } else {
        p.replace(p.rfind("'TOP'"), 5, "'PERCENT'");
    }
    return "(select cast(x as integer) + (x > cast(x as integer)) from (select count(*) * " + p +
           " / 100.0 as x from (" + trimLead(query) + ")))";
}

// TOP n WITH TIES: the rows ranked n or better in the ORDER BY come first in it, so
// LIMIT is their count, ranked by the same keys over the same FROM ... (rendered
// from FROM up to ORDER BY), its parameters numbered so that each binds twice.
std::string Rewriter::tiesLimit(const std::string& from, const std::string& orderBy,
                                const std::string& count) const {
    return "(select count(*) from (select rank() over (" + trimLead(orderBy) + ") as r" + from +
           ") where r <= " + count + ")";
}

// OFFSET n ROW[S] [FETCH NEXT|FIRST m ROW[S] ONLY] after ORDER BY, as SQLite's
// LIMIT n, m (its offset first, so that parameters keep their order). i is at OFFSET.
std::string Rewriter::pagingClause(const Nodes& ns, std::size_t& i, std::size_t b, std::size_t e, bool top) {
    if (findWord(ns, b, i, "order") == i) unsupported("OFFSET without ORDER BY");
    if (top)
        throw Error(ErrorNumber::Database,
                    "A TOP cannot be used in the same query or sub-query as an OFFSET.", 10741);
    ++i;
    // a number is checked here; anything else (a parameter) when the statement runs, by tsql_rows
    auto count = [&](const char* what) {
        const std::size_t at = i;
        const Expr x = expr(ns, i, e, 1);
        if (x.empty || i == at) unsupported(std::string("the ") + what + " without a number of rows");
        if (i >= e || !(ns[i].word("rows") || ns[i].word("row")))
            unsupported(std::string("the ") + what + " without ROWS");
        ++i;
        std::string n = trimLead(x.text);
        if (!x.number) return "tsql_rows(" + n + ", '" + what + "')";
        if (n.find_first_not_of("-0123456789") != std::string::npos) {
            if (what == std::string("OFFSET"))
                throw Error(ErrorNumber::Database,
                            "The number of rows provided for an OFFSET clause must be an integer.", 10743);
            unsupported(std::string("the ") + what + " '" + n + "' (a whole number of rows)");
        }
        return n;
    };
    const std::string offset = count("OFFSET");
    if (offset.starts_with("-"))
        throw Error(ErrorNumber::Database, "The offset specified in an OFFSET clause may not be negative.",
                    10742);
    if (i < e && ns[i].word("fetch")) {
        ++i;
        if (i >= e || !(ns[i].word("next") || ns[i].word("first")))
            unsupported("FETCH without NEXT or FIRST");
        ++i;
        const std::string fetch = count("FETCH");
        if (fetch.starts_with("-") || fetch.find_first_not_of('0') == std::string::npos)
            throw Error(ErrorNumber::Database,
                        "The number of rows provided for a FETCH clause must be greater then zero.", 10744);
        if (i >= e || !ns[i].word("only")) unsupported("FETCH without ONLY");
        ++i;
        return " limit " + offset + ", " + fetch;
    }
    return " limit -1 offset " + offset;
}

// (select ...) as a member of UNION, EXCEPT or INTERSECT: SQLite takes no
// parentheses there, so the member becomes a derived table, its TOP and ORDER BY inside.
std::string Rewriter::queryMember(const Node& g) {
    const Nesting level(depth_);
    return " select * from (" + trimLead(seq(g.kids, 0, g.kids.size())) + ")";
}

// name(args) OVER (...): SQLite has the same window functions; rendered as
// written, sum and avg exact as without OVER, text keys in the Chinese collation.
bool Rewriter::windowCall(const Nodes& ns, std::size_t& i, std::size_t e, Expr& r) {
    const Node& name = ns[i];
    const bool over = i + 3 < e && !ns[i + 2].group && ns[i + 2].tok.kind == TokenKind::Word &&
                      is(ns[i + 2].tok.text, "over") && ns[i + 3].group;
    if (!over) {
        // every call passes here: the names that need OVER are told without lower-casing
        const std::string& s = name.tok.text;
        for (const char* f :
             {"row_number", "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value"})
            if (is(s, f))
                throw Error(ErrorNumber::Database,
                            "The function '" + upper(name.tok.text) + "' must have an OVER clause.", 10753);
        return false;
    }
    const std::string fn = asciiLower(name.tok.text);
    const bool ranking = rankingFunction(fn), offset = offsetFunction(fn);
    if (!ranking && !offset && !aggregateFunction(fn))
        unsupported("the function " + upper(name.tok.text) + "() with OVER");
    const Node& args = ns[i + 1];
    const Nodes& w = ns[i + 3].kids;
    const std::size_t orderAt = findWord(w, 0, w.size(), "order");
    std::size_t frameAt = std::min(findWord(w, 0, w.size(), "rows"), findWord(w, 0, w.size(), "range"));
    if ((ranking || offset) && orderAt == w.size())
        throw Error(ErrorNumber::Database,
                    "The function '" + upper(name.tok.text) + "' must have an OVER clause with ORDER BY.",
                    4112);
    if ((ranking || fn == "lag" || fn == "lead") && frameAt < w.size())
        unsupported("a window frame (ROWS or RANGE) with " + upper(name.tok.text));
    if (frameAt < w.size() && orderAt > frameAt) unsupported("ROWS or RANGE without ORDER BY in OVER");
    if (!args.kids.empty() && args.kids[0].word("distinct"))
        throw Error(ErrorNumber::Database, "Use of DISTINCT is not allowed with the OVER clause.", 10759);

    const Call c{*this, name.tok.text, args.kids,
                 args.kids.empty() ? std::vector<Span>{} : splitCommas(args.kids, 0, args.kids.size())};
    if (ranking) {
        c.requireArgs(fn == "ntile" ? 1 : 0, fn == "ntile" ? 1 : 0);
        r.text = c.forward(fn);
        r.num = {'b', 19, 0};  // bigint, as SQL Server types them
        r.collated = true;
    } else if (offset) {
        c.requireArgs(1, fn == "lag" || fn == "lead" ? 3 : 1);
        r.text = c.forward(fn);
        if (c.parts.size() > 1) {
            // SQLite reads a negative offset as the other direction and a fraction as no row;
            // SQL Server refuses the one and cuts the other to a whole number
            std::string n = c.arg(1);
            if (n.find_first_not_of("0123456789") != std::string::npos)
                n = "tsql_rows(" + n + ", '" + upper(fn) + "')";
            r.text = fn + "(" + c.arg(0) + ", " + n;
            for (std::size_t k = 2; k < c.parts.size(); ++k) r.text += ", " + c.arg(k);
            r.text += ")";
        }
        r.num = columnArgType(args.kids, c.parts[0]);
        r.integer = r.num.kind == 'i';
    } else {
        r = function(name, args);
    }
    r.empty = false;
    r.space = name.tok.spaceBefore;

    std::string o = " over (";
    std::size_t k = 0;
    if (k < w.size() && w[k].word("partition")) {
        if (k + 1 >= w.size() || !w[k + 1].word("by")) unsupported("PARTITION without BY");
        o += "partition by" + windowKeys(w, k + 2, std::min(orderAt, frameAt), false);
        k = std::min(orderAt, frameAt);
    }
    if (k == orderAt && k < w.size()) {
        if (k + 1 >= w.size() || !w[k + 1].word("by")) unsupported("ORDER without BY in OVER");
        o += (k ? " " : "") + std::string("order by") + windowKeys(w, k + 2, frameAt, true);
        k = frameAt;
    }
    if (k == frameAt && k < w.size()) {
        const bool range = w[k].word("range");
        o += range ? " range" : " rows";
        ++k;
        if (k < w.size() && w[k].word("between")) {
            o += " between";
            ++k;
            frameBound(w, k, w.size(), range, o);
            if (k >= w.size() || !w[k].word("and")) unsupported("BETWEEN without AND in a window frame");
            o += " and";
            ++k;
            frameBound(w, k, w.size(), range, o);
        } else {
            frameBound(w, k, w.size(), range, o);
            if (o.ends_with("following")) unsupported("a window frame starting after the current row");
        }
    }
    if (k != w.size()) unsupported("the text '" + plain(w, k, std::min(w.size(), k + 3)) + "' in OVER");
    r.text += o + ")";
    i += 4;
    return true;
}

// PARTITION BY or ORDER BY keys of OVER in [b, e): text that is no column sorts
// and groups in the Chinese collation, as ORDER BY and GROUP BY do.
std::string Rewriter::windowKeys(const Nodes& ns, std::size_t b, std::size_t e, bool order) {
    if (b >= e) unsupported(std::string(order ? "ORDER" : "PARTITION") + " BY without a key in OVER");
    std::string out;
    for (auto [kb, ke] : splitCommas(ns, b, e)) {
        std::size_t k = kb;
        Expr x = expr(ns, k, ke, 1);
        if (x.empty) unsupported("an empty key in OVER");
        std::string key = trimLead(x.text);
        if (k + 1 < ke && ns[k].word("collate") && ns[k + 1].isName()) {
            key += " collate " + sqliteCollation(asciiLower(ns[k + 1].tok.text));
            k += 2;
        } else if (wantsTextCollation(x)) {
            key += kCollateText;
        }
        if (order && k < ke && (ns[k].word("asc") || ns[k].word("desc")))
            key += " " + asciiLower(ns[k++].tok.text);
        if (k != ke) unsupported("the text '" + plain(ns, k, std::min(ke, k + 3)) + "' in OVER");
        out += (out.empty() ? " " : ", ") + key;
    }
    return out;
}

}  // namespace Palvo::dialect
