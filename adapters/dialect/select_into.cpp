// SELECT ... INTO T: the table made with the columns the select list gives, of
// the types SQL Server gives them, then filled by the query. Made through the
// CREATE TABLE translation, the new table has what a declared one has: its text
// collation, its exact decimals, its checks and date triggers.
#include <algorithm>

#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

bool endsList(const Node& n) {
    static constexpr std::string_view kEnds[] = {"from",  "where",  "group",     "having", "order",
                                                 "union", "except", "intersect", "option"};
    if (n.group || n.tok.kind != TokenKind::Word) return false;
    return std::any_of(std::begin(kEnds), std::end(kEnds), [&n](std::string_view w) { return n.word(w); });
}

std::string bracketed(std::string_view name) {
    std::string r = "[";
    for (char c : name) r += c == ']' ? std::string("]]") : std::string(1, c);
    return r + "]";
}

// The name an item of the select list gives its column, as written: `alias =
// value`'s alias, else its last name (an alias, or the column it reads).
std::string writtenName(const Nodes& q, Span item) {
    const auto [b, e] = item;
    if (e - b >= 2 && q[b].isName() && q[b + 1].op("=")) return q[b].tok.text;
    return e > b && q[e - 1].isName() ? q[e - 1].tok.text : std::string();
}

bool isStar(const Nodes& q, Span item) {
    const auto [b, e] = item;
    return e > b && q[e - 1].op("*") && (e - b == 1 || (e - b == 3 && q[b].isName() && q[b + 1].op(".")));
}

}  // namespace

bool selectsInto(std::string_view tsql) {
    const ReadBatch batch = readBatch(tsql);
    if (batch.statements.size() != 1 || batch.statements[0].kind != StatementKind::Select) return false;
    const Nodes& ns = batch.statements[0].nodes;
    return intoAt(ns, 0, ns.size()) < ns.size();
}

bool outputsInto(std::string_view tsql) {
    const ReadBatch batch = readBatch(tsql);
    if (batch.statements.size() != 1) return false;
    const ReadStatement& s = batch.statements[0];
    if (s.kind != StatementKind::Insert && s.kind != StatementKind::Update && s.kind != StatementKind::Delete)
        return false;
    const Nodes& ns = s.nodes;
    std::size_t k = 1;
    while (k < ns.size() && !ns[k].word("output")) ++k;
    // the OUTPUT list ends where the rest of the statement begins
    for (++k; k < ns.size(); ++k) {
        for (const char* w : {"values", "select", "default", "from", "where", "exec", "execute"})
            if (ns[k].word(w)) return false;
        if (ns[k].word("into")) return true;
    }
    return false;
}

std::size_t listStart(const Nodes& q, std::size_t e) {
    std::size_t i = 1;
    if (i < e && (q[i].word("distinct") || q[i].word("all"))) ++i;
    if (i < e && q[i].word("top")) {
        i += 2;
        if (i < e && q[i].word("percent")) ++i;
        if (i + 1 < e && q[i].word("with") && q[i + 1].word("ties")) i += 2;
    }
    return i;
}

std::size_t intoAt(const Nodes& ns, std::size_t b, std::size_t e) {
    if (b >= e || !ns[b].word("select")) return e;
    // most queries have no INTO at their level: one look for it first
    const auto first = ns.begin() + static_cast<std::ptrdiff_t>(b) + 1;
    const auto end = ns.begin() + static_cast<std::ptrdiff_t>(e);
    const auto into = std::find_if(first, end, [](const Node& n) { return n.word("into"); });
    if (into == end) return e;
    // the INTO of a later member of a UNION is SQL Server's error 196 on its own
    if (std::any_of(first, into, endsList)) {
        throw Error(ErrorNumber::Database,
                    "SELECT INTO must be the first query in a statement containing a UNION, "
                    "INTERSECT or EXCEPT operator.",
                    196);
    }
    return static_cast<std::size_t>(into - ns.begin());
}

bool Rewriter::expandStars(Nodes& q) {
    const std::size_t start = listStart(q, q.size());
    std::size_t end = start;
    while (end < q.size() && !endsList(q[end])) ++end;
    const std::vector<Span> items = splitCommas(q, start, end);
    if (std::none_of(items.begin(), items.end(), [&](Span item) { return isStar(q, item); })) return true;
    const Scope scope = fromScope(q, start, q.size());
    Nodes list;
    const auto comma = [&list] {
        if (!list.empty()) list.push_back(tokenNode(TokenKind::Operator, ",", false));
    };
    for (const Span& item : items) {
        if (!isStar(q, item)) {
            comma();
            list.insert(list.end(), q.begin() + static_cast<std::ptrdiff_t>(item.first),
                        q.begin() + static_cast<std::ptrdiff_t>(item.second));
            continue;
        }
        const std::string qualifier = item.second - item.first == 3 ? asciiLower(q[item.first].tok.text) : "";
        bool any = false;
        for (const Source& s : scope) {
            if (!qualifier.empty() && s.name != qualifier) continue;
            if (!s.order || s.name.empty()) return false;
            const bool declared = s.names && s.names->size() == s.order->size();
            for (std::size_t c = 0; c < s.order->size(); ++c) {
                comma();
                list.push_back(tokenNode(TokenKind::Name, s.name));
                list.push_back(tokenNode(TokenKind::Operator, ".", false));
                list.push_back(tokenNode(TokenKind::Name, declared ? (*s.names)[c] : (*s.order)[c], false));
                any = true;
            }
        }
        if (!any) return false;
    }
    q.erase(q.begin() + static_cast<std::ptrdiff_t>(start), q.begin() + static_cast<std::ptrdiff_t>(end));
    q.insert(q.begin() + static_cast<std::ptrdiff_t>(start), list.begin(), list.end());
    return true;
}

Translation Rewriter::selectInto(const Nodes& ns, std::size_t into) {
    if (into + 1 >= ns.size() || !ns[into + 1].isName())
        unsupported("SELECT ... INTO without a table's name");
    if (into + 2 < ns.size() && ns[into + 2].op("."))
        unsupported("SELECT ... INTO a table of another database or schema");
    const std::string table(temporaryName(ns[into + 1].tok.text));
    Nodes q(ns.begin(), ns.begin() + static_cast<std::ptrdiff_t>(into));
    q.insert(q.end(), ns.begin() + static_cast<std::ptrdiff_t>(into) + 2, ns.end());
    if (q.size() < 2) unsupported("SELECT ... INTO without a select list");

    std::vector<std::pair<std::string, std::string>> columns;
    const bool told = expandStars(q) && selectListTypes(q, 0, q.size(), columns);
    const std::size_t start = listStart(q, q.size());
    std::size_t end = start;
    while (end < q.size() && !endsList(q[end])) ++end;
    const std::vector<Span> items = splitCommas(q, start, end);

    std::string create, names;
    bool typed = told && !columns.empty();
    for (std::size_t c = 0; typed && c < columns.size(); ++c) {
        std::string name = c < items.size() ? writtenName(q, items[c]) : "";
        if (asciiLower(name) != columns[c].first) name = columns[c].first;
        if (name.empty()) {
            throw Error(
                ErrorNumber::Database,
                "An object or column name is missing or empty. For SELECT INTO statements, verify each "
                "column has a name. For other statements, look for empty alias names. Aliases defined "
                "as \"\" or [] are not allowed. Change the alias to a valid name.",
                1038);
        }
        typed = !columns[c].second.empty();
        if (!typed && !catalogueMissed_) {
            unsupported("SELECT ... INTO with the column " + name +
                        " whose type the statement does not tell (give it with CAST)");
        }
        create += (c ? ", " : "") + bracketed(name) + " " + columns[c].second;
        names += (c ? ", " : "") + quoteName(name);
    }
    Translation tr;
    if (!typed) {
        // a table it reads is not there: the batch may make it before this runs, and the statement is
        // translated again then; run as it is, the query fails as SQL Server's does (208)
        if (!catalogueMissed_) unsupported("SELECT ... INTO with columns the statement does not tell");
        tr.statements.push_back(seq(q, 0, q.size()));
        return tr;
    }
    create = "create table " + bracketed(table) + " (" + create;
    create += ")";
    const ReadBatch made = readBatch(create);
    tr = createTable(made.statements.at(0).nodes);
    tr.statements.push_back("insert into " + quoteName(table) + " (" + names + ")" + seq(q, 0, q.size()));
    // the rows affected are the INSERT's, which reads the batch's variables
    tr.countsEvery = true;
    tr.parameterStatement = tr.statements.size() - 1;
    return tr;
}

}  // namespace Palvo::dialect
