// Grouping sets (ROLLUP, CUBE, GROUPING SETS), PIVOT and UNPIVOT, CROSS and OUTER APPLY.
// SQLite has none of them: the select is rewritten into one it runs with the same
// rows, and that is rendered as any other.
#include <algorithm>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

const Catalogue::Columns* groupingSetsColumns() {
    static const Catalogue::Columns none;
    return &none;
}

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
    void substitute(const Nodes& ns, std::size_t b, std::size_t e, Nodes& out) const {
        for (std::size_t k = b; k < e;) {
            const Node& n = ns[k];
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
            throw Error(ErrorNumber::Database, std::string("The ") + (id ? "grouping_id" : "grouping") +
                                                   " function requires " + (id ? "at least 1" : "1") +
                                                   " argument" + (id ? "s." : "."));
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

}  // namespace

// The select [b, e) rewritten and rendered, when it has forms SQLite lacks.
bool Rewriter::groupingForms(const Nodes& ns, std::size_t b, std::size_t e, std::string& out) {
    if (b >= e || !ns[b].word("select")) return false;
    std::size_t groupAt = 0;
    bool compound = false;
    for (std::size_t k = b + 1; k < e; ++k) {
        const Node& n = ns[k];
        if (n.group || n.tok.kind != TokenKind::Word) continue;
        if (n.word("union") || n.word("except") || n.word("intersect")) compound = true;
        if (!groupAt && n.word("group") && k + 2 < e && ns[k + 1].word("by") && hasGroupingSets(ns, k + 2, e))
            groupAt = k;
    }
    if (!groupAt) return false;
    if (compound) unsupported(std::string(kGroupingForms) + " in a query combined with UNION");
    Nodes q(ns.begin() + static_cast<std::ptrdiff_t>(b), ns.begin() + static_cast<std::ptrdiff_t>(e));
    groupAt -= b;
    q = groupingSetsQuery(q, groupAt);
    const Nodes* top = topNodes_;
    if (&ns == topNodes_) topNodes_ = &q;
    try {
        out = seq(q, 0, q.size());
    } catch (...) {
        topNodes_ = top;
        throw;
    }
    topNodes_ = top;
    return true;
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

    // select [distinct] [top n [percent] [with ties]]
    std::size_t head = 1;
    if (head < fromAt && (q[head].word("distinct") || q[head].word("all"))) ++head;
    if (head < fromAt && q[head].word("top")) {
        head += 2;
        if (head < fromAt && q[head].word("percent")) ++head;
        if (head + 1 < fromAt && q[head].word("with") && q[head + 1].word("ties")) head += 2;
    }
    Nodes out;
    append(out, q, 0, std::min(head, fromAt));
    g.selectList(std::min(head, fromAt), fromAt, out);
    append(out, q, fromAt, fromEnd);
    append(out, g.setsTable());
    append(out, q, fromEnd, groupAt);
    append(out, g.groupBy());
    g.substitute(q, listEnd, q.size(), out);
    return out;
}

}  // namespace Palvo::dialect
