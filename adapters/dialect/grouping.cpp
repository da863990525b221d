// Grouping sets (ROLLUP, CUBE, GROUPING SETS), PIVOT and UNPIVOT, CROSS and OUTER APPLY.
// SQLite has none of them: the select is rewritten into one it runs with the same
// rows, and that is rendered as any other.
#include <algorithm>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

constexpr std::size_t kMaxGroupingSets = 4096;  // SQL Server's own bound
constexpr const char* kGroupingForms = "ROLLUP, CUBE or GROUPING SETS";

// The nodes of a fragment written here (names, keywords and numbers only).
Nodes fragment(std::string_view text) {
    auto toks = tokenize(text);
    return buildTree(toks);
}

Node groupOf(Nodes kids, bool space) {
    Node g;
    g.group = true;
    g.tok.kind = TokenKind::Operator;
    g.tok.text = "(";
    g.tok.spaceBefore = space;
    g.kids = std::move(kids);
    return g;
}

void append(Nodes& to, Nodes more) {
    for (auto& n : more) to.push_back(std::move(n));
}

void append(Nodes& to, const Nodes& from, std::size_t b, std::size_t e) {
    to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(b),
              from.begin() + static_cast<std::ptrdiff_t>(e));
}

bool sameNode(const Node& a, const Node& b) {
    if (a.group != b.group) return false;
    if (a.group) {
        if (a.kids.size() != b.kids.size()) return false;
        for (std::size_t k = 0; k < a.kids.size(); ++k) {
            if (!sameNode(a.kids[k], b.kids[k])) return false;
        }
        return true;
    }
    if (a.isName() || b.isName())
        return a.isName() && b.isName() && asciiLower(a.tok.text) == asciiLower(b.tok.text);
    return a.tok.kind == b.tok.kind && a.tok.text == b.tok.text;
}

// A column reference, [qualifier.]column, starting at ns[k]: its length in nodes, 0 for none.
struct Reference {
    std::size_t length = 0;
    const Node* qualifier = nullptr;
    const Node* column = nullptr;
};

Reference referenceAt(const Nodes& ns, std::size_t k) {
    const Node& n = ns[k];
    if (!n.isName() || (k > 0 && ns[k - 1].op("."))) return {};
    if (n.tok.kind == TokenKind::Word) {
        const std::string lw = asciiLower(n.tok.text);
        if (isClauseKeyword(lw) || lw == "null" || lw == "case") return {};
    }
    if (k + 2 < ns.size() && ns[k + 1].op(".") && ns[k + 2].isName()) {
        if (k + 3 < ns.size() && ns[k + 3].group) return {};
        return {3, &n, &ns[k + 2]};
    }
    if (k + 1 < ns.size() && ns[k + 1].group) return {};  // a function
    return {1, nullptr, &n};
}

bool isAggregate(const Node& n) {
    static const char* const names[] = {"sum",    "avg", "count", "count_big",    "min",       "max", "stdev",
                                        "stdevp", "var", "varp",  "checksum_agg", "string_agg"};
    if (!n.isName() || n.tok.kind != TokenKind::Word) return false;
    const std::string lw = asciiLower(n.tok.text);
    return std::any_of(std::begin(names), std::end(names), [&](const char* a) { return lw == a; });
}

bool isSubquery(const Node& g) { return g.group && !g.kids.empty() && g.kids[0].word("select"); }

// What GROUP BY lists: its distinct expressions, and the grouping sets as the
// expressions each groups by.
class GroupingSets {
public:
    explicit GroupingSets(const Nodes& ns) : ns_(ns) {}

    // Reads the GROUP BY list [b, e), WITH ROLLUP / WITH CUBE included.
    void read(std::size_t b, std::size_t e) {
        char with = 0;
        if (e >= b + 2 && ns_[e - 2].word("with") && (ns_[e - 1].word("rollup") || ns_[e - 1].word("cube"))) {
            with = ns_[e - 1].word("rollup") ? 'r' : 'c';
            e -= 2;
        }
        if (b >= e) unsupported("an empty GROUP BY");
        sets_ = {{}};
        if (with) {
            std::vector<Set> parts;
            for (const Span& p : splitCommas(ns_, b, e)) {
                if (special(ns_, p))
                    unsupported(std::string(kGroupingForms) + " together with WITH ROLLUP or WITH CUBE");
                parts.push_back(composite(ns_, p));
            }
            combine(with == 'r' ? rollup(parts) : cube(parts));
            return;
        }
        for (const Span& p : splitCommas(ns_, b, e)) combine(item(ns_, p));
    }

    const std::vector<std::vector<std::size_t>>& sets() const { return sets_; }
    std::size_t count() const { return elements_.size(); }
    const Nodes& element(std::size_t j) const { return elements_[j]; }

    // The length of the listed expression j at ns[k], 0 when it is not there: a
    // column matches its name with or without the table's.
    std::size_t matchAt(const Nodes& ns, std::size_t k, std::size_t j) const {
        const Nodes& el = elements_[j];
        const Reference mine = referenceAt(el, 0);
        if (mine.length == el.size()) {
            const Reference r = referenceAt(ns, k);
            if (!r.length || asciiLower(r.column->tok.text) != asciiLower(mine.column->tok.text)) return 0;
            if (r.qualifier && mine.qualifier &&
                asciiLower(r.qualifier->tok.text) != asciiLower(mine.qualifier->tok.text))
                return 0;
            return r.length;
        }
        if (k + el.size() > ns.size()) return 0;
        for (std::size_t m = 0; m < el.size(); ++m) {
            if (!sameNode(ns[k + m], el[m])) return 0;
        }
        return el.size();
    }

    // The listed expression that [b, e) is, or count() when none.
    std::size_t find(const Nodes& ns, std::size_t b, std::size_t e) const {
        for (std::size_t j = 0; j < elements_.size(); ++j) {
            if (b < e && matchAt(ns, b, j) == e - b) return j;
        }
        return elements_.size();
    }

private:
    using Set = std::vector<std::size_t>;

    static bool special(const Nodes& ns, Span p) {
        const std::size_t n = p.second - p.first;
        const Node& f = ns[p.first];
        return (n == 2 && (f.word("rollup") || f.word("cube")) && ns[p.first + 1].group) ||
               (n == 3 && f.word("grouping") && ns[p.first + 1].word("sets") && ns[p.first + 2].group) ||
               (n == 1 && f.group && f.kids.empty());
    }

    std::size_t index(const Nodes& ns, Span p) {
        const std::size_t j = find(ns, p.first, p.second);
        if (j < elements_.size()) return j;
        elements_.emplace_back(ns.begin() + static_cast<std::ptrdiff_t>(p.first),
                               ns.begin() + static_cast<std::ptrdiff_t>(p.second));
        if (!elements_.back().empty()) elements_.back()[0].tok.spaceBefore = false;
        return elements_.size() - 1;
    }

    // (a, b) or a: the expressions grouped together.
    Set composite(const Nodes& ns, Span p) {
        if (p.first == p.second) unsupported("an empty expression in GROUP BY");
        Set s;
        if (p.second == p.first + 1 && ns[p.first].group) {
            const Nodes& kids = ns[p.first].kids;
            if (kids.empty()) return s;
            for (const Span& q : splitCommas(kids, 0, kids.size())) s.push_back(index(kids, q));
            return s;
        }
        s.push_back(index(ns, p));
        return s;
    }

    static std::vector<Set> rollup(const std::vector<Set>& parts) {
        std::vector<Set> out;
        for (std::size_t n = parts.size() + 1; n-- > 0;) {
            Set s;
            for (std::size_t k = 0; k < n; ++k) s.insert(s.end(), parts[k].begin(), parts[k].end());
            out.push_back(std::move(s));
        }
        return out;
    }

    static std::vector<Set> cube(const std::vector<Set>& parts) {
        if (parts.size() > 12) unsupported("CUBE of more than 12 expressions (4096 grouping sets)");
        std::vector<Set> out;
        const std::size_t all = std::size_t{1} << parts.size();
        for (std::size_t m = all; m-- > 0;) {
            Set s;
            for (std::size_t k = 0; k < parts.size(); ++k) {
                if (m & (std::size_t{1} << (parts.size() - 1 - k)))
                    s.insert(s.end(), parts[k].begin(), parts[k].end());
            }
            out.push_back(std::move(s));
        }
        return out;
    }

    std::vector<Set> listOf(const Node& g, bool sets) {
        std::vector<Set> out;
        if (g.kids.empty()) unsupported("an empty list in GROUP BY");
        for (const Span& p : splitCommas(g.kids, 0, g.kids.size())) {
            if (sets) {
                for (Set& s : item(g.kids, p)) out.push_back(std::move(s));
            } else {
                out.push_back(composite(g.kids, p));
            }
        }
        return out;
    }

    // One entry of GROUP BY or of GROUPING SETS: the grouping sets it stands for.
    std::vector<Set> item(const Nodes& ns, Span p) {
        const std::size_t n = p.second - p.first;
        const Node& f = ns[p.first];
        if (n == 2 && f.word("rollup") && ns[p.first + 1].group)
            return rollup(listOf(ns[p.first + 1], false));
        if (n == 2 && f.word("cube") && ns[p.first + 1].group) return cube(listOf(ns[p.first + 1], false));
        if (n == 3 && f.word("grouping") && ns[p.first + 1].word("sets") && ns[p.first + 2].group)
            return listOf(ns[p.first + 2], true);
        return {composite(ns, p)};
    }

    // Every set so far with every one of `alternatives` added: GROUP BY a, ROLLUP(b) is (a, b), (a).
    void combine(const std::vector<Set>& alternatives) {
        std::vector<Set> out;
        for (const Set& s : sets_) {
            for (const Set& a : alternatives) {
                Set both = s;
                both.insert(both.end(), a.begin(), a.end());
                out.push_back(std::move(both));
                if (out.size() > kMaxGroupingSets) unsupported("more than 4096 grouping sets");
            }
        }
        sets_ = std::move(out);
    }

    const Nodes& ns_;
    std::vector<Nodes> elements_;
    std::vector<Set> sets_;
};

// The select with its grouping sets made from one GROUP BY: each row of FROM is
// taken once per grouping set (joined with a table of the sets), grouped by the
// set and by each listed expression, Null where the set rolls it up. The
// expressions the select list, HAVING and ORDER BY show become that Null;
// GROUPING() is the set's flag.
class GroupingQuery {
public:
    GroupingQuery(const Nodes& q, const GroupingSets& g) : q_(q), g_(g) {
        for (std::size_t j = 0; j < g.count(); ++j) {
            heads_.push_back(fragment("case when \"palvo_sets\"." + flag(j) + " = 0 then"));
        }
    }

    static std::string flag(std::size_t j) { return "column" + std::to_string(j + 2); }

    // The nodes [b, e) with the listed expressions, and GROUPING(), replaced.
    // An ORDER BY name that is an alias of the select list sorts by that column, as written.
    void substitute(const Nodes& ns, std::size_t b, std::size_t e, Nodes& out,
                    const std::vector<std::string>* aliases = nullptr) const {
        for (std::size_t k = b; k < e;) {
            const Node& n = ns[k];
            if (aliases && referenceAt(ns, k).length == 1 &&
                std::find(aliases->begin(), aliases->end(), asciiLower(n.tok.text)) != aliases->end()) {
                out.push_back(n);
                ++k;
                continue;
            }
            if ((n.word("grouping") || n.word("grouping_id")) && k + 1 < e && ns[k + 1].group) {
                out.push_back(grouping(n, ns[k + 1]));
                k += 2;
                continue;
            }
            if (isAggregate(n) && k + 1 < e && ns[k + 1].group) {
                append(out, ns, k, k + 2);  // an aggregate reads the rows, not the groups
                k += 2;
                continue;
            }
            const bool named = k > b && (ns[k - 1].word("as") || ns[k - 1].word("collate"));
            if (!named) {
                if (const auto [len, j] = match(ns, k, e); len) {
                    out.push_back(replacement(ns, k, len, j));
                    k += len;
                    continue;
                }
            }
            if (n.group && !isSubquery(n)) {
                Node g = n;
                g.kids.clear();
                substitute(n.kids, 0, n.kids.size(), g.kids);
                out.push_back(std::move(g));
            } else {
                out.push_back(n);
            }
            ++k;
        }
    }

    // The select list [b, e): an item that is a listed column keeps the column's name.
    void selectList(std::size_t b, std::size_t e, Nodes& out) const {
        bool first = true;
        for (const Span& p : splitCommas(q_, b, e)) {
            if (!first) append(out, q_, p.first - 1, p.first);  // the comma
            first = false;
            std::size_t from = p.first;
            if (p.second - p.first > 2 && q_[from].isName() && q_[from + 1].op("=")) {
                append(out, q_, from, from + 2);  // name = expression
                from += 2;
            }
            const auto [len, j] = match(q_, from, p.second);
            const Reference r = len ? referenceAt(q_, from) : Reference{};
            if (len && from + len == p.second && r.length == len) {
                out.push_back(replacement(q_, from, len, j));
                if (from == p.first) {
                    append(out, fragment("as"));
                    out.back().tok.spaceBefore = true;
                    Node name = *r.column;
                    name.tok.spaceBefore = true;
                    out.push_back(std::move(name));
                }
                continue;
            }
            substitute(q_, from, p.second, out);
        }
    }

    // cross join (values (set, flags...), ...) as "palvo_sets"
    Nodes setsTable() const {
        std::string v;
        for (std::size_t s = 0; s < g_.sets().size(); ++s) {
            const auto& set = g_.sets()[s];
            v += (s ? ", (" : "(") + std::to_string(s);
            for (std::size_t j = 0; j < g_.count(); ++j)
                v += std::find(set.begin(), set.end(), j) == set.end() ? ", 1" : ", 0";
            v += ")";
        }
        return fragment(" cross join (values " + v + ") as \"palvo_sets\"");
    }

    // group by the set, then each listed expression (Null where rolled up)
    Nodes groupBy() const {
        Nodes out = fragment(" group by \"palvo_sets\".column1");
        for (std::size_t j = 0; j < g_.count(); ++j) {
            append(out, fragment(","));
            const Nodes& el = g_.element(j);
            out.push_back(replacement(el, 0, el.size(), j));
            out.back().tok.spaceBefore = true;
        }
        return out;
    }

private:
    std::pair<std::size_t, std::size_t> match(const Nodes& ns, std::size_t k, std::size_t e) const {
        for (std::size_t j = 0; j < g_.count(); ++j) {
            const std::size_t len = g_.matchAt(ns, k, j);
            if (len && k + len <= e) return {len, j};
        }
        return {0, 0};
    }

    // (case when "palvo_sets".columnN = 0 then <the expression as written> end)
    Node replacement(const Nodes& ns, std::size_t k, std::size_t len, std::size_t j) const {
        Nodes kids = heads_[j];
        append(kids, ns, k, k + len);
        kids[heads_[j].size()].tok.spaceBefore = true;
        append(kids, fragment(" end"));
        return groupOf(std::move(kids), ns[k].tok.spaceBefore);
    }

    // GROUPING(x): 1 where the set rolls x up; GROUPING_ID(x, y, ...): those bits, x's highest.
    Node grouping(const Node& name, const Node& args) const {
        const bool id = name.word("grouping_id");
        const auto parts = splitCommas(args.kids, 0, args.kids.size());
        if (args.kids.empty() || (!id && parts.size() != 1))
            throw Error(ErrorNumber::Database, id ? "The grouping_id function requires at least 1 argument."
                                                  : "The grouping function requires 1 argument.");
        std::string text;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            const std::size_t j = g_.find(args.kids, parts[k].first, parts[k].second);
            if (j == g_.count()) {
                unsupported(upper(name.tok.text) + " of '" +
                            trimLead(plain(args.kids, parts[k].first, parts[k].second)) +
                            "', which GROUP BY does not list");
            }
            if (!text.empty()) text += " + ";
            text += "\"palvo_sets\"." + flag(j);
            const std::size_t weight = parts.size() - 1 - k;
            if (weight > 30) unsupported("GROUPING_ID of more than 31 expressions");
            if (weight) text += " * " + std::to_string(std::size_t{1} << weight);
        }
        return groupOf(fragment(text), name.tok.spaceBefore);
    }

    const Nodes& q_;
    const GroupingSets& g_;
    std::vector<Nodes> heads_;
};

// Where the GROUP BY at `at` ends: at HAVING, ORDER BY, OPTION or the end.
std::size_t groupByEnd(const Nodes& q, std::size_t at) {
    for (std::size_t k = at; k < q.size(); ++k) {
        if (q[k].word("having") || q[k].word("order") || q[k].word("option") || q[k].word("for")) return k;
    }
    return q.size();
}

bool hasGroupingSets(const Nodes& ns, std::size_t at, std::size_t e) {
    for (std::size_t k = at; k < e; ++k) {
        const Node& n = ns[k];
        if (n.word("having") || n.word("order") || n.word("union") || n.word("except") || n.word("intersect"))
            return false;
        if (((n.word("rollup") || n.word("cube")) && k + 1 < e && ns[k + 1].group) ||
            (n.word("grouping") && k + 1 < e && ns[k + 1].word("sets")) ||
            (n.word("with") && k + 1 < e && (ns[k + 1].word("rollup") || ns[k + 1].word("cube"))))
            return true;
    }
    return false;
}

Node nameNode(const std::string& name) { return tokenNode(TokenKind::Name, name); }

// "[left] join (select ...) as alias on": the head of an APPLY's join, its condition to follow.
Nodes applyJoinHead(bool outerApply, Nodes select, const Node& alias) {
    Nodes join;
    if (outerApply) join.push_back(wordNode("left"));
    join.push_back(wordNode("join"));
    join.push_back(groupOf(std::move(select), true));
    join.push_back(wordNode("as"));
    join.push_back(alias);
    join.back().tok.spaceBefore = true;
    join.push_back(wordNode("on"));
    return join;
}

// A star item of the select list [b, e): "*" or "t.*".
bool selectsStar(const Nodes& q, std::size_t b, std::size_t e) {
    for (const Span& p : splitCommas(q, b, e)) {
        const std::size_t last = p.second;
        if (last > p.first && q[last - 1].op("*") &&
            (last - 1 == p.first || q[last - 2].op(".") || !q[last - 2].isName() || q[last - 2].group ||
             q[last - 2].word("select") || q[last - 2].word("distinct") || q[last - 2].word("all")))
            return true;
    }
    return false;
}

// The aliases a select list [b, e) gives its items (x as a, x a, a = x), lower case.
std::vector<std::string> listAliases(const Nodes& q, std::size_t b, std::size_t e) {
    std::vector<std::string> names;
    for (const Span& p : splitCommas(q, b, e)) {
        const std::size_t n = p.second - p.first;
        const Node& last = q[p.second - 1];
        if (n > 2 && q[p.first].isName() && q[p.first + 1].op("="))
            names.push_back(asciiLower(q[p.first].tok.text));
        else if (n >= 2 && last.isName() && !q[p.second - 2].op("."))
            names.push_back(asciiLower(last.tok.text));
    }
    return names;
}

// The names of the columns a derived table's select list gives, in order.
std::vector<std::string> derivedColumns(const Nodes& sub, const char* form) {
    std::size_t b = 1, e = sub.size();
    if (b < e && (sub[b].word("distinct") || sub[b].word("all"))) ++b;
    if (b < e && sub[b].word("top")) b += 2;
    for (std::size_t k = b; k < e; ++k) {
        if (sub[k].word("from")) e = k;
    }
    if (b >= e) unsupported(std::string(form) + " of a derived table without columns");
    std::vector<std::string> names;
    for (const Span& p : splitCommas(sub, b, e)) {
        const std::size_t n = p.second - p.first;
        const Node& last = sub[p.second - 1];
        if (n >= 2 && sub[p.first].isName() && sub[p.first + 1].op("=")) {
            names.push_back(sub[p.first].tok.text);
        } else if (n >= 1 && last.isName() &&
                   (n == 1 || sub[p.second - 2].op(".") || sub[p.second - 2].word("as") ||
                    sub[p.second - 2].isName() || sub[p.second - 2].group)) {
            names.push_back(last.tok.text);
        } else {
            unsupported(std::string(form) + " of a derived table whose column '" +
                        trimLead(plain(sub, p.first, p.second)) + "' has no name");
        }
        if (n == 1 && last.tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(last.tok.text)))
            unsupported(std::string(form) + " of a derived table near '" + last.tok.text + "'");
    }
    return names;
}

// "c = x" for a PIVOT name x: SQL Server converts the name to the column's type.
// A name of digits is either that number or that text ("c in (1, '1')"): a
// column's affinity makes the one its type, and a computed value equals one.
Nodes pivotTest(const Node& column, const std::string& name) {
    const bool digits = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
    if (looksLikeDate(name)) unsupported("PIVOT over the date [" + name + "]");
    if (!digits) return {column, tokenNode(TokenKind::Operator, "="), tokenNode(TokenKind::NString, name)};
    Nodes both{tokenNode(TokenKind::Number, name, false), tokenNode(TokenKind::Operator, ",", false),
               tokenNode(TokenKind::NString, name)};
    return {column, wordNode("in"), groupOf(std::move(both), true)};
}

bool sameName(const std::string& a, const std::string& b) { return asciiLower(a) == asciiLower(b); }

// The names a FROM clause [b, e) may qualify columns with: its tables and aliases.
std::vector<std::string> factorNames(const Nodes& ns, std::size_t b, std::size_t e) {
    std::vector<std::string> names;
    for (std::size_t k = b; k < e; ++k) {
        const Node& n = ns[k];
        if (!n.isName() || (k > b && ns[k - 1].op(".")) || (k + 1 < e && ns[k + 1].op("."))) continue;
        if (n.tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(n.tok.text))) continue;
        names.push_back(asciiLower(n.tok.text));
    }
    return names;
}

// Whether [b, e), nested groups included, names a column as q.c with q one of
// `outer` and none of `inner`.
bool mentionsOuter(const Nodes& ns, std::size_t b, std::size_t e, const std::vector<std::string>& outer,
                   const std::vector<std::string>& inner) {
    for (std::size_t k = b; k < e; ++k) {
        const Node& n = ns[k];
        if (n.group) {
            if (mentionsOuter(n.kids, 0, n.kids.size(), outer, inner)) return true;
            continue;
        }
        if (n.isName() && k + 1 < e && ns[k + 1].op(".") && (k == b || !ns[k - 1].op("."))) {
            const std::string q = asciiLower(n.tok.text);
            if (std::find(outer.begin(), outer.end(), q) != outer.end() &&
                std::find(inner.begin(), inner.end(), q) == inner.end())
                return true;
        }
    }
    return false;
}

// The conditions of a WHERE [b, e) joined by AND (an AND of BETWEEN stays in its condition).
std::vector<Span> conjuncts(const Nodes& ns, std::size_t b, std::size_t e) {
    std::vector<Span> out;
    std::size_t from = b;
    bool between = false;
    for (std::size_t k = b; k < e; ++k) {
        if (ns[k].word("between")) between = true;
        if (!ns[k].word("and")) continue;
        if (between) {
            between = false;
            continue;
        }
        out.emplace_back(from, k);
        from = k + 1;
    }
    out.emplace_back(from, e);
    return out;
}

// A select whose every item aggregates, without GROUP BY, HAVING or TOP: one row always.
bool scalarAggregate(const Nodes& sub) {
    std::size_t fromAt = 0;
    for (std::size_t k = 1; k < sub.size(); ++k) {
        const Node& n = sub[k];
        if (n.word("group") || n.word("having") || n.word("top") || n.word("distinct") || n.word("union") ||
            n.word("except") || n.word("intersect"))
            return false;
        if (n.word("from") && !fromAt) fromAt = k;
    }
    if (!fromAt || fromAt == 1) return false;
    for (const Span& p : splitCommas(sub, 1, fromAt)) {
        bool aggregates = false;
        for (std::size_t k = p.first; k + 1 < p.second; ++k)
            aggregates = aggregates || (isAggregate(sub[k]) && sub[k + 1].group);
        if (!aggregates) return false;
    }
    return true;
}

// The items of a scalar aggregate's select list: the name each gives and its expression.
std::vector<std::pair<std::string, Span>> aggregateColumns(const Nodes& sub, const std::string& form) {
    std::size_t fromAt = 1;
    while (!sub[fromAt].word("from")) ++fromAt;
    std::vector<std::pair<std::string, Span>> columns;
    for (const Span& p : splitCommas(sub, 1, fromAt)) {
        const std::size_t n = p.second - p.first;
        const Node& last = sub[p.second - 1];
        if (n > 2 && sub[p.first].isName() && sub[p.first + 1].op("="))
            columns.push_back({asciiLower(sub[p.first].tok.text), {p.first + 2, p.second}});
        else if (n > 2 && last.isName() && sub[p.second - 2].word("as"))
            columns.push_back({asciiLower(last.tok.text), {p.first, p.second - 2}});
        else if (n > 1 && last.isName() && (sub[p.second - 2].group || sub[p.second - 2].isName()))
            columns.push_back({asciiLower(last.tok.text), {p.first, p.second - 1}});
        else
            unsupported(form + " over an aggregate subquery whose column '" +
                        trimLead(plain(sub, p.first, p.second)) + "' has no name");
    }
    return columns;
}

// ns with alias.column of a scalar aggregate's columns replaced by (select <its
// expression> from <the subquery's FROM and WHERE>): correlated as written.
// An item of the select list that is alias.column keeps the column's name; an
// ORDER BY name of the select itself is left to name its result column.
Nodes columnsAsSubqueries(const Nodes& ns, const Node& alias,
                          const std::vector<std::pair<std::string, Span>>& columns, const Nodes& sub,
                          const std::string& form, bool top = false) {
    std::size_t fromAt = 1;
    while (!sub[fromAt].word("from")) ++fromAt;
    std::size_t orderAt = ns.size(), listEnd = 0;
    if (top) {
        for (std::size_t k = 1; k < ns.size(); ++k) {
            if (ns[k].word("from") && !listEnd) listEnd = k;
            if (ns[k].word("order")) orderAt = k;
        }
    }
    Nodes out;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        const Node& n = ns[k];
        if (n.group) {
            Node g = n;
            g.kids = columnsAsSubqueries(n.kids, alias, columns, sub, form);
            out.push_back(std::move(g));
            continue;
        }
        if (k > orderAt && referenceAt(ns, k).length == 1) {
            out.push_back(n);
            continue;
        }
        const Reference r = referenceAt(ns, k);
        const auto column =
            r.length ? std::find_if(columns.begin(), columns.end(),
                                    [&](const auto& c) { return c.first == asciiLower(r.column->tok.text); })
                     : columns.end();
        if (column == columns.end()) {
            out.push_back(n);
            continue;
        }
        if (!r.qualifier) {
            if (k > 0 && (ns[k - 1].word("as") || ns[k - 1].word("collate"))) {
                out.push_back(n);
                continue;
            }
            unsupported(form + "'s column '" + n.tok.text + "' named without its alias");
        }
        if (asciiLower(r.qualifier->tok.text) != asciiLower(alias.tok.text)) {
            append(out, ns, k, k + r.length);
            k += r.length - 1;
            continue;
        }
        Nodes value{wordNode("select")};
        value[0].tok.spaceBefore = false;
        append(value, sub, column->second.first, column->second.second);
        value[1].tok.spaceBefore = true;
        append(value, sub, fromAt, sub.size());
        out.push_back(groupOf(std::move(value), n.tok.spaceBefore));
        const bool item = k < listEnd && (ns[k - 1].op(",") || ns[k - 1].word("select")) &&
                          (ns[k + r.length].op(",") || k + r.length == listEnd);
        if (item) {
            out.push_back(wordNode("as"));
            out.push_back(*r.column);
            out.back().tok.spaceBefore = true;
        }
        k += r.length - 1;
    }
    return out;
}

}  // namespace

// The select [b, e) rewritten and rendered, when it has forms SQLite lacks.
bool Rewriter::groupingForms(const Nodes& ns, std::size_t b, std::size_t e, std::string& out) {
    if (b >= e || !ns[b].word("select") || &ns == rewritten_) return false;
    std::size_t groupAt = 0;
    bool compound = false, pivot = false, apply = false, split = false;
    for (std::size_t k = b + 1; k < e; ++k) {
        const Node& n = ns[k];
        if (n.group || n.tok.kind != TokenKind::Word) continue;
        if (n.word("union") || n.word("except") || n.word("intersect")) compound = true;
        if (!groupAt && n.word("group") && k + 2 < e && ns[k + 1].word("by") && hasGroupingSets(ns, k + 2, e))
            groupAt = k;
        if ((n.word("pivot") || n.word("unpivot")) && k + 1 < e && ns[k + 1].group) pivot = true;
        if (n.word("apply") && (ns[k - 1].word("cross") || ns[k - 1].word("outer"))) apply = true;
        if (n.word("string_split") && k + 1 < e && ns[k + 1].group) split = true;
    }
    if (!groupAt && !pivot && !apply && !split) return false;
    const Nodes whole(ns.begin() + static_cast<std::ptrdiff_t>(b),
                      ns.begin() + static_cast<std::ptrdiff_t>(e));
    // the select's own columns are recorded when it is rendered, not by the pieces rendered before
    const bool record = recordColumns_;
    recordColumns_ = false;
    // each select of a UNION on its own; the ORDER BY after the last is the UNION's
    Nodes q;
    std::size_t from = 0, end = whole.size();
    if (compound) {
        for (std::size_t k = whole.size(); k-- > 1;) {
            if (whole[k].word("order") && k + 1 < whole.size() && whole[k + 1].word("by")) end = k;
            if (whole[k].word("union") || whole[k].word("except") || whole[k].word("intersect")) break;
        }
    }
    for (std::size_t k = 0; k <= end; ++k) {
        const bool last = k == end;
        if (!last && !whole[k].word("union") && !whole[k].word("except") && !whole[k].word("intersect"))
            continue;
        Nodes member(whole.begin() + static_cast<std::ptrdiff_t>(from),
                     whole.begin() + static_cast<std::ptrdiff_t>(k));
        if (!member.empty() && member[0].word("select")) {
            if (split) splitTables(member);
            if (apply) applies(member);
            if (pivot) pivots(member);
            for (std::size_t g = 1; g + 2 < member.size(); ++g) {
                if (member[g].word("group") && member[g + 1].word("by")) {
                    if (hasGroupingSets(member, g + 2, member.size())) member = groupingSetsQuery(member, g);
                    break;
                }
            }
        }
        append(q, std::move(member));
        if (last) break;
        from = k + 1;
        if (from < end && whole[from].word("all")) ++from;
        append(q, whole, k, from);
    }
    append(q, whole, end, whole.size());
    // the rewritten select is rendered as it stands (its own forms are done)
    const Nodes *top = topNodes_, *outer = rewritten_;
    if (&ns == topNodes_) topNodes_ = &q;
    rewritten_ = &q;
    recordColumns_ = record;
    try {
        out = seq(q, 0, q.size());
    } catch (...) {
        topNodes_ = top;
        rewritten_ = outer;
        throw;
    }
    topNodes_ = top;
    rewritten_ = outer;
    return true;
}

// Each PIVOT and UNPIVOT of the select's FROM becomes the derived table it stands for.
void Rewriter::pivots(Nodes& q) {
    std::size_t fromAt = 0;
    for (std::size_t k = 1; k < q.size() && !fromAt; ++k) {
        if (q[k].word("from")) fromAt = k;
    }
    for (std::size_t k = fromAt + 1; fromAt && k + 1 < q.size(); ++k) {
        const bool un = q[k].word("unpivot");
        if (!(q[k].word("pivot") || un) || !q[k + 1].group) continue;
        // the table factor before it: after FROM, a join's words or a comma
        std::size_t s = k;
        while (s > fromAt + 1 && !q[s - 1].op(",") && !q[s - 1].word("join") && !q[s - 1].word("apply")) --s;
        std::size_t end = k + 2;
        if (end < q.size() && q[end].word("as")) ++end;
        if (end >= q.size() || !q[end].isName() ||
            (q[end].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(q[end].tok.text))))
            unsupported(std::string(un ? "UNPIVOT" : "PIVOT") + " without an alias");
        const Node alias = q[end];
        if (un && selectsStar(q, 1, fromAt)) unsupported("SELECT * of an UNPIVOT (name its columns)");
        Node table = un ? unpivotTable(q, s, k) : pivotTable(q, s, k, selectsStar(q, 1, fromAt));
        table.tok.spaceBefore = q[s].tok.spaceBefore;
        Nodes with{std::move(table), wordNode("as"), alias};
        q.erase(q.begin() + static_cast<std::ptrdiff_t>(s), q.begin() + static_cast<std::ptrdiff_t>(end + 1));
        q.insert(q.begin() + static_cast<std::ptrdiff_t>(s), with.begin(), with.end());
        k = s + 2;
    }
}

// STRING_SPLIT(text, separator) where a table stands (after FROM, JOIN, APPLY or a
// comma of FROM) becomes the runtime's table-valued function tsql_string_split;
// elsewhere it stays a call, refused as an unknown function.
void Rewriter::splitTables(Nodes& q) {
    bool inFrom = false;
    for (std::size_t k = 1; k < q.size(); ++k) {
        const Node& n = q[k];
        if (n.group || n.tok.kind != TokenKind::Word) continue;
        if (n.word("from")) inFrom = true;
        if (n.word("where") || n.word("group") || n.word("having") || n.word("order") || n.word("option"))
            inFrom = false;
        if (!n.word("string_split") || k + 1 >= q.size() || !q[k + 1].group) continue;
        const Node& before = q[k - 1];
        if (!(before.word("from") || before.word("join") || before.word("apply") ||
              (inFrom && before.op(","))))
            continue;
        const Nodes& args = q[k + 1].kids;
        const std::size_t count = args.empty() ? 0 : splitCommas(args, 0, args.size()).size();
        if (count == 3) unsupported("STRING_SPLIT with enable_ordinal (its third argument)");
        if (count != 2) unsupported("STRING_SPLIT with " + std::to_string(count) + " arguments");
        q[k].tok.text = "tsql_string_split";
    }
}

// CROSS APPLY and OUTER APPLY over a subquery correlated by equalities q.c = x
// in its WHERE: a join (left join) with the subquery made uncorrelated, its
// inner sides of those equalities as columns joined on; TOP n as a row number
// within each correlated key.
void Rewriter::applies(Nodes& q) {
    std::size_t fromAt = 0;
    for (std::size_t k = 1; k < q.size() && !fromAt; ++k) {
        if (q[k].word("from")) fromAt = k;
    }
    for (std::size_t k = fromAt + 1; fromAt && k < q.size(); ++k) {
        if (!q[k].word("apply") || !(q[k - 1].word("cross") || q[k - 1].word("outer"))) continue;
        const bool outerApply = q[k - 1].word("outer");
        const std::string form = outerApply ? "OUTER APPLY" : "CROSS APPLY";
        if (k + 1 >= q.size()) unsupported(form + " without a table");
        if (q[k + 1].word("tsql_string_split") && k + 2 < q.size() && q[k + 2].group) {
            // its arguments may name the outer columns: SQLite's table-valued functions take them in a join
            std::size_t end = k + 3;
            if (end < q.size() && q[end].word("as")) ++end;
            const bool alias =
                end < q.size() && q[end].isName() &&
                !(q[end].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(q[end].tok.text)));
            Nodes join;
            if (outerApply) join.push_back(wordNode("left"));
            join.push_back(wordNode("join"));
            join[0].tok.spaceBefore = q[k - 1].tok.spaceBefore;
            append(join, q, k + 1, k + 3);
            if (alias) {
                join.push_back(wordNode("as"));
                join.push_back(q[end]);
                join.back().tok.spaceBefore = true;
            }
            join.push_back(wordNode("on"));
            append(join, fragment(" 1 = 1"));
            const std::size_t stop = alias ? end + 1 : k + 3;
            q.erase(q.begin() + static_cast<std::ptrdiff_t>(k - 1),
                    q.begin() + static_cast<std::ptrdiff_t>(stop));
            q.insert(q.begin() + static_cast<std::ptrdiff_t>(k - 1), join.begin(), join.end());
            k = k - 1 + join.size() - 1;
            continue;
        }
        if (q[k + 1].isName() && k + 2 < q.size() && q[k + 2].group)
            unsupported(form + " over a table-valued function");
        if (!isSubquery(q[k + 1])) unsupported(form + " over '" + trimLead(plain(q, k + 1, k + 2)) + "'");
        std::size_t end = k + 2;
        if (end < q.size() && q[end].word("as")) ++end;
        if (end >= q.size() || !q[end].isName() ||
            (q[end].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(q[end].tok.text))))
            unsupported(form + " without an alias");
        if (selectsStar(q, 1, fromAt)) unsupported(form + " with SELECT * (name the columns)");
        if (scalarAggregate(q[k + 1].kids)) {
            // one row for every outer row: its columns are subqueries where they are used
            const Nodes sub = q[k + 1].kids;
            const Node alias = q[end];
            q.erase(q.begin() + static_cast<std::ptrdiff_t>(k - 1),
                    q.begin() + static_cast<std::ptrdiff_t>(end + 1));
            const auto columns = aggregateColumns(sub, form);
            q = columnsAsSubqueries(q, alias, columns, sub, form, true);
            k -= 2;
            continue;
        }
        Nodes join = applyJoin(q[k + 1].kids, factorNames(q, fromAt + 1, k - 1), q[end], outerApply, form);
        join[0].tok.spaceBefore = q[k - 1].tok.spaceBefore;
        q.erase(q.begin() + static_cast<std::ptrdiff_t>(k - 1),
                q.begin() + static_cast<std::ptrdiff_t>(end + 1));
        q.insert(q.begin() + static_cast<std::ptrdiff_t>(k - 1), join.begin(), join.end());
        k = k - 1 + join.size() - 1;
    }
}

Nodes Rewriter::applyJoin(const Nodes& sub, const std::vector<std::string>& outer, const Node& alias,
                          bool outerApply, const std::string& form) {
    // select [top n] list from ... [where ...] [order by ...]
    std::size_t i = 1, fromAt = 0, whereAt = 0, orderAt = 0;
    std::string top;
    bool ties = false;  // TOP n WITH TIES: the rows ranked within the first n
    if (i < sub.size() && (sub[i].word("distinct") || sub[i].word("all"))) {
        if (sub[i].word("distinct")) unsupported(form + " over a subquery with DISTINCT");
        ++i;
    }
    if (i < sub.size() && sub[i].word("top")) {
        const Node* count = i + 1 < sub.size() ? &sub[i + 1] : nullptr;
        if (count && count->group && count->kids.size() == 1) count = &count->kids[0];
        if (!count || count->group || count->tok.kind != TokenKind::Number ||
            count->tok.text.find_first_not_of("0123456789") != std::string::npos)
            unsupported(form + " over a subquery with TOP of anything but a whole number");
        top = count->tok.text;
        i += 2;
        if (i < sub.size() && sub[i].word("percent"))
            unsupported(form + " over a subquery with TOP ... PERCENT");
        if (i + 1 < sub.size() && sub[i].word("with") && sub[i + 1].word("ties")) {
            ties = true;
            i += 2;
        }
    }
    const std::size_t listAt = i;
    for (std::size_t k = i; k < sub.size(); ++k) {
        const Node& n = sub[k];
        if (n.word("from") && !fromAt) fromAt = k;
        if (n.word("where")) whereAt = k;
        if (n.word("order")) orderAt = k;
        if (n.word("group") || n.word("having")) unsupported(form + " over an aggregate subquery");
        if (n.word("union") || n.word("except") || n.word("intersect"))
            unsupported(form + " over a subquery combined with UNION");
        if (k < fromAt || !fromAt) {
            if (isAggregate(n) && k + 1 < sub.size() && sub[k + 1].group)
                unsupported(form + " over an aggregate subquery");
        }
    }
    if (!fromAt) unsupported(form + " over a subquery without FROM");
    if (ties && !orderAt) unsupported(form + " over a subquery with TOP ... WITH TIES without ORDER BY");
    const std::size_t fromEnd = whereAt ? whereAt : orderAt ? orderAt : sub.size();
    const std::size_t whereEnd = orderAt ? orderAt : sub.size();
    const std::vector<std::string> inner = factorNames(sub, fromAt + 1, fromEnd);
    if (mentionsOuter(sub, listAt, fromAt, outer, inner) ||
        mentionsOuter(sub, fromAt, fromEnd, outer, inner) ||
        (orderAt && mentionsOuter(sub, orderAt, sub.size(), outer, inner)))
        unsupported(form + " over a subquery that uses the outer columns outside its WHERE");

    // the WHERE's conditions: kept, or equalities that correlate (inner side, outer side)
    std::vector<Span> kept;
    std::vector<std::pair<Span, Span>> keys;
    bool general = false;  // a correlation other than equalities: the subquery picks each row's rows
    if (whereAt) {
        for (const Span& c : conjuncts(sub, whereAt + 1, whereEnd)) {
            if (!mentionsOuter(sub, c.first, c.second, outer, inner)) {
                kept.push_back(c);
                continue;
            }
            std::size_t eq = c.first;
            while (eq < c.second && !sub[eq].op("=")) ++eq;
            const Span left{c.first, eq}, right{eq + 1, c.second};
            const bool leftOuter = eq < c.second && mentionsOuter(sub, left.first, left.second, outer, inner);
            const bool rightOuter =
                eq < c.second && mentionsOuter(sub, right.first, right.second, outer, inner);
            const Span outerSide = leftOuter ? left : right, innerSide = leftOuter ? right : left;
            const Reference ref =
                outerSide.first < outerSide.second ? referenceAt(sub, outerSide.first) : Reference{};
            if (eq == c.second || leftOuter == rightOuter || ref.length != 3 ||
                outerSide.second - outerSide.first != 3 || innerSide.first == innerSide.second) {
                general = true;
                continue;
            }
            keys.emplace_back(innerSide, outerSide);
        }
    }
    if (general)
        return pickedJoin(sub, {listAt, fromAt, fromEnd, orderAt}, ties ? top : "", alias, outerApply, form);

    Nodes sel;
    append(sel, sub, 0, 1);
    if (keys.empty() && !top.empty()) {
        append(sel, sub, 1, sub.size());  // not correlated: TOP stays a limit of its own
    } else {
        append(sel, sub, listAt, fromAt);
        for (std::size_t j = 0; j < keys.size(); ++j) {
            sel.push_back(tokenNode(TokenKind::Operator, ",", false));
            append(sel, sub, keys[j].first.first, keys[j].first.second);
            sel[sel.size() - (keys[j].first.second - keys[j].first.first)].tok.spaceBefore = true;
            sel.push_back(wordNode("as"));
            sel.push_back(nameNode("palvo_key" + std::to_string(j + 1)));
        }
        if (!top.empty()) {
            // the rows of each key in the subquery's order, rendered here as SQLite reads them
            std::string partition;
            for (std::size_t j = 0; j < keys.size(); ++j)
                partition += (j ? ", " : "") + trimLead(seq(sub, keys[j].first.first, keys[j].first.second));
            const std::string order = orderAt ? seq(sub, orderAt, sub.size()) : std::string();
            sel.push_back(tokenNode(TokenKind::Operator, ",", false));
            sel.push_back(tokenNode(TokenKind::Word, std::string(ties ? "rank()" : "row_number()") +
                                                         " over (partition by " + partition + order + ")"));
            sel.push_back(wordNode("as"));
            sel.push_back(nameNode("palvo_row"));
        }
        append(sel, sub, fromAt, fromEnd);
        for (std::size_t j = 0; j < kept.size(); ++j) {
            sel.push_back(wordNode(j ? "and" : "where"));
            sel.push_back(groupOf(Nodes(sub.begin() + static_cast<std::ptrdiff_t>(kept[j].first),
                                        sub.begin() + static_cast<std::ptrdiff_t>(kept[j].second)),
                                  true));
            if (!sel.back().kids.empty()) sel.back().kids[0].tok.spaceBefore = false;
        }
    }
    sel[0].tok.spaceBefore = false;
    Nodes join = applyJoinHead(outerApply, std::move(sel), alias);
    auto aliased = [&](const std::string& column) {
        join.push_back(alias);
        join.back().tok.spaceBefore = true;
        join.push_back(tokenNode(TokenKind::Operator, ".", false));
        join.push_back(tokenNode(TokenKind::Name, column, false));
    };
    for (std::size_t j = 0; j < keys.size(); ++j) {
        if (j) join.push_back(wordNode("and"));
        aliased("palvo_key" + std::to_string(j + 1));
        join.push_back(tokenNode(TokenKind::Operator, "="));
        append(join, sub, keys[j].second.first, keys[j].second.second);
        join[join.size() - 3].tok.spaceBefore = true;
    }
    if (!top.empty() && !keys.empty()) {
        join.push_back(wordNode("and"));
        aliased("palvo_row");
        join.push_back(tokenNode(TokenKind::Operator, "<="));
        join.push_back(tokenNode(TokenKind::Number, top));
    }
    if (keys.empty()) append(join, fragment(" 1 = 1"));
    return join;
}

// APPLY over a subquery of one table correlated otherwise than by equalities (the
// latest price on or before each order's date): SQLite has no LATERAL, so the join
// takes the table's rows whose rowid the subquery itself picks for the outer row,
// `join (select <list>, t.rowid as palvo_rowid from t) as x on x.palvo_rowid in
// (select [top n] tsql_picked_row(t.rowid, 't') from t where ... [order by ...])`: its TOP, ORDER BY and
// conditions as written, evaluated for each outer row as SQL Server evaluates them.
Nodes Rewriter::pickedJoin(const Nodes& sub, const SubqueryParts& at, const std::string& ties,
                           const Node& alias, bool outerApply, const std::string& form) {
    const std::string why = form + " over a subquery whose correlation is not an equality";
    const std::size_t listAt = at.list, fromAt = at.from, fromEnd = at.fromEnd;
    // one table, [schema.]name [[as] alias]: its rowid names each row
    std::size_t k = fromAt + 1;
    if (k >= fromEnd || !sub[k].isName()) unsupported(why + ", over anything but one table");
    while (k + 2 < fromEnd && sub[k + 1].op(".") && sub[k + 2].isName()) k += 2;
    const std::string name = sub[k].tok.text;
    Node table = sub[k++];
    if (k < fromEnd && sub[k].word("as")) ++k;
    if (k < fromEnd && sub[k].isName() &&
        !(sub[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(sub[k].tok.text))))
        table = sub[k++];
    if (k != fromEnd) unsupported(why + ", over anything but one table");
    auto rowid = [&](Nodes& to) {
        to.push_back(table);
        to.back().tok.spaceBefore = true;
        to.push_back(tokenNode(TokenKind::Operator, ".", false));
        to.push_back(tokenNode(TokenKind::Word, "rowid", false));
    };
    Nodes sel{wordNode("select")};
    append(sel, sub, listAt, fromAt);
    sel.push_back(tokenNode(TokenKind::Operator, ",", false));
    rowid(sel);
    sel.push_back(wordNode("as"));
    sel.push_back(nameNode("palvo_rowid"));
    append(sel, sub, fromAt, fromEnd);
    sel[0].tok.spaceBefore = false;
    // a view's rows have no rowid (Null): picking one fails rather than match nothing
    Nodes picked;
    rowid(picked);
    picked.push_back(tokenNode(TokenKind::Operator, ",", false));
    picked.push_back(tokenNode(TokenKind::String, name));
    picked[0].tok.spaceBefore = false;
    Nodes pick;
    if (ties.empty()) {
        append(pick, sub, 0, listAt);
        pick.push_back(tokenNode(TokenKind::Word, "tsql_picked_row"));
        pick.push_back(groupOf(std::move(picked), false));
        append(pick, sub, fromAt, sub.size());
    } else {
        // TOP n WITH TIES: the rows ranked n or better by its ORDER BY
        Nodes ranked{
            wordNode("select"),
            tokenNode(TokenKind::Word, "tsql_picked_row"),
            groupOf(std::move(picked), false),
            wordNode("as"),
            nameNode("palvo_rid"),
            tokenNode(TokenKind::Operator, ",", false),
            tokenNode(TokenKind::Word, "rank() over (" + trimLead(seq(sub, at.order, sub.size())) + ")"),
            wordNode("as"),
            nameNode("palvo_rank")};
        append(ranked, sub, fromAt, at.order);
        ranked[0].tok.spaceBefore = false;
        pick = Nodes{wordNode("select"),
                     nameNode("palvo_rid"),
                     wordNode("from"),
                     groupOf(std::move(ranked), true),
                     wordNode("where"),
                     nameNode("palvo_rank"),
                     tokenNode(TokenKind::Operator, "<="),
                     tokenNode(TokenKind::Number, ties)};
    }
    pick[0].tok.spaceBefore = false;

    Nodes join = applyJoinHead(outerApply, std::move(sel), alias);
    join.push_back(alias);
    join.back().tok.spaceBefore = true;
    join.push_back(tokenNode(TokenKind::Operator, ".", false));
    join.push_back(tokenNode(TokenKind::Name, "palvo_rowid", false));
    join.push_back(wordNode("in"));
    join.push_back(groupOf(std::move(pick), true));
    return join;
}

// The columns of the table factor [b, e) (a table the catalogue knows, or a
// derived table naming its columns), in order when `ordered` is asked for.
std::vector<std::string> Rewriter::factorColumns(const Nodes& q, std::size_t b, std::size_t e,
                                                 const char* form, bool ordered) {
    if (b < e && q[b].group) {
        if (!isSubquery(q[b])) unsupported(std::string(form) + " of '" + trimLead(plain(q, b, e)) + "'");
        return derivedColumns(q[b].kids, form);
    }
    std::size_t k = b;
    while (k + 2 < e && q[k + 1].op(".") && q[k + 2].isName()) k += 2;
    const Catalogue::Columns* cols =
        k < e && q[k].isName() && catalogue_ ? source(asciiLower(q[k].tok.text), {}).columns : nullptr;
    if (!cols)
        unsupported(std::string(form) + " of '" + trimLead(plain(q, b, e)) +
                    "', whose columns are not known here (name them in a derived table)");
    if (ordered)
        unsupported(std::string("SELECT * of a ") + form +
                    " of a table (name its columns, or pivot a derived table)");
    std::vector<std::string> names;
    for (const auto& c : *cols) names.push_back(c.first);
    std::sort(names.begin(), names.end());
    return names;
}

// src PIVOT (agg(v) FOR c IN ([x], [y])): (select <the other columns>, agg(case
// when c = x then v end) as [x], ... from src group by <the other columns>)
Node Rewriter::pivotTable(const Nodes& q, std::size_t b, std::size_t at, bool star) {
    const Nodes& p = q[at + 1].kids;
    if (p.size() != 6 || !p[0].isName() || !p[1].group || !p[2].word("for") || !p[3].isName() ||
        !p[4].word("in") || !p[5].group || p[5].kids.empty())
        unsupported("this form of PIVOT");
    const Nodes& arg = p[1].kids;
    if (arg.size() != 1 || !arg[0].isName()) unsupported("PIVOT of anything but one column");
    const std::string value = arg[0].tok.text, column = p[3].tok.text;
    std::vector<std::string> grouped;
    for (auto& c : factorColumns(q, b, at, "PIVOT", star)) {
        if (!sameName(c, value) && !sameName(c, column)) grouped.push_back(c);
    }
    Nodes sel{wordNode("select")};
    auto groupList = [&](Nodes& to) {
        for (std::size_t g = 0; g < grouped.size(); ++g) {
            if (g) to.push_back(tokenNode(TokenKind::Operator, ",", false));
            to.push_back(nameNode(grouped[g]));
        }
    };
    groupList(sel);
    bool first = grouped.empty();
    for (const Span& v : splitCommas(p[5].kids, 0, p[5].kids.size())) {
        if (v.second != v.first + 1 || !p[5].kids[v.first].isName())
            unsupported("this form of PIVOT's IN list");
        const std::string name = p[5].kids[v.first].tok.text;
        if (!first) sel.push_back(tokenNode(TokenKind::Operator, ",", false));
        first = false;
        Node agg = p[0];
        agg.tok.spaceBefore = true;
        sel.push_back(std::move(agg));
        Nodes inCase{wordNode("case"), wordNode("when")};
        append(inCase, pivotTest(nameNode(column), name));
        append(inCase, Nodes{wordNode("then"), nameNode(value), wordNode("end")});
        inCase[0].tok.spaceBefore = false;
        sel.push_back(groupOf(std::move(inCase), false));
        sel.push_back(wordNode("as"));
        sel.push_back(nameNode(name));
    }
    sel.push_back(wordNode("from"));
    append(sel, q, b, at);
    if (!grouped.empty()) {
        sel.push_back(wordNode("group"));
        sel.push_back(wordNode("by"));
        groupList(sel);
    }
    sel[0].tok.spaceBefore = false;
    return groupOf(std::move(sel), true);
}

// src UNPIVOT (v FOR c IN (x, y)): (select <the other columns>, N'x' as c, x as v
// from src where x is not null union all ...), rows of Null left out as SQL Server does.
Node Rewriter::unpivotTable(const Nodes& q, std::size_t b, std::size_t at) {
    const Nodes& p = q[at + 1].kids;
    if (p.size() != 5 || !p[0].isName() || !p[1].word("for") || !p[2].isName() || !p[3].word("in") ||
        !p[4].group || p[4].kids.empty())
        unsupported("this form of UNPIVOT");
    std::vector<std::string> listed;
    for (const Span& v : splitCommas(p[4].kids, 0, p[4].kids.size())) {
        if (v.second != v.first + 1 || !p[4].kids[v.first].isName())
            unsupported("this form of UNPIVOT's IN list");
        listed.push_back(p[4].kids[v.first].tok.text);
    }
    std::vector<std::string> kept;
    for (auto& c : factorColumns(q, b, at, "UNPIVOT", false)) {
        if (std::none_of(listed.begin(), listed.end(), [&](const std::string& l) { return sameName(c, l); }))
            kept.push_back(c);
    }
    Nodes all;
    for (std::size_t m = 0; m < listed.size(); ++m) {
        if (m) {
            all.push_back(wordNode("union"));
            all.push_back(wordNode("all"));
        }
        all.push_back(wordNode("select"));
        for (const auto& c : kept) {
            all.push_back(nameNode(c));
            all.push_back(tokenNode(TokenKind::Operator, ",", false));
        }
        // the names are nvarchar of the database's collation
        all.push_back(tokenNode(TokenKind::NString, listed[m]));
        all.push_back(wordNode("collate"));
        all.push_back(tokenNode(TokenKind::Word, "Chinese_PRC_CI_AS"));
        all.push_back(wordNode("as"));
        all.push_back(nameNode(p[2].tok.text));
        all.push_back(tokenNode(TokenKind::Operator, ",", false));
        all.push_back(nameNode(listed[m]));
        all.push_back(wordNode("as"));
        all.push_back(nameNode(p[0].tok.text));
        all.push_back(wordNode("from"));
        append(all, q, b, at);
        all.push_back(wordNode("where"));
        all.push_back(nameNode(listed[m]));
        all.push_back(wordNode("is"));
        all.push_back(wordNode("not"));
        all.push_back(wordNode("null"));
    }
    all[0].tok.spaceBefore = false;
    return groupOf(std::move(all), true);
}

Nodes Rewriter::groupingSetsQuery(const Nodes& q, std::size_t groupAt) {
    std::size_t fromAt = 0, fromEnd = groupAt;
    for (std::size_t k = 1; k < groupAt; ++k) {
        if (!fromAt && q[k].word("from")) fromAt = k;
        if (fromAt && q[k].word("where")) {
            fromEnd = k;
            break;
        }
    }
    if (!fromAt) unsupported(std::string(kGroupingForms) + " without FROM");
    const std::size_t listEnd = groupByEnd(q, groupAt + 2);
    GroupingSets sets(q);
    sets.read(groupAt + 2, listEnd);
    const GroupingQuery g(q, sets);

    const std::size_t head = listStart(q, fromAt);
    Nodes out;
    append(out, q, 0, std::min(head, fromAt));
    g.selectList(std::min(head, fromAt), fromAt, out);
    append(out, q, fromAt, fromEnd);
    append(out, g.setsTable());
    append(out, q, fromEnd, groupAt);
    append(out, g.groupBy());
    std::size_t orderAt = listEnd;
    while (orderAt < q.size() && !q[orderAt].word("order")) ++orderAt;
    g.substitute(q, listEnd, orderAt, out);
    const std::vector<std::string> aliases = listAliases(q, std::min(head, fromAt), fromAt);
    g.substitute(q, orderAt, q.size(), out, &aliases);
    return out;
}

}  // namespace Palvo::dialect
