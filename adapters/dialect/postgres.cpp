// The PostgreSQL target: T-SQL read into the reader's tree, rendered for
// PostgreSQL 15. PostgreSQL types every expression itself, so most of SQL
// Server's meaning comes from the schema `palvo` the connection installs
// (postgres_runtime.cpp): T-SQL's functions under their own names, '+' on
// text, @@IDENTITY. What is rendered here is what PostgreSQL spells otherwise:
// names, types, TOP, identities, table hints, the parts of a date.
#include "postgres.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "batch_functions.h"
#include "palvo/dialect/target.h"
#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

[[noreturn]] void refuse(const std::string& construct) {
    throw Error(ErrorNumber::NotSupported, "Not supported on PostgreSQL: " + construct + ".");
}

// SQL Server compares names without regard to case, PostgreSQL folds the ones it is
// given unquoted to lower case: a bracketed name is quoted as it folds.
// A temporary table (#t) keeps its '#': PostgreSQL's temporary tables are the session's own, as #t is
// the connection's.
std::string pgName(std::string_view name) {
    if (name.starts_with("##")) refuse("global temporary table " + std::string(name));
    // SQL Server's catalogue views, which the reader gives as one name: the schema palvo's views
    static constexpr std::string_view views[] = {"sys.objects",
                                                 "sys.tables",
                                                 "sys.views",
                                                 "sys.columns",
                                                 "sys.types",
                                                 "sys.indexes",
                                                 "information_schema.tables",
                                                 "information_schema.columns",
                                                 "information_schema.views"};
    if (std::find(std::begin(views), std::end(views), name) != std::end(views))
        return "palvo." + quoteName(name);
    return quoteName(asciiLower(name));
}

// What a batch knows of its connection, which the statement reads as a parameter its port binds
// (Translation::variables names it so): the value T-SQL's function gives, of its type.
const char* sessionValueType(std::string_view name) {
    static constexpr struct {
        std::string_view name;
        const char* type;
    } values[] = {{"@@trancount", "integer"},
                  {"@@error", "integer"},
                  {"@@rowcount", "integer"},
                  {"@@fetch_status", "integer"},
                  {"@@cursor_rows", "integer"},
                  {"@@nestlevel", "integer"},
                  {"error_number()", "integer"},
                  {"error_severity()", "integer"},
                  {"error_state()", "integer"},
                  {"error_line()", "integer"},
                  {"error_message()", "varchar(4000)"},
                  {"error_procedure()", "varchar(128)"},
                  {"xact_state()", "smallint"}};
    for (const auto& v : values) {
        if (v.name == name) return v.type;
    }
    return nullptr;
}

// Text columns compare and sort as Chinese_PRC_CI_AS does: by pinyin, Latin letters first, without
// regard to case.
constexpr std::string_view kTextCollation = " collate \"palvo\".\"zh\"";

// Functions PostgreSQL has under T-SQL's name with T-SQL's meaning, and the ones
// the schema `palvo` defines; the other names a host may call are renamed.
bool sameFunction(std::string_view fn) {
    static constexpr std::string_view names[] = {
        "count", "sum", "min", "max", "avg", "abs", "upper", "lower", "ltrim", "rtrim", "left", "right",
        "substring", "replace", "round", "floor", "power", "sqrt", "sign", "exp", "coalesce", "nullif",
        "reverse", "row_number", "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value",
        "concat", "pi", "concat_ws", "trim",
        // the schema palvo's
        "len", "isnull", "getdate", "charindex", "datediff", "dateadd", "datepart", "year", "month", "day",
        "newid", "ceiling", "square", "space", "replicate", "object_name", "type_name", "object_id",
        "scope_identity", "str", "patindex", "stuff", "iif", "eomonth", "log10", "ascii", "unicode", "char",
        "nchar", "quotename", "isnumeric", "translate", "col_length", "ident_current", "datefromparts",
        "string_split"};
    for (std::string_view n : names) {
        if (fn == n) return true;
    }
    return false;
}

// The functions of the schema palvo called under T-SQL's names, written with the schema's name: PostgreSQL
// has some of these names itself, and a host's search path may not hold the schema.
bool ownFunction(std::string_view fn) {
    static constexpr std::string_view names[] = {
        "len",           "isnull",       "charindex", "year",      "month",      "day",
        "newid",         "ceiling",      "square",    "space",     "replicate",  "object_name",
        "type_name",     "object_id",    "str",       "patindex",  "stuff",      "iif",
        "eomonth",       "log10",        "ascii",     "unicode",   "char",       "nchar",
        "round",         "quotename",    "isnumeric", "translate", "col_length", "ident_current",
        "datefromparts", "string_split", "power",     "sign",      "sum"};
    for (std::string_view n : names) {
        if (fn == n) return true;
    }
    return false;
}

// The PL/pgSQL function a user function whose body is statements is on the server: in a schema of
// its own, so that no name clashes with a table's or the library's, quoted as any name may need.
std::string userFunctionName(std::string_view name) {
    return "palvo_functions." + quoteName(asciiLower(name));
}

class PgRenderer {
public:
    using Types = std::unordered_map<std::string, std::string>;
    // `local`: the variables are a PL/pgSQL function's own, read by their names ("@n"), not bound
    explicit PgRenderer(const Types* variables = nullptr, bool local = false)
        : variables_(variables), local_(local) {}

    // The nodes [b, e) as an expression or a clause.
    std::string expression(const Nodes& ns, std::size_t b, std::size_t e) { return trimLead(seq(ns, b, e)); }
    // The PostgreSQL type of a T-SQL type as DECLARE gives it.
    static std::string typeOf(const std::string& type) { return variableType(type); }

    // The batch variables and session values the statement reads, in the order of its parameters.
    std::vector<std::string>& bound() { return bound_; }
    // Statements that run after the one rendered, without parameters.
    std::vector<std::string>& after() { return after_; }

    std::string statement(const ReadStatement& s) {
        if (!s.nodes.empty() && s.nodes[0].word("merge")) return merge(s.nodes);
        if ((s.kind == StatementKind::Update || s.kind == StatementKind::Delete) && s.nodes.size() > 1 &&
            s.nodes[1].word("top"))
            return topChange(s.nodes, s.kind == StatementKind::Update);
        if (s.kind == StatementKind::Insert || s.kind == StatementKind::Update ||
            s.kind == StatementKind::Delete) {
            if (std::string out; withOutput(s.nodes, s.kind, out)) return out;
            if (s.kind != StatementKind::Insert) return change(s.nodes, s.kind);
        }
        switch (s.kind) {
            case StatementKind::Select:
            case StatementKind::With:
                statementQuery_ = true;
                [[fallthrough]];
            case StatementKind::Insert:
            case StatementKind::Update:
            case StatementKind::Delete:
            case StatementKind::CreateView:
                return trimLead(seq(s.nodes, 0, s.nodes.size()));
            case StatementKind::Truncate:
                // SQL Server's TRUNCATE starts an identity again from its seed; PostgreSQL's only when told
                return trimLead(seq(s.nodes, 0, s.nodes.size())) + " restart identity";
            case StatementKind::CreateTable:
                return createTable(s.nodes);
            case StatementKind::CreateIndex:
                return createIndex(s.nodes);
            case StatementKind::AlterTableAdd:
                return alterTableAdd(s.nodes);
            case StatementKind::AlterTableColumn:
                return alterTableColumn(s.nodes);
            case StatementKind::Drop:
                return drop(s.nodes);
            default:
                break;
        }
        std::string words;
        for (std::size_t k = 0; k < s.nodes.size() && k < 2 && !s.nodes[k].group; ++k)
            words += (k ? " " : "") + (s.nodes[k].tok.kind == TokenKind::Word ? upper(s.nodes[k].tok.text)
                                                                              : s.nodes[k].tok.text);
        refuse("the statement " + words);
    }

private:
    static constexpr int kMaxDepth = 400;
    int depth_ = 0;
    const Types* variables_;
    bool local_;
    std::vector<std::string> bound_;
    std::vector<std::string> after_;
    bool targetAliased_ = false;   // change() named the changed table palvo_target
    bool statementQuery_ = false;  // the statement is a query, whose columns the host reads by name

    // A value bound in place, cast to its type: PostgreSQL would not know a parameter's type otherwise.
    std::string parameter(const std::string& name, const std::string& pgType) {
        bound_.push_back(name);
        return "cast(? as " + pgType + ")" + (textType(pgType) ? std::string(kTextCollation) : "");
    }

    // The PostgreSQL type of a variable's T-SQL type as DECLARE gives it ("varchar(10)").
    static std::string variableType(const std::string& type) {
        const ReadBatch read = readBatch("declare @v " + type);
        const Nodes& ns = read.statements.at(0).nodes;
        std::size_t k = 2;
        std::string pg = pgType(ns, k, ns.size(), false);
        if (k != ns.size()) refuse("a variable of the type " + type);
        return pg;
    }

    // the row lock the table hints of the query being rendered ask for
    enum class RowLock { None, Share, Update };
    RowLock lock_ = RowLock::None;

    struct Level {
        explicit Level(int& depth) : depth_(depth) {
            if (++depth_ > kMaxDepth) refuse("an expression nested this deeply");
        }
        ~Level() { --depth_; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
        int& depth_;
    };

    // The nodes [b, e) of one level. A SELECT's TOP n at this level becomes its LIMIT.
    std::string seq(const Nodes& ns, std::size_t b, std::size_t e) {
        const Level level(depth_);
        for (std::size_t k = b; k + 1 < e; ++k) {
            if (ns[k].word("for") && ns[k + 1].word("xml") && b < e && ns[b].word("select"))
                return forXml(ns, b, e, k, depth_ == 1);
        }
        const RowLock outerLock = std::exchange(lock_, RowLock::None);
        std::size_t topAt = e, topEnd = e;
        std::string limit;
        bool ties = false;
        for (std::size_t k = b; k + 1 < e; ++k) {
            if (!ns[k].word("select")) continue;
            std::size_t t = k + 1;
            if (t < e && (ns[t].word("distinct") || ns[t].word("all"))) ++t;
            if (t + 1 < e && ns[t].word("top")) {
                topAt = t;
                topEnd = t + 2;
                const Node& count = ns[t + 1];
                limit = count.group ? trimLead(seq(count.kids, 0, count.kids.size())) : renderAt(ns, t + 1);
                if (topEnd < e && ns[topEnd].word("percent")) refuse("TOP ... PERCENT");
                if (topEnd + 1 < e && ns[topEnd].word("with") && ns[topEnd + 1].word("ties")) {
                    // the rows tied with the last by the ORDER BY, which SQL Server asks for with it
                    ties = true;
                    topEnd += 2;
                }
            }
            break;
        }
        const Clauses clauses = findClauses(ns, b, e);
        // FROM source PIVOT (...) alias | UNPIVOT (...) alias: the source's rows regrouped, in its place
        std::size_t pivotFrom = e, pivotEnd = e;
        std::string pivoted;
        for (std::size_t k = b + 1; k + 1 < e; ++k) {
            if (!(ns[k].word("pivot") || ns[k].word("unpivot")) || !ns[k + 1].group) continue;
            pivotFrom = k;
            while (pivotFrom > b && !ns[pivotFrom - 1].word("from")) --pivotFrom;
            pivotEnd = k + 2;
            if (pivotEnd < e && ns[pivotEnd].word("as")) ++pivotEnd;
            if (pivotFrom == b || pivotEnd >= e || !ns[pivotEnd].isName())
                refuse(upper(ns[k].tok.text) + " without a source after FROM and an alias");
            pivoted = pivot(ns, pivotFrom, k, ns[pivotEnd]);
            ++pivotEnd;
            break;
        }
        if (ties && clauses.orderItems.empty()) refuse("TOP ... WITH TIES without ORDER BY");
        if (topAt != e) {
            for (std::size_t k = b; k < e; ++k) {
                if (ns[k].word("union") || ns[k].word("except") || ns[k].word("intersect"))
                    refuse("TOP in a query with " + upper(ns[k].tok.text));
            }
        }
        const std::vector<Span> aliased = aliasedItems(ns, b, e);
        const std::vector<std::size_t> unnamed =
            statementQuery_ && depth_ == 1 ? unnamedItems(ns, b, e) : std::vector<std::size_t>{};
        std::size_t nextAlias = 0, nextOrder = 0, nextUnnamed = 0;
        std::string out;
        for (std::size_t k = b; k < e;) {
            if (k == topAt) {
                k = topEnd;
                continue;
            }
            if (nextAlias < aliased.size() && k == aliased[nextAlias].first) {
                // name = value: the value, named
                const auto [item, end] = aliased[nextAlias++];
                for (std::size_t v = item + 2; v < end;) node(out, ns, v, end);
                put(out, "as " + renderAt(ns, item), true);
                k = end;
                continue;
            }
            if (k == pivotFrom) {
                put(out, pivoted, ns[k].tok.spaceBefore);
                k = pivotEnd;
                continue;
            }
            if (k == clauses.rollupAt) {
                // GROUP BY a, b WITH ROLLUP | CUBE: rollup(a, b)
                put(out, clauses.rollupWord + "(", ns[k].tok.spaceBefore);
                for (std::size_t v = k; v < clauses.rollupEnd;) node(out, ns, v, clauses.rollupEnd);
                out += ")";
                k = clauses.rollupEnd + 2;
                continue;
            }
            node(out, ns, k, e);
            if (nextUnnamed < unnamed.size() && k >= unnamed[nextUnnamed]) {
                out += std::string(" as ") + quoteName(kUnnamedColumn);
                ++nextUnnamed;
            }
            if (nextOrder < clauses.orderItems.size() && k >= clauses.orderItems[nextOrder]) {
                out += ns[clauses.orderItems[nextOrder] - 1].word("desc") ? " nulls last" : " nulls first";
                ++nextOrder;
            }
        }
        if (ties)
            out += " fetch first (" + limit + ") rows with ties";
        else if (!limit.empty())
            out += " limit " + limit;
        if (lock_ != RowLock::None) {
            bool query = false;
            for (std::size_t k = b; k < e && !query; ++k) query = ns[k].word("select");
            if (!query) refuse("the table hints UPDLOCK, XLOCK and HOLDLOCK outside a SELECT's own FROM");
            out += lock_ == RowLock::Update ? " for update" : " for share";
        }
        lock_ = outerLock;
        return out;
    }

    // SELECT ... FOR XML PATH('p') [, ROOT('r')] [, TYPE]: the rows' text joined in their order, each a <p>
    // element (none for PATH('')) holding a named column's value as an element of its name (none for NULL)
    // and an unnamed one's as text, &, < and > and control characters written as entities. The statement's
    // one column has SQL Server's name, and no row when the query has none.
    std::string forXml(const Nodes& ns, std::size_t b, std::size_t e, std::size_t forAt, bool statement) {
        std::size_t k = forAt + 2;
        const auto literal = [&](std::size_t at, const char* what) {
            if (at >= e || !ns[at].group || ns[at].kids.size() > 1 ||
                (ns[at].kids.size() == 1 && ns[at].kids[0].tok.kind != TokenKind::String &&
                 ns[at].kids[0].tok.kind != TokenKind::NString))
                refuse(std::string("FOR XML ") + what + " without a name in quotes");
            return ns[at].kids.empty() ? std::string() : ns[at].kids[0].tok.text;
        };
        if (k >= e || !ns[k].word("path")) refuse("FOR XML other than PATH");
        const std::string row = k + 1 < e && ns[k + 1].group ? literal(k + 1, "PATH") : "row";
        k += k + 1 < e && ns[k + 1].group ? 2 : 1;
        std::string root;
        for (; k < e; ++k) {
            if (ns[k].op(",") || ns[k].word("type")) continue;
            if (!ns[k].word("root")) refuse("FOR XML PATH ... " + upper(ns[k].tok.text));
            root = k + 1 < e && ns[k + 1].group ? literal(++k, "ROOT") : "root";
        }
        std::size_t listEnd = b + 1, orderAt = forAt;
        while (listEnd < forAt &&
               !(ns[listEnd].word("from") || ns[listEnd].word("where") || ns[listEnd].word("group") ||
                 ns[listEnd].word("having") || ns[listEnd].word("order")))
            ++listEnd;
        for (std::size_t o = listEnd; o + 1 < forAt; ++o) {
            if (ns[o].word("order") && ns[o + 1].word("by")) orderAt = o;
        }
        if (b + 1 < listEnd && (ns[b + 1].word("top") || ns[b + 1].word("distinct")))
            refuse("FOR XML PATH of a query with " + upper(ns[b + 1].tok.text));
        std::string rowText = row.empty() ? "" : quoteString("<" + row + ">");
        for (const auto& [ib, ie] : splitCommas(ns, b + 1, listEnd)) {
            std::size_t valueEnd = ie;
            const std::string name = xmlItemName(ns, ib, ie, valueEnd);
            const std::size_t valueBegin = valueEnd < ie || ie - ib < 3 || !ns[ib + 1].op("=") ? ib : ib + 2;
            const std::string value = "palvo.xml_text(" + trimLead(seq(ns, valueBegin, valueEnd)) + ")";
            const std::string piece = name.empty() ? value
                                                   : quoteString("<" + name + ">") + " || " + value + " || " +
                                                         quoteString("</" + name + ">");
            rowText += (rowText.empty() ? "" : " || ") + ("coalesce(" + piece + ", '')");
        }
        if (!row.empty()) rowText += " || " + quoteString("</" + row + ">");
        const std::string order = orderAt < forAt ? trimLead(seq(ns, orderAt, forAt)) : "";
        std::string all = "string_agg(palvo_xml.x, '' order by palvo_xml.n)";
        if (!root.empty())
            all = quoteString("<" + root + ">") + " || " + all + " || " + quoteString("</" + root + ">");
        return "select " + all + (statement ? " as \"XML_F52E2B61-18A1-11d1-B105-00805F49916B\"" : "") +
               " from (select " + rowText + " as x, row_number() over (" + order + ") as n" +
               seq(ns, listEnd, orderAt) + ") as palvo_xml" + (statement ? " having count(*) > 0" : "");
    }

    // source PIVOT (agg(v) FOR c IN ([x], [y])) AS p: the source's other columns grouped, each listed value
    // of c a column of agg over its rows (as SQL Server, NULL for sum and 0 for count of no rows); source
    // UNPIVOT (v FOR c IN (x, y)) AS u: a row for each listed column of each row, its name in c and its value
    // in v, leaving out NULLs. The source is a query in parentheses with its alias, whose columns the
    // statement names (a table's it does not know).
    std::string pivot(const Nodes& ns, std::size_t from, std::size_t at, const Node& alias) {
        const bool un = ns[at].word("unpivot");
        const std::string what = un ? "UNPIVOT" : "PIVOT";
        const Node& source = ns[from];
        if (!source.group || source.kids.empty() || !source.kids[0].word("select") || from + 1 >= at)
            refuse(what + " of other than a query in parentheses with its alias");
        std::vector<std::string> columns;
        const Nodes& q = source.kids;
        std::size_t listEnd = 1;
        while (listEnd < q.size() && !q[listEnd].word("from")) ++listEnd;
        for (const auto& [ib, ie] : splitCommas(q, 1, listEnd)) {
            std::size_t valueEnd = ie;
            const std::string name = xmlItemName(q, ib, ie, valueEnd);
            if (name.empty()) refuse(what + " of a query with a column it does not name");
            columns.push_back(name);
        }
        const Nodes& g = ns[at + 1].kids;
        // agg (v) | v, FOR, c, IN, (values)
        const std::size_t forAt = un ? 1 : 2;
        if (g.size() != forAt + 4 || !g[forAt].word("for") || !g[forAt + 1].isName() ||
            !g[forAt + 2].word("in") || !g[forAt + 3].group || (!un && !g[1].group) || !g[0].isName())
            refuse(what + " other than (" + (un ? "v" : "agg(v)") + " FOR c IN (...))");
        const std::string c = g[forAt + 1].tok.text;
        std::vector<std::string> values;
        const Nodes& in = g[forAt + 3].kids;
        for (const auto& [vb, ve] : splitCommas(in, 0, in.size())) {
            if (ve != vb + 1 || !in[vb].isName()) refuse(what + " of other than named values");
            values.push_back(in[vb].tok.text);
        }
        const auto listed = [](const std::vector<std::string>& names, const std::string& n) {
            return std::any_of(names.begin(), names.end(),
                               [&](const std::string& x) { return equalsNoCase(x, n); });
        };
        const std::string src = "(" + trimLead(seq(q, 0, q.size())) + ") as " + renderAt(ns, from + 1);
        std::string kept;
        if (un) {
            for (const std::string& col : columns) {
                if (!listed(values, col)) kept += pgName(col) + ", ";
            }
            std::string rows;
            for (const std::string& v : values)
                rows += std::string(rows.empty() ? "" : ", ") + "(cast(" + quoteString(v) +
                        " as varchar(128))" + std::string(kTextCollation) + ", " + renderAt(ns, from + 1) +
                        "." + pgName(v) + ")";
            return "(select " + kept + "palvo_u." + pgName(c) + ", palvo_u." + pgName(g[0].tok.text) +
                   " from " + src + " cross join lateral (values " + rows + ") as palvo_u (" + pgName(c) +
                   ", " + pgName(g[0].tok.text) + ") where palvo_u." + pgName(g[0].tok.text) +
                   " is not null) as " + renderAt(ns, &alias - ns.data());
        }
        std::string v;  // the aggregated column: the last name in agg's arguments
        for (const Node& n : g[1].kids) {
            if (n.isName()) v = n.tok.text;
        }
        for (const std::string& col : columns) {
            if (!equalsNoCase(col, v) && !equalsNoCase(col, c))
                kept += std::string(kept.empty() ? "" : ", ") + pgName(col);
        }
        std::string spread;
        for (const std::string& x : values)
            spread += ", " + call(asciiLower(g[0].tok.text), g[1]) + " filter (where " + pgName(c) + " = " +
                      quoteString(x) + ") as " + pgName(x);
        return "(select " + (kept.empty() ? spread.substr(2) : kept + spread) + " from " + src +
               (kept.empty() ? "" : " group by " + kept) + ") as " + renderAt(ns, &alias - ns.data());
    }

    // The name a select-list item [b, e) is written under in FOR XML PATH (itemName), refusing what would be
    // an attribute, a nested path or every column.
    static std::string xmlItemName(const Nodes& ns, std::size_t b, std::size_t e, std::size_t& valueEnd) {
        std::string name = itemName(ns, b, e, valueEnd);
        if (name.starts_with('@') || name.find('/') != std::string::npos || name == "*" ||
            (e - b == 1 && ns[b].op("*")))
            refuse("FOR XML PATH of attributes, nested paths or *");
        return name;
    }

    // The name of the select-list item [b, e): its alias (valueEnd then where its value ends) or its column's
    // name; "" for an expression without an alias.
    static std::string itemName(const Nodes& ns, std::size_t b, std::size_t e, std::size_t& valueEnd) {
        std::string name;
        const auto plainName = [&](std::size_t k) {
            return !ns[k].group &&
                   (ns[k].tok.kind == TokenKind::Name ||
                    (ns[k].tok.kind == TokenKind::Word && !isClauseKeyword(asciiLower(ns[k].tok.text))));
        };
        if (e - b >= 3 && plainName(b) && ns[b + 1].op("=")) {
            name = ns[b].tok.text;  // name = value
        } else if (e - b >= 2 && plainName(e - 1) &&
                   (ns[e - 2].word("as") || ns[e - 2].group || ns[e - 2].tok.kind != TokenKind::Operator)) {
            name = ns[e - 1].tok.text;  // value [AS] name
            valueEnd = ns[e - 2].word("as") ? e - 2 : e - 1;
        }
        if (name.empty()) {
            // a column: c, t.c
            std::size_t k = b;
            while (k + 2 < e && plainName(k) && ns[k + 1].op(".")) k += 2;
            if (k + 1 == e && plainName(k)) name = ns[k].tok.text;
        }
        return name;
    }

    // What this level's clauses ask to be written otherwise: where each ORDER BY item ends (SQL Server
    // sorts NULL below every value, PostgreSQL above), and GROUP BY's list before WITH ROLLUP | CUBE.
    struct Clauses {
        std::vector<std::size_t> orderItems;  // the end of each ORDER BY item
        std::size_t rollupAt = static_cast<std::size_t>(-1);
        std::size_t rollupEnd = 0;  // where WITH is
        std::string rollupWord;
    };
    static Clauses findClauses(const Nodes& ns, std::size_t b, std::size_t e) {
        Clauses c;
        for (std::size_t k = b; k + 1 < e; ++k) {
            if (ns[k].word("group") && ns[k + 1].word("by")) {
                for (std::size_t w = k + 2; w + 1 < e; ++w) {
                    if (clauseEnd(ns[w]) || ns[w].word("having")) break;
                    if (ns[w].word("with") && (ns[w + 1].word("rollup") || ns[w + 1].word("cube"))) {
                        c.rollupAt = k + 2;
                        c.rollupEnd = w;
                        c.rollupWord = asciiLower(ns[w + 1].tok.text);
                        break;
                    }
                }
            }
            if (!ns[k].word("order") || !ns[k + 1].word("by")) continue;
            c.orderItems.clear();  // a member's ORDER BY before UNION is its own (and refused there)
            std::size_t end = k + 2;
            while (end < e && !clauseEnd(ns[end]) && !ns[end].word("rows") && !ns[end].word("range") &&
                   !ns[end].word("groups"))
                ++end;
            for (const auto& [ib, ie] : splitCommas(ns, k + 2, end)) {
                if (ie > ib) c.orderItems.push_back(ie);
            }
            k = end - 1;
        }
        return c;
    }
    static bool clauseEnd(const Node& n) {
        return n.word("union") || n.word("except") || n.word("intersect") || n.word("offset") ||
               n.word("for") || n.word("option") || n.word("limit") || n.word("fetch") || n.word("order");
    }

    // Where each select-list item of this level's first SELECT that SQL Server leaves unnamed ends: an
    // expression without an alias (PostgreSQL would name it "?column?" or after its function).
    static std::vector<std::size_t> unnamedItems(const Nodes& ns, std::size_t b, std::size_t e) {
        std::vector<std::size_t> out;
        std::size_t k = b;
        while (k < e && !ns[k].word("select")) ++k;
        if (k == e) return out;
        std::size_t list = k + 1;
        if (list < e && (ns[list].word("distinct") || ns[list].word("all"))) ++list;
        if (list + 1 < e && ns[list].word("top")) list += 2;
        if (list + 1 < e && ns[list].word("with") && ns[list + 1].word("ties")) list += 2;
        std::size_t end = list;
        while (end < e && !(ns[end].word("from") || ns[end].word("into") || ns[end].word("where") ||
                            ns[end].word("group") || ns[end].word("having") || ns[end].word("order") ||
                            ns[end].word("union") || ns[end].word("except") || ns[end].word("intersect") ||
                            ns[end].word("for") || ns[end].word("option")))
            ++end;
        if (end < e && ns[end].word("into"))
            return out;  // SELECT ... INTO: the table's columns, not a result's
        for (const auto& [ib, ie] : splitCommas(ns, list, end)) {
            std::size_t valueEnd = ie;
            const bool star = ns[ie - 1].op("*") && (ie - ib == 1 || ns[ie - 2].op("."));
            if (ie > ib && !star && itemName(ns, ib, ie, valueEnd).empty()) out.push_back(ie);
        }
        return out;
    }

    // The select-list items of this level written `name = value`, which T-SQL reads as the value
    // named, in order.
    static std::vector<Span> aliasedItems(const Nodes& ns, std::size_t b, std::size_t e) {
        std::vector<Span> out;
        for (std::size_t k = b; k < e; ++k) {
            if (!ns[k].word("select")) continue;
            std::size_t list = k + 1;
            if (list < e && (ns[list].word("distinct") || ns[list].word("all"))) ++list;
            if (list + 1 < e && ns[list].word("top")) list += 2;
            std::size_t end = list;
            while (end < e && !(ns[end].word("from") || ns[end].word("into") || ns[end].word("where") ||
                                ns[end].word("group") || ns[end].word("having") || ns[end].word("order") ||
                                ns[end].word("union") || ns[end].word("except") || ns[end].word("intersect")))
                ++end;
            for (const auto& [ib, ie] : splitCommas(ns, list, end)) {
                const Node& first = ns[ib];
                const bool name =
                    first.tok.kind == TokenKind::Name ||
                    (first.tok.kind == TokenKind::Word && !isClauseKeyword(asciiLower(first.tok.text)));
                if (ie - ib >= 3 && !first.group && name && ns[ib + 1].op("=")) out.emplace_back(ib, ie);
            }
            k = end - 1;
        }
        return out;
    }

    std::string renderAt(const Nodes& ns, std::size_t k) {
        std::string out;
        node(out, ns, k, k + 1);
        return trimLead(out);
    }

    // One node or construct at ns[k], appended to out; moves k past it.
    void node(std::string& out, const Nodes& ns, std::size_t& k, std::size_t e) {
        const Node& n = ns[k];
        if (n.group && k > 0 && !ns[k - 1].group && bareHints(n)) {
            // T (NOLOCK): hints after a table without WITH, as SQL Server still takes them
            tableHints(n);
            ++k;
            return;
        }
        if (n.group && k + 3 < e && ns[k + 1].op(".") && ns[k + 2].word("value") && ns[k + 3].group) {
            // (... FOR XML PATH(''), TYPE).value('.', type): the text the XML holds, its entities undone
            const std::vector<Span> a = splitCommas(ns[k + 3].kids, 0, ns[k + 3].kids.size());
            const Nodes& v = ns[k + 3].kids;
            if (a.size() != 2 || a[0].second != a[0].first + 1 ||
                v[a[0].first].tok.kind != TokenKind::String || v[a[0].first].tok.text != ".")
                refuse("the XML method value() of other than '.'");
            const Nodes type = readBatch("declare @v " + v[a[1].first].tok.text).statements.at(0).nodes;
            std::size_t at = 2;
            const std::string pg = pgType(type, at, type.size(), true);
            put(out, "cast(palvo.xml_value((" + trimLead(seq(n.kids, 0, n.kids.size())) + ")) as " + pg + ")",
                n.tok.spaceBefore);
            k += 4;
            return;
        }
        if (n.group) {
            put(out, "(" + trimLead(seq(n.kids, 0, n.kids.size())) + (n.closeSpace ? " )" : ")"),
                n.tok.spaceBefore);
            ++k;
            return;
        }
        const Token& t = n.tok;
        switch (t.kind) {
            case TokenKind::Name:
                put(out, pgName(t.text), t.spaceBefore);
                ++k;
                return;
            case TokenKind::String:
            case TokenKind::NString:
                put(out, quoteString(t.text), t.spaceBefore);
                ++k;
                return;
            case TokenKind::Number:
                if (t.text.size() > 1 && (t.text[1] == 'x' || t.text[1] == 'X'))
                    refuse("binary literal " + t.text);
                put(out, t.text, t.spaceBefore);
                ++k;
                return;
            case TokenKind::Parameter:
                put(out, "?", t.spaceBefore);
                ++k;
                return;
            case TokenKind::Variable:
                if (equalsNoCase(t.text, "@@identity")) {
                    put(out, "palvo.identity()", t.spaceBefore);
                    ++k;
                    return;
                }
                if (const std::string lw = asciiLower(t.text); const char* type = sessionValueType(lw)) {
                    put(out, parameter(lw, type), t.spaceBefore);
                    ++k;
                    return;
                }
                if (const std::string lw = asciiLower(t.text); variables_) {
                    if (const auto it = variables_->find(lw); it != variables_->end() && local_) {
                        const std::string pg = variableType(it->second);
                        put(out, quoteName(lw) + (textType(pg) ? std::string(kTextCollation) : ""),
                            t.spaceBefore);
                        ++k;
                        return;
                    }
                    if (const auto it = variables_->find(lw); it != variables_->end()) {
                        put(out, parameter(lw, variableType(it->second)), t.spaceBefore);
                        ++k;
                        return;
                    }
                }
                refuse("variable " + t.text + " (T-SQL batches)");
            case TokenKind::Operator:
                put(out,
                    t.text == "!<"   ? ">="
                    : t.text == "!>" ? "<="
                    : t.text == "^"  ? "#"
                                     : t.text,
                    t.spaceBefore);
                ++k;
                return;
            case TokenKind::Word:
                break;
        }
        const std::string lw = asciiLower(t.text);
        if (lw == "with" && k + 1 < e && ns[k + 1].group) {
            tableHints(ns[k + 1]);
            k += 2;
            return;
        }
        if (lw == "collate") refuse("COLLATE");
        if (lw == "into" && k + 1 < e && !ns[k + 1].group && ns[k + 1].tok.text.starts_with('#') &&
            !(k > 0 && ns[k - 1].word("insert"))) {
            // SELECT ... INTO #t
            put(out, "into temporary", t.spaceBefore);
            ++k;
            return;
        }
        if ((lw == "cross" || lw == "outer") && k + 1 < e && ns[k + 1].word("apply")) {
            apply(out, ns, k, e, lw == "outer");
            return;
        }
        if (lw == "top") refuse("TOP in " + upper(ns[0].tok.text));  // UPDATE TOP (n), DELETE TOP (n)
        if (lw == "like" && likeEscape(out, ns, k, e)) return;
        if (lw == "escape") refuse("ESCAPE after a pattern this target cannot tell");
        if (t.text.starts_with('#')) {
            // #t, written without brackets
            put(out, pgName(t.text), t.spaceBefore);
            ++k;
            return;
        }
        if (lw == "rowid") {
            // the row's own address, which the embedded database calls rowid
            put(out, "ctid", t.spaceBefore);
            ++k;
            return;
        }
        if (lw == "string_agg" && k + 4 < e && ns[k + 1].group && ns[k + 2].word("within") &&
            ns[k + 3].word("group") && ns[k + 4].group) {
            put(out, stringAgg(ns[k + 1].kids, &ns[k + 4].kids), t.spaceBefore);
            k += 5;
            return;
        }
        if ((lw == "count" || lw == "count_big" || lw == "ntile") && k + 1 < e && ns[k + 1].group &&
            isFunctionCall(ns, k)) {
            countedCall(out, ns, k, e);
            return;
        }
        if (k + 1 < e && ns[k + 1].group && isFunctionCall(ns, k) &&
            (sameFunction(lw) || !bareHints(ns[k + 1]))) {
            put(out, call(lw, ns[k + 1]), t.spaceBefore);
            k += 2;
            return;
        }
        put(out, t.text, t.spaceBefore);
        ++k;
    }

    // COUNT, COUNT_BIG and NTILE, alone or over a window, of SQL Server's types: COUNT an int (which fails
    // past 2,147,483,647 rows, as SQL Server's does), the others a bigint
    void countedCall(std::string& out, const Nodes& ns, std::size_t& k, std::size_t e) {
        const Node& t = ns[k];
        const bool count = t.word("count");
        std::string counted = (t.word("ntile") ? "ntile(" : "count(") + args(ns[k + 1].kids) + ")";
        k += 2;
        if (k + 1 < e && ns[k].word("over") && ns[k + 1].group) {
            counted += " over " + renderAt(ns, k + 1);
            k += 2;
        }
        put(out, "cast(" + counted + (count ? " as integer)" : " as bigint)"), t.tok.spaceBefore);
    }

    // CROSS APPLY x is a lateral join; OUTER APPLY x keeps the row x gives nothing for, with NULLs.
    void apply(std::string& out, const Nodes& ns, std::size_t& k, std::size_t e, bool outer) {
        put(out, outer ? "left join lateral" : "cross join lateral", ns[k].tok.spaceBefore);
        k += 2;
        if (k >= e) refuse("APPLY without a table expression");
        node(out, ns, k, e);  // the query in parentheses, or the function's call
        if (k < e && ns[k].word("as")) node(out, ns, k, e);
        if (k < e && ns[k].isName() &&
            !(ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text)))) {
            put(out, renderAt(ns, k), ns[k].tok.spaceBefore);
            ++k;
            if (k < e && ns[k].group) {
                // the columns named after the alias: x (a, b)
                put(out, "(" + args(ns[k].kids) + ")", ns[k].tok.spaceBefore);
                ++k;
            }
        }
        if (outer) out += " on true";
    }

    // A word before a group calls a function, unless it names a table (INSERT INTO T (...)) or is a
    // clause's word.
    static bool isFunctionCall(const Nodes& ns, std::size_t k) {
        const std::string lw = asciiLower(ns[k].tok.text);
        if (lw == "left" || lw == "right") return true;  // LEFT JOIN has no parentheses after LEFT
        if (lw == "string_split") return true;           // a table function, after FROM or JOIN
        if (isClauseKeyword(lw) || lw == "over" || lw == "or" || lw == "then" || lw == "else" || lw == "when")
            return false;
        if (k > 0 && !ns[k - 1].group) {
            const Node& before = ns[k - 1];
            if (before.word("into") || before.word("table") || before.word("on") ||
                before.word("references") || before.word("view") || before.word("update") ||
                before.word("join") || before.word("from") || before.word("insert") || before.word("exists"))
                return false;
        }
        return true;
    }

    // LIKE p ESCAPE c: PostgreSQL would hand the schema's LIKE a pattern rewritten with its own escapes,
    // so the pattern goes to the schema's like_escaped, which writes each escaped character as a class of
    // its own ('10!%' escape '!' is '10[%]'). False when no ESCAPE follows the pattern.
    bool likeEscape(std::string& out, const Nodes& ns, std::size_t& k, std::size_t e) {
        std::size_t esc = k + 1;
        while (esc < e && !ns[esc].word("escape")) {
            const Node& n = ns[esc];
            if (n.word("and") || n.word("or") || n.word("then") || n.word("when") || n.word("else") ||
                n.word("end") || n.word("like") || n.word("from") || n.word("where") || n.word("group") ||
                n.word("order") || n.word("having") || n.word("union") || n.word("on") || n.word("join"))
                return false;
            ++esc;
        }
        if (esc + 1 >= e || esc == k + 1) return false;
        put(out,
            "like palvo.like_escaped(" + trimLead(seq(ns, k + 1, esc)) + ", " + renderAt(ns, esc + 1) + ")",
            ns[k].tok.spaceBefore);
        k = esc + 2;
        return true;
    }

    // SQL Server's locking hints: NOLOCK and READUNCOMMITTED read what PostgreSQL reads anyway
    // (committed rows, never blocked by writers) and ROWLOCK asks for what PostgreSQL always does;
    // UPDLOCK and XLOCK lock the rows a query reads until the transaction ends (FOR UPDATE), HOLDLOCK
    // alone keeps them from being changed (FOR SHARE). The others have no place in a statement here.
    void tableHints(const Node& g) {
        for (const Node& h : g.kids) {
            if (h.op(",")) continue;
            if (h.word("nolock") || h.word("readuncommitted") || h.word("readcommitted") || h.word("rowlock"))
                continue;
            if (h.word("updlock") || h.word("xlock")) {
                lock_ = RowLock::Update;
                continue;
            }
            if (h.word("holdlock") || h.word("serializable") || h.word("repeatableread")) {
                if (lock_ == RowLock::None) lock_ = RowLock::Share;
                continue;
            }
            refuse("the table hint " + upper(h.tok.text));
        }
    }

    // A group of table hints only, as written after a table: (NOLOCK), (UPDLOCK, HOLDLOCK)
    static bool bareHints(const Node& g) {
        static constexpr std::string_view hints[] = {
            "nolock",       "readuncommitted", "readcommitted", "rowlock", "updlock",  "xlock",   "holdlock",
            "serializable", "repeatableread",  "readpast",      "tablock", "tablockx", "paglock", "nowait"};
        bool any = false;
        for (const Node& h : g.kids) {
            if (h.op(",")) continue;
            if (h.group || h.tok.kind != TokenKind::Word) return false;
            const std::string lw = asciiLower(h.tok.text);
            if (std::find(std::begin(hints), std::end(hints), lw) == std::end(hints)) return false;
            any = true;
        }
        return any;
    }

    std::string args(const Nodes& a) { return trimLead(seq(a, 0, a.size())); }

    std::string call(const std::string& fn, const Node& g) {
        const Nodes& a = g.kids;
        if (fn == "cast") return castCall(a);
        if (fn == "convert") return convertCall(a);
        if (fn == "datediff" || fn == "dateadd" || fn == "datepart" || fn == "datename") {
            // the part is a word T-SQL reads as a keyword: given to the schema's function as text
            if (a.empty() || a[0].group) refuse(upper(fn) + " without its date part");
            const std::string part = datePartName(a[0].tok.text);
            if (part.empty()) refuse(upper(fn) + " of the part " + a[0].tok.text);
            std::string written = "palvo." + fn + "('" + part + "'" + trimLead(seq(a, 1, a.size())) + ")";
            // a date written as text is a datetime, and so is what DATEADD makes of it
            if (fn == "dateadd" && a.size() >= 5 && !a.back().group &&
                a.back().tok.kind == TokenKind::String && a[a.size() - 2].op(","))
                return "cast(palvo.datetime(" + written + ") as timestamp(3))";
            return written;
        }
        // GROUP BY ROLLUP (...), CUBE (...), GROUPING SETS (...) as written; GROUPING_ID is PostgreSQL's
        // GROUPING of several columns, the first the highest bit
        if (fn == "rollup" || fn == "cube" || fn == "sets" || fn == "grouping")
            return fn + " (" + args(a) + ")";
        if (fn == "grouping_id") return "grouping(" + args(a) + ")";
        if (fn == "string_split") return "palvo.string_split(" + args(a) + ")";  // after APPLY
        if (fn == "log") return logCall(a);
        if (fn == "palvo_udf") return userCall(a);
        if (fn == "format") return formatCall(a);
        if (fn == "choose") return chooseCall(a);
        if (fn == "try_cast" || fn == "try_convert") return tryCall(fn, a);
        if (fn == "string_agg") return stringAgg(a, nullptr);
        if (fn == "lag" || fn == "lead") return offsetCall(fn, a);
        if (fn == "getdate" || fn == "sysdatetime" || fn == "current_timestamp") return "palvo.getdate()";
        if (fn == "getutcdate") return "palvo.getutcdate()";
        if (const char* type = sessionValueType(fn + "()")) {
            if (!a.empty()) refuse(upper(fn) + "() with arguments");
            return parameter(fn + "()", type);
        }
        if (!sameFunction(fn)) refuse("the function " + upper(fn) + "()");
        if (fn == "scope_identity") return "palvo.identity()";
        return (ownFunction(fn) ? "palvo." + fn : fn) + "(" + args(a) + ")";
    }

    // palvo_udf(N'f', ...): a user function whose body is statements, the server's PL/pgSQL function
    // (postgresFunction) the call writes (batch_functions.cpp)
    std::string userCall(const Nodes& a) {
        if (a.empty() || a[0].group ||
            (a[0].tok.kind != TokenKind::NString && a[0].tok.kind != TokenKind::String) ||
            (a.size() > 1 && !a[1].op(",")))
            refuse("PALVO_UDF without the function's name first");
        std::string out = userFunctionName(a[0].tok.text) + "(";
        if (a.size() > 2) out += trimLead(seq(a, 2, a.size()));
        return out + ")";
    }

    // The arguments of a call, each rendered.
    std::vector<std::string> argList(const Nodes& a) {
        std::vector<std::string> out;
        for (const auto& [b, e] : splitCommas(a, 0, a.size())) out.push_back(trimLead(seq(a, b, e)));
        return out;
    }

    // LOG(x) is the natural logarithm, LOG(x, base) in that base, of floats
    std::string logCall(const Nodes& a) {
        const std::vector<std::string> x = argList(a);
        if (x.size() == 1) return "ln(" + x[0] + ")";
        if (x.size() != 2) refuse("LOG with " + std::to_string(x.size()) + " arguments");
        return "(ln(cast(" + x[0] + " as double precision)) / ln(cast(" + x[1] + " as double precision)))";
    }

    // FORMAT(value, pattern[, culture]): the schema's, the culture Null for the session's language
    std::string formatCall(const Nodes& a) {
        const std::vector<std::string> x = argList(a);
        if (x.size() < 2 || x.size() > 3) refuse("FORMAT with " + std::to_string(x.size()) + " arguments");
        return "palvo.format_as(" + x[0] + ", " + x[1] + ", " + (x.size() == 3 ? x[2] : "null") + ")";
    }

    // CHOOSE(i, a, b, ...): the value at i's whole part, counted from 1; Null outside
    std::string chooseCall(const Nodes& a) {
        const std::vector<std::string> x = argList(a);
        if (x.size() < 2) refuse("CHOOSE without a value to choose");
        std::string out = "case cast(palvo.int_part(" + x[0] + ") as integer)";
        for (std::size_t i = 1; i < x.size(); ++i) out += " when " + std::to_string(i) + " then " + x[i];
        return out + " end";
    }

    // TRY_CAST(x AS type), TRY_CONVERT(type, x[, style]): the conversion CAST and CONVERT write, of x bound
    // as $1 in the schema's try_cast, which gives Null where the value does not convert. The conversion's
    // text holds only the type and the style, never a value.
    std::string tryCall(const std::string& fn, const Nodes& a) {
        std::string value, type, conversion;
        if (fn == "try_cast") {
            std::size_t as = a.size();
            for (std::size_t k = 0; k < a.size(); ++k) {
                if (a[k].word("as")) as = k;
            }
            if (as == a.size() || as + 1 >= a.size()) refuse("TRY_CAST without AS and a type");
            std::size_t k = as + 1;
            type = pgType(a, k, a.size(), true);
            if (k != a.size()) refuse("TRY_CAST with more than a type after AS");
            value = trimLead(seq(a, 0, as));
            conversion = castTo("$1", type, a[as + 1]);
        } else {
            const std::vector<Span> parts = splitCommas(a, 0, a.size());
            if (parts.size() < 2 || parts.size() > 3)
                refuse("TRY_CONVERT with " + std::to_string(parts.size()) + " arguments");
            std::size_t k = parts[0].first;
            type = pgType(a, k, parts[0].second, true);
            value = trimLead(seq(a, parts[1].first, parts[1].second));
            if (parts.size() == 2) {
                conversion = castTo("$1", type, a[parts[0].first]);
            } else {
                const Node& style = a[parts[2].first];
                if (parts[2].second != parts[2].first + 1 || style.group ||
                    style.tok.kind != TokenKind::Number)
                    refuse("TRY_CONVERT with a style that is not a number");
                conversion = styled("$1", style.tok.text, type, a[parts[0].first]);
            }
        }
        return "cast(palvo.try_cast(" + value + ", " + quoteString(conversion) + ", cast(null as " + type +
               ")) as " + type + ")";
    }

    // STRING_AGG(x, separator) [WITHIN GROUP (ORDER BY ...)]: PostgreSQL's, of x as text, the order inside
    std::string stringAgg(const Nodes& a, const Nodes* order) {
        const std::vector<std::string> x = argList(a);
        if (x.size() != 2) refuse("STRING_AGG with " + std::to_string(x.size()) + " arguments");
        std::string out = "string_agg(cast(" + x[0] + " as text), " + x[1];
        if (order) out += " " + trimLead(seq(*order, 0, order->size()));
        return out + ")";
    }

    // LAG and LEAD: the offset cut to a whole number, a negative one failing as on SQL Server
    std::string offsetCall(const std::string& fn, const Nodes& a) {
        std::vector<std::string> x = argList(a);
        if (x.size() >= 2) x[1] = "palvo.lag_offset(" + x[1] + ")";
        std::string out = fn + "(";
        for (std::size_t i = 0; i < x.size(); ++i) out += (i ? ", " : "") + x[i];
        return out + ")";
    }

    // CAST(x AS type)
    std::string castCall(const Nodes& a) {
        std::size_t as = a.size();
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (a[k].word("as")) as = k;
        }
        if (as == a.size() || as + 1 >= a.size()) refuse("CAST without AS and a type");
        std::size_t k = as + 1;
        const std::string type = pgType(a, k, a.size(), true);
        if (k != a.size()) refuse("CAST with more than a type after AS");
        return castTo(trimLead(seq(a, 0, as)), type, a[as + 1]);
    }

    // SQL Server cuts a number's fraction off where PostgreSQL rounds: 3.5 is 3 as an int, -3.5 is -3
    // (bit, also a smallint here, is 1 for any number but 0, which a plain cast gives for most; a tinyint
    // is a whole number from 0 to 255); a datetime keeps 1/300 of a second and a smalldatetime the minute,
    // rounded as SQL Server rounds
    static std::string castTo(const std::string& value, const std::string& type, const Node& written) {
        if (written.word("datetime") || written.word("smalldatetime")) {
            return "cast(palvo." + asciiLower(written.tok.text) + "(cast(" + value + " as timestamp)) as " +
                   type + ")";
        }
        if (written.word("tinyint")) return "cast(palvo.tinyint(palvo.int_part(" + value + ")) as smallint)";
        if ((type == "integer" || type == "bigint" || type == "smallint") && !written.word("bit"))
            return "cast(palvo.int_part(" + value + ") as " + type + ")";
        return "cast(" + value + " as " + type + ")";
    }

    // CONVERT(type, x[, style]): without a style, a cast; with one, text in that style.
    std::string convertCall(const Nodes& a) {
        const std::vector<Span> parts = splitCommas(a, 0, a.size());
        if (parts.size() < 2 || parts.size() > 3)
            refuse("CONVERT with " + std::to_string(parts.size()) + " arguments");
        std::size_t k = parts[0].first;
        const std::string type = pgType(a, k, parts[0].second, true);
        const std::string value = trimLead(seq(a, parts[1].first, parts[1].second));
        if (parts.size() == 2) return castTo(value, type, a[parts[0].first]);
        const std::string style = trimLead(seq(a, parts[2].first, parts[2].second));
        return styled(value, style, type, a[parts[0].first]);
    }

    // CONVERT's text of a value in a style, or the value read from a text in that style.
    static std::string styled(const std::string& value, const std::string& style, const std::string& type,
                              const Node& written) {
        const std::string converted = "palvo.convert_style(" + value + ", " + style + ")";
        if (written.word("datetime") || written.word("smalldatetime"))
            return castTo(converted, type, written);
        return "cast(" + converted + " as " + type + ")";
    }

    // The PostgreSQL type for the T-SQL type at ns[k]; moves k past it (and its length).
    // `cast`: in CAST/CONVERT, where a character type without a length is 30 long.
    static std::string pgType(const Nodes& ns, std::size_t& k, std::size_t e, bool cast) {
        if (k >= e || ns[k].group) refuse("a type that is not named");
        const std::string lw = asciiLower(ns[k].tok.text);
        ++k;
        std::string length;
        if (k < e && ns[k].group) {
            length = trimLead(plain(ns[k].kids, 0, ns[k].kids.size()));
            ++k;
        }
        const bool max = equalsNoCase(length, "max");
        const std::string sized = length.empty() ? std::string() : "(" + length + ")";
        if (lw == "int" || lw == "integer") return "integer";
        if (lw == "bigint") return "bigint";
        if (lw == "smallint" || lw == "tinyint" || lw == "bit") return "smallint";
        if (lw == "decimal" || lw == "numeric") return "numeric" + (sized.empty() ? "(18,0)" : sized);
        if (lw == "money") return "numeric(19,4)";
        if (lw == "smallmoney") return "numeric(10,4)";
        if (lw == "float") return "double precision";
        if (lw == "real") return "real";
        if (lw == "varchar" || lw == "nvarchar") {
            if (max) return "text";
            return "varchar" + (sized.empty() ? std::string(cast ? "(30)" : "(1)") : sized);
        }
        if (lw == "char" || lw == "nchar")
            return "char" + (sized.empty() ? std::string(cast ? "(30)" : "(1)") : sized);
        if (lw == "text" || lw == "ntext") return "text";
        if (lw == "datetime") return "timestamp(3)";
        if (lw == "smalldatetime") return "timestamp(0)";
        if (lw == "datetime2") return "timestamp" + (sized.empty() ? "(6)" : sized);
        if (lw == "date") return "date";
        if (lw == "time") return "time" + (sized.empty() ? "(6)" : sized);
        if (lw == "uniqueidentifier") return "uuid";
        if (lw == "varbinary" || lw == "binary" || lw == "image") return "bytea";
        refuse("the type " + lw);
    }

    static bool textType(std::string_view pg) {
        return pg == "text" || pg.starts_with("varchar") || pg.starts_with("char");
    }

    // INSERT, UPDATE and DELETE with OUTPUT: the change RETURNING the columns, INSERTED.c and DELETED.c
    // read from the row as PostgreSQL returns it: the stored row, the new values of an UPDATE's (its old ones
    // are refused), the removed row. False when the statement has no OUTPUT.
    bool withOutput(const Nodes& ns, StatementKind kind, std::string& out) {
        std::size_t at = ns.size();
        for (std::size_t k = 1; k < ns.size(); ++k) {
            if (ns[k].word("output")) {
                at = k;
                break;
            }
        }
        if (at == ns.size()) return false;
        std::size_t end = at + 1;
        while (end < ns.size() &&
               !(ns[end].word("values") || ns[end].word("select") || ns[end].word("default") ||
                 ns[end].word("from") || ns[end].word("where") || ns[end].word("exec") ||
                 ns[end].word("execute") || ns[end].word("into") || ns[end].word("option")))
            ++end;
        if (end < ns.size() && ns[end].word("into")) refuse("OUTPUT ... INTO");
        // the table changed: INSERT [INTO] T, UPDATE T, DELETE [FROM] T
        std::size_t t = 1;
        if (ns.size() > t && (ns[t].word("into") || ns[t].word("from"))) ++t;
        if (t >= at || !ns[t].isName()) refuse("OUTPUT of a change of other than a named table");
        const char* own = kind == StatementKind::Delete ? "deleted" : "inserted";
        Nodes items(ns.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                    ns.begin() + static_cast<std::ptrdiff_t>(end));
        for (std::size_t k = 0; k + 1 < items.size(); ++k) {
            if (!(items[k].word("inserted") || items[k].word("deleted")) || !items[k + 1].op(".")) continue;
            if (!items[k].word(own))
                refuse("OUTPUT " + upper(items[k].tok.text) + " in " + upper(ns[0].tok.text));
            items[k].tok.kind = ns[t].tok.kind;
            items[k].tok.text = ns[t].tok.text;
        }
        if (hasParameter(items)) refuse("a parameter in OUTPUT");  // it would be bound after the change's
        Nodes changed(ns.begin(), ns.begin() + static_cast<std::ptrdiff_t>(at));
        changed.insert(changed.end(), ns.begin() + static_cast<std::ptrdiff_t>(end), ns.end());
        targetAliased_ = false;
        out =
            kind == StatementKind::Insert ? trimLead(seq(changed, 0, changed.size())) : change(changed, kind);
        if (targetAliased_) {
            for (Node& n : items) {
                if (n.tok.text == ns[t].tok.text && n.tok.kind == ns[t].tok.kind) {
                    n.tok.kind = TokenKind::Word;
                    n.tok.text = "palvo_target";
                }
            }
        }
        out += " returning " + trimLead(seq(items, 0, items.size()));
        return true;
    }

    // UPDATE T SET ... FROM ..., DELETE [FROM] T FROM ...: T names an entry of the FROM (by its table or its
    // alias), whose rows are the ones changed. PostgreSQL would read T as one more table beside the FROM's,
    // every row of it joined to every row the FROM gives; so T is the rows whose address the entry's are.
    std::string change(const Nodes& ns, StatementKind kind) {
        const bool update = kind == StatementKind::Update;
        std::size_t t = 1;
        if (!update && t < ns.size() && ns[t].word("from")) ++t;
        if (t >= ns.size() || !ns[t].isName()) return trimLead(seq(ns, 0, ns.size()));
        std::size_t from = ns.size(), where = ns.size();
        for (std::size_t k = t + 1; k < ns.size(); ++k) {
            if (ns[k].word("from") && from == ns.size()) from = k;
            if (ns[k].word("where")) {
                where = k;
                break;
            }
        }
        // DELETE T without FROM, which PostgreSQL writes DELETE FROM T
        if (from == ns.size()) {
            if (update || t == 2) return trimLead(seq(ns, 0, ns.size()));
            return "delete from" + seq(ns, 1, ns.size());
        }
        const auto [table, ref] = fromEntry(ns, from + 1, where, ns[t].tok.text);
        if (table == ns.size()) {
            // T beside the FROM's tables, as PostgreSQL reads it too
            if (update) return trimLead(seq(ns, 0, ns.size()));
            return "delete from " + renderAt(ns, t) + " using" + seq(ns, from + 1, ns.size());
        }
        targetAliased_ = true;
        std::string out =
            update ? "update " + renderAt(ns, table) + " as palvo_target" + seq(ns, t + 1, from) + " from"
                   : "delete from " + renderAt(ns, table) + " as palvo_target using";
        out += seq(ns, from + 1, where) + " where palvo_target.ctid = " + renderAt(ns, ref) + ".ctid";
        if (where < ns.size()) out += " and (" + trimLead(seq(ns, where + 1, ns.size())) + ")";
        return out;
    }

    // The table of the FROM entry [b, e) that `name` names, as its table or its alias, and the node that
    // names its rows (its alias, else its table); {e, e} when none does.
    static std::pair<std::size_t, std::size_t> fromEntry(const Nodes& ns, std::size_t b, std::size_t e,
                                                         const std::string& name) {
        const auto opens = [&](std::size_t k) {
            return k == b || ns[k - 1].op(",") || ns[k - 1].word("join");
        };
        const auto alias = [&](std::size_t k) -> std::size_t {
            if (k + 1 < e && ns[k + 1].word("as")) return k + 2 < e ? k + 2 : e;
            if (k + 1 < e && ns[k + 1].isName() &&
                !(ns[k + 1].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k + 1].tok.text))))
                return k + 1;
            return e;
        };
        for (std::size_t k = b; k < e; ++k) {
            if (!ns[k].isName() || !opens(k) || (k + 1 < e && ns[k + 1].group)) continue;
            const std::size_t a = alias(k);
            if (a < e && equalsNoCase(ns[a].tok.text, name)) return {k, a};
            if (equalsNoCase(ns[k].tok.text, name)) return {k, a < e ? a : k};
        }
        return {e, e};
    }

    // MERGE [INTO] T USING S ON c WHEN ...: PostgreSQL 15's MERGE, which takes WHEN NOT MATCHED [BY TARGET]
    // but not BY SOURCE. It fails, as SQL Server does (8672), where two source rows match one target row.
    std::string merge(const Nodes& ns) {
        std::string out = "merge into";
        std::size_t k = ns.size() > 1 && ns[1].word("into") ? 2 : 1;
        const std::size_t e = ns.size();
        while (k < e) {
            if (ns[k].word("not") && k + 3 < e && ns[k + 1].word("matched") && ns[k + 2].word("by")) {
                if (!ns[k + 3].word("target"))
                    refuse("MERGE ... WHEN NOT MATCHED BY " + upper(ns[k + 3].tok.text));
                out += " not matched";
                k += 4;
                continue;
            }
            if (ns[k].word("output") || ns[k].word("top") || ns[k].word("option"))
                refuse("MERGE ... " + upper(ns[k].tok.text));
            node(out, ns, k, e);
        }
        return out;
    }

    // UPDATE TOP (n) T SET ... [WHERE c], DELETE TOP (n) [FROM] T [WHERE c]: PostgreSQL's UPDATE and DELETE
    // take no LIMIT, so they change the rows whose addresses a query with the condition and the LIMIT picks,
    // n rows of its choosing, as SQL Server's are.
    std::string topChange(const Nodes& ns, bool update) {
        const std::string what = "TOP in " + upper(ns[0].tok.text);
        if (ns.size() < 4 || !ns[2].group) refuse(what + " without its count in parentheses");
        std::size_t t = 3;
        if (!update && ns[t].word("from")) ++t;
        if (t >= ns.size() || !ns[t].isName()) refuse(what + " of other than a table");
        std::size_t where = ns.size();
        for (std::size_t k = t + 1; k < ns.size(); ++k) {
            if (ns[k].word("where")) {
                where = k;
                break;
            }
            if (ns[k].word("from") || ns[k].word("output") || (ns[k].group && !update))
                refuse(what + " with " + (ns[k].group ? std::string("table hints") : upper(ns[k].tok.text)));
        }
        if (!update && where != t + 1) refuse(what + " with more than its table and WHERE");
        if (update && (t + 1 >= ns.size() || !ns[t + 1].word("set")))
            refuse(what + " with more than its table");
        // the count is written first and would be bound last
        if (hasParameter(ns[2].kids) && hasParameter(Nodes(ns.begin() + 3, ns.end())))
            refuse(what + " with a parameter for its count and another after it");
        const std::string table = renderAt(ns, t);
        const std::string count = args(ns[2].kids);
        std::string out = update ? "update " + table + seq(ns, t + 1, where) : "delete from " + table;
        out += " where ctid = any (array (select ctid from " + table;
        if (where < ns.size()) out += " where" + seq(ns, where + 1, ns.size());
        return out + " limit " + count + "))";
    }

    // CREATE TABLE T (column definitions and constraints)
    std::string createTable(const Nodes& ns) {
        if (ns.size() != 4 || !ns[3].group) refuse("CREATE TABLE with more than its columns (ON, WITH, ...)");
        const bool temporary = !ns[2].group && ns[2].tok.text.starts_with('#');
        std::string out =
            std::string(temporary ? "create temporary table " : "create table ") + renderAt(ns, 2) + " (";
        const Nodes& d = ns[3].kids;
        bool first = true;
        for (const auto& [b, e] : splitCommas(d, 0, d.size())) {
            out += first ? "" : ", ";
            first = false;
            if (b == e) refuse("an empty column definition");
            if (startsConstraint(d[b])) {
                out += trimLead(constraintSeq(d, b, e));
                continue;
            }
            out += columnDef(d, b, e);
            keepDeclaredType(renderAt(ns, 2), renderAt(d, b), declaredType(d, b + 1, e));
        }
        return out + ")";
    }

    static bool startsConstraint(const Node& n) {
        return n.word("constraint") || n.word("primary") || n.word("unique") || n.word("foreign") ||
               n.word("check");
    }

    // The type as T-SQL declared it, kept in the column's comment, which the catalogue's views read back
    // (nvarchar beside varchar, money, bit).
    void keepDeclaredType(const std::string& table, const std::string& column, const std::string& declared) {
        after_.push_back("comment on column " + table + "." + column + " is " +
                         quoteString("palvo:" + declared));
    }

    // A column's T-SQL type at d[k] with its arguments, in lower case: nvarchar(50), decimal(18,0), money.
    static std::string declaredType(const Nodes& d, std::size_t k, std::size_t e) {
        std::string type = asciiLower(d[k].tok.text);
        if (type == "integer") type = "int";
        std::string length;
        if (k + 1 < e && d[k + 1].group) {
            for (const char c : plain(d[k + 1].kids, 0, d[k + 1].kids.size())) {
                if (c != ' ') length += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
        }
        if (type == "varchar" || type == "nvarchar" || type == "char" || type == "nchar" ||
            type == "varbinary" || type == "binary")
            return type + "(" + (length.empty() ? "1" : length) + ")";
        if (type == "decimal" || type == "numeric") {
            if (length.empty()) length = "18,0";
            if (length.find(',') == std::string::npos) length += ",0";
            return type + "(" + length + ")";
        }
        if (type == "datetime2" || type == "time") return type + "(" + (length.empty() ? "7" : length) + ")";
        return type;
    }

    // A constraint's words, CLUSTERED and NONCLUSTERED left out (PostgreSQL's indexes are all heaps').
    std::string constraintSeq(const Nodes& d, std::size_t b, std::size_t e) {
        std::string out;
        for (std::size_t k = b; k < e;) {
            if (d[k].word("clustered") || d[k].word("nonclustered")) {
                ++k;
                continue;
            }
            node(out, d, k, e);
        }
        return out;
    }

    std::string columnDef(const Nodes& d, std::size_t b, std::size_t e) {
        std::string out = renderAt(d, b);
        std::size_t k = b + 1;
        if (k < e && d[k].word("as")) refuse("computed column " + d[b].tok.text);
        const std::string type = pgType(d, k, e, false);
        out += " " + type;
        if (textType(type)) out += kTextCollation;
        for (; k < e;) {
            if (d[k].word("identity")) {
                std::string seed = "1", step = "1";
                if (k + 1 < e && d[k + 1].group) {
                    const Nodes& g = d[k + 1].kids;
                    const std::vector<Span> p = splitCommas(g, 0, g.size());
                    if (p.size() != 2) refuse("IDENTITY without its seed and increment");
                    seed = trimLead(plain(g, p[0].first, p[0].second));
                    step = trimLead(plain(g, p[1].first, p[1].second));
                    ++k;
                }
                out +=
                    " generated by default as identity (start with " + seed + " increment by " + step + ")";
                ++k;
                continue;
            }
            if (d[k].word("clustered") || d[k].word("nonclustered")) {
                ++k;
                continue;
            }
            if (d[k].word("collate")) refuse("COLLATE");
            node(out, d, k, e);
        }
        return out;
    }

    // ALTER TABLE T ADD column definitions and constraints, between commas
    std::string alterTableAdd(const Nodes& ns) {
        if (ns.size() < 5) refuse("ALTER TABLE ... ADD without what it adds");
        const std::string table = renderAt(ns, 2);
        std::string out = "alter table " + table;
        bool first = true;
        for (const auto& [b, e] : splitCommas(ns, 4, ns.size())) {
            if (b == e) refuse("an empty column definition");
            out += first ? " " : ", ";
            first = false;
            if (startsConstraint(ns[b])) {
                out += "add " + trimLead(constraintSeq(ns, b, e));
                continue;
            }
            out += addedColumn(ns, b, e);
            keepDeclaredType(table, renderAt(ns, b), declaredType(ns, b + 1, e));
        }
        return out;
    }

    // The column an ADD makes. SQL Server fills the rows already there with its default only when it takes
    // no Null or WITH VALUES says so (PostgreSQL always fills them): another's default is set after it.
    std::string addedColumn(const Nodes& ns, std::size_t b, std::size_t e) {
        bool withValues = false;
        if (e - b > 2 && ns[e - 2].word("with") && ns[e - 1].word("values")) {
            withValues = true;
            e -= 2;
        }
        std::size_t at = e;  // DEFAULT
        bool notNull = false;
        for (std::size_t k = b + 1; k < e; ++k) {
            if (ns[k].word("default")) at = k;
            if (ns[k].word("not") && k + 1 < e && ns[k + 1].word("null")) notNull = true;
        }
        if (at == e || notNull || withValues) return "add column " + columnDef(ns, b, e);
        std::size_t end = at + 1;
        static constexpr std::string_view after[] = {"not",   "null",       "constraint", "primary", "unique",
                                                     "check", "references", "identity",   "collate"};
        while (end < e && (ns[end].group || std::none_of(std::begin(after), std::end(after),
                                                         [&](auto w) { return ns[end].word(w); })))
            ++end;
        Nodes without(ns.begin() + static_cast<std::ptrdiff_t>(b),
                      ns.begin() + static_cast<std::ptrdiff_t>(at));
        without.insert(without.end(), ns.begin() + static_cast<std::ptrdiff_t>(end),
                       ns.begin() + static_cast<std::ptrdiff_t>(e));
        return "add column " + columnDef(without, 0, without.size()) + ", alter column " + renderAt(ns, b) +
               " set" + seq(ns, at, end);
    }

    // ALTER TABLE T DROP [COLUMN | CONSTRAINT] name, ...; ALTER TABLE T ALTER COLUMN c type [NULL | NOT NULL]
    std::string alterTableColumn(const Nodes& ns) {
        const std::string table = renderAt(ns, 2);
        if (ns[3].word("drop")) {
            // columns go through the schema's drop_columns, which refuses one an index needs, as SQL Server
            // does
            std::string kind = "constraint";
            std::string constraints, columns, shown;
            for (const auto& [b, e] : splitCommas(ns, 4, ns.size())) {
                std::size_t k = b;
                if (k < e && (ns[k].word("column") || ns[k].word("constraint")))
                    kind = asciiLower(ns[k++].tok.text);
                if (k + 1 != e || ns[k].group || !ns[k].isName())
                    refuse("ALTER TABLE ... DROP of other than columns and constraints");
                if (kind == "column") {
                    columns += (columns.empty() ? "" : ", ") + quoteString(renderAt(ns, k));
                    shown += (shown.empty() ? "" : ", ") + quoteString(ns[k].tok.text);
                } else {
                    constraints +=
                        (constraints.empty() ? " " : ", ") + ("drop constraint " + renderAt(ns, k));
                }
            }
            if (!columns.empty() && !constraints.empty())
                refuse("ALTER TABLE ... DROP of columns and constraints in one statement");
            if (columns.empty() && constraints.empty()) refuse("ALTER TABLE ... DROP without what it drops");
            if (!constraints.empty()) return "alter table " + table + constraints;
            return "select palvo.drop_columns(" + quoteString(table) + ", " + quoteString(ns[2].tok.text) +
                   ", array[" + columns + "], array[" + shown + "])";
        }
        // SQL Server's column takes Nulls after ALTER COLUMN unless it says NOT NULL
        if (ns.size() < 7 || !ns[4].word("column")) refuse("ALTER TABLE ... ALTER other than a column");
        const std::string column = renderAt(ns, 5);
        std::size_t k = 6;
        const std::string type = pgType(ns, k, ns.size(), false);
        bool notNull = false;
        if (k + 1 < ns.size() && ns[k].word("not") && ns[k + 1].word("null")) {
            notNull = true;
            k += 2;
        } else if (k < ns.size() && ns[k].word("null")) {
            ++k;
        }
        if (k != ns.size()) refuse("ALTER COLUMN with more than a type and NULL or NOT NULL");
        keepDeclaredType(table, column, declaredType(ns, 6, ns.size()));
        // to a text, the assignment's cast, which refuses a value too long as SQL Server does (an explicit
        // one would cut it); to another type, the conversion CAST writes
        return "alter table " + table + " alter column " + column + " type " + type +
               (textType(type) ? std::string(kTextCollation) : " using " + castTo(column, type, ns[6])) +
               ", alter column " + column + (notNull ? " set not null" : " drop not null");
    }

    // CREATE [UNIQUE] [CLUSTERED | NONCLUSTERED] INDEX name ON T (columns)
    std::string createIndex(const Nodes& ns) {
        std::string out;
        for (std::size_t k = 0; k < ns.size();) {
            if (ns[k].word("clustered") || ns[k].word("nonclustered")) {
                ++k;
                continue;
            }
            if (ns[k].word("with") || ns[k].word("include") || ns[k].word("where"))
                refuse("CREATE INDEX ... " + upper(ns[k].tok.text));
            node(out, ns, k, ns.size());
        }
        return trimLead(out);
    }

    // DROP TABLE | VIEW [IF EXISTS] a, b; DROP INDEX T.ix | ix ON T
    std::string drop(const Nodes& ns) {
        if (ns.size() > 1 && ns[1].word("index")) {
            std::size_t k = 2;
            const bool ifExists = k + 1 < ns.size() && ns[k].word("if") && ns[k + 1].word("exists");
            if (ifExists) k += 2;
            // T.ix or ix ON T: PostgreSQL's index names are the schema's, so the schema's function drops the
            // index only where it is that table's
            const Node* table = nullptr;
            if (k + 2 < ns.size() && ns[k + 1].op(".")) {
                table = &ns[k];
                k += 2;
            }
            if (k >= ns.size() || !ns[k].isName()) refuse("DROP INDEX without its name");
            const Node& index = ns[k];
            if (k + 1 < ns.size()) {
                if (!ns[k + 1].word("on") || k + 3 != ns.size() || table)
                    refuse("DROP INDEX of several indexes");
                table = &ns[k + 2];
            }
            if (!table) return std::string("drop index ") + (ifExists ? "if exists " : "") + renderAt(ns, k);
            if (table->group || !table->isName()) refuse("DROP INDEX of a table that is not named");
            return "select palvo.drop_index(" + quoteString(asciiLower(table->tok.text)) + ", " +
                   quoteString(asciiLower(index.tok.text)) + ", " + (ifExists ? "true" : "false") + ", " +
                   quoteString(table->tok.text + "." + index.tok.text) + ")";
        }
        if (ns.size() > 1 && (ns[1].word("procedure") || ns[1].word("proc") || ns[1].word("function") ||
                              ns[1].word("trigger")))
            refuse("DROP " + upper(ns[1].tok.text));
        return trimLead(seq(ns, 0, ns.size()));
    }
};

class PostgresTarget final : public Target {
public:
    std::string_view name() const override { return "postgresql"; }
    DatabaseCapabilities capabilities() const override {
        // hints are not sent (see tableHints); INSERT ... SELECT reads before it locks
        return {.tableHints = false, .insertSelectLocksFirst = false};
    }
    std::vector<std::string> sessionSetup() const override {
        return {std::string(postgresRuntime()), "set search_path = public, palvo, pg_catalog"};
    }
    std::string lastIdentityQuery() const override { return "select palvo.identity()"; }
    // sum(x) of a decimal(10,2) is written 24.50, its driver describing no scale
    bool decimalsAsWritten() const override { return true; }
    // DATENAME and FORMAT read the language from the setting palvo.language (简体中文 without it)
    std::vector<std::string> languageSetup(Language language) const override {
        if (language == Language::English) return {"set palvo.language = 'us_english'"};
        return {};
    }
    Error sqlServerError(const Error& failure, std::string_view database, Language language) const override {
        return postgresFailure(failure, database, language);
    }

protected:
    Translation render(const ReadBatch& batch, Catalogue*, std::string_view) const override {
        const auto& ss = batch.statements;
        if (ss.empty()) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
        // DECLAREs without values, then one query or change (as the batch engine writes each of its
        // statements): the statement, its variables bound as parameters
        PgRenderer::Types types;
        std::size_t k = 0;
        while (k + 1 < ss.size() && declaresOnly(ss[k], types)) ++k;
        const StatementKind last = ss.back().kind;
        Translation tr;
        if (k > 0 && k + 1 == ss.size() &&
            (last == StatementKind::Select || last == StatementKind::With || last == StatementKind::Insert ||
             last == StatementKind::Update || last == StatementKind::Delete) &&
            !hasParameter(ss.back().nodes) && declaredVariables(ss.back().nodes, types)) {
            PgRenderer r(&types);
            tr.statements.push_back(r.statement(ss.back()));
            tr.variables = std::move(r.bound());
            return tr;
        }
        if (k > 0 || ss.size() > 1 || batchLanguage(ss[0])) {
            // the connection's batch engine runs it; a host that runs translations alone is told why not
            tr.batch = true;
            tr.refusal = "Not supported on PostgreSQL: several statements in one batch.";
            if (ss.size() == 1) {
                try {
                    PgRenderer().statement(ss[0]);
                } catch (const Error& e) {
                    tr.refusal = e.description();
                }
            }
            return tr;
        }
        PgRenderer r;
        tr.statements.push_back(r.statement(ss[0]));
        for (std::string& a : r.after()) tr.statements.push_back(std::move(a));
        tr.variables = std::move(r.bound());
        return tr;
    }
};

}  // namespace

const Target& postgresTarget() {
    static const PostgresTarget target;
    return target;
}

namespace {

// The functions a body of statements calls, as the server keeps them, and the function itself as it is
// being made. A function written into its callers (one RETURN, an inline table-valued function) is
// refused there: the PL/pgSQL function would keep it as it is now.
class BodyCatalogue final : public Catalogue {
public:
    BodyCatalogue(Catalogue& server, const UserFunction& f, std::string_view definition)
        : server_(server), f_(f), own_{"FN", std::string(definition)} {}

    const Columns* columns(const std::string& lowerName) override { return server_.columns(lowerName); }
    const FunctionDefinition* function(const std::string& lowerName) override {
        if (lowerName == asciiLower(f_.name)) return &own_;
        const FunctionDefinition* def = server_.function(lowerName);
        if (def && (def->type != "FN" || !readFunction(def->definition).statements))
            refuse("a call of the function " + lowerName +
                   ", whose body is not statements, in the function " + f_.name);
        return def;
    }
    bool hasFunctions() override { return true; }

private:
    Catalogue& server_;
    const UserFunction& f_;
    const FunctionDefinition own_;
};

// A scalar function whose body is statements, as a PL/pgSQL function: its parameters and variables
// are PL/pgSQL's under their T-SQL names ("@n"), each expression and query rendered as any statement
// is, and each value SET or SELECT gives converted to the variable's type as SQL Server converts it.
class PlpgsqlWriter {
public:
    PlpgsqlWriter(const UserFunction& f, Catalogue& calls)
        : f_(f), calls_(calls), tree_(readStatementTree(f_.body)) {
        for (const UserFunction::Parameter& p : f_.parameters) types_[p.declared.name] = p.declared.type;
    }

    std::string function() {
        std::string body;
        for (const BatchStatement& s : tree_.statements.at(0).parts) write(s, body);
        std::string params;
        for (const UserFunction::Parameter& p : f_.parameters)
            params += (params.empty() ? "" : ", ") + quoteName(p.declared.name) + " " +
                      PgRenderer::typeOf(p.declared.type);
        std::string declared = "palvo_row record;\npalvo_context text;\n";
        for (const auto& [name, type] : declared_) declared += quoteName(name) + " " + type + ";\n";
        // calls within calls stop where SQL Server's do, at 32
        const std::string head =
            "get diagnostics palvo_context = pg_context;\n"
            "if array_length(string_to_array(palvo_context, 'PL/pgSQL function palvo_functions.'), 1) > 33 "
            "then\nraise exception using errcode = 'PV000', message = 'Maximum stored procedure, function, "
            "trigger, or view nesting level exceeded (limit 32).';\nend if;\n";
        const std::string text = "declare\n" + declared + "begin\n" + head + body + "end\n";
        std::string tag = "$palvo$";
        while (text.find(tag) != std::string::npos) tag.insert(tag.size() - 1, "_");
        return "create function " + userFunctionName(f_.name) + "(" + params + ") returns " +
               PgRenderer::typeOf(f_.returns) + " language plpgsql as " + tag + "\n" + text + tag;
    }

private:
    [[noreturn]] void refuseHere(const std::string& what) const {
        refuse(what + " in the user-defined function " + f_.name);
    }

    // the nodes' text, a call's `dbo.` kept
    std::string slice(std::size_t b, std::size_t e) const {
        const std::size_t from = withSchema(tree_.text, tree_.offsetOf(b));
        return std::string(tree_.text.substr(from, tree_.offsetOf(e) - from));
    }

    // T-SQL text read as one statement and rendered with the function's names; `expression`: the text
    // after SELECT only
    std::string render(const std::string& tsql, bool expression) {
        std::string text = expression ? "select " + tsql : tsql;
        if (auto written = expandFunctions(text, calls_)) text = std::move(*written);
        const ReadBatch read = readBatch(text);
        if (read.statements.size() != 1) refuseHere("a statement read as several");
        PgRenderer r(&types_, true);
        const Nodes& ns = read.statements[0].nodes;
        std::string out = expression ? r.expression(ns, 1, ns.size()) : r.statement(read.statements[0]);
        if (!r.bound().empty()) refuseHere(r.bound()[0]);
        return out;
    }
    std::string converted(const std::string& tsql, const std::string& type) {
        return render("cast((" + tsql + "\n) as " + type + ")", true);
    }
    const std::string& typeOf(const Node& variable) const {
        const auto it = types_.find(asciiLower(variable.tok.text));
        if (it == types_.end())
            throw Error(ErrorNumber::Database,
                        "Must declare the scalar variable \"" + variable.tok.text + "\".", 137);
        return it->second;
    }
    // `@v = x` or `@v += x` at ns[k], up to e: the value the variable is given, in T-SQL
    std::string assigned(std::size_t k, std::size_t e) const {
        const Nodes& ns = tree_.nodes;
        if (k + 2 >= e || ns[k].group || ns[k].tok.kind != TokenKind::Variable)
            refuseHere("a statement other than an assignment");
        if (ns[k + 1].op("=")) return slice(k + 2, e);
        for (const char* op : {"+", "-", "*", "/", "%", "&", "|", "^"}) {
            if (ns[k + 1].op(op) && ns[k + 2].op("=") && k + 3 < e)
                return ns[k].tok.text + " " + op + " (" + slice(k + 3, e) + "\n)";
        }
        syntaxNear(ns[k + 1]);
    }
    std::string assignment(std::size_t k, std::size_t e) {
        const Node& v = tree_.nodes[k];
        return quoteName(asciiLower(v.tok.text)) + " := " + converted(assigned(k, e), typeOf(v)) + ";\n";
    }

    void write(const BatchStatement& s, std::string& out) {
        const Nodes& ns = tree_.nodes;
        switch (s.form) {
            case BatchStatement::Form::Block:
                for (const BatchStatement& p : s.parts) write(p, out);
                return;
            case BatchStatement::Form::If:
                out += "if " + render(slice(s.first + 1, s.conditionEnd), true) + " then\n";
                write(s.parts.at(0), out);
                if (s.parts.size() > 1) {
                    out += "else\n";
                    write(s.parts[1], out);
                }
                out += "end if;\n";
                return;
            case BatchStatement::Form::While:
                out += "while " + render(slice(s.first + 1, s.conditionEnd), true) + " loop\n";
                write(s.parts.at(0), out);
                out += "end loop;\n";
                return;
            case BatchStatement::Form::Try:
                refuseHere("TRY ... CATCH");
            case BatchStatement::Form::Plain:
                break;
        }
        if (s.first >= s.last) return;
        const Node& first = ns[s.first];
        if (s.kind == StatementKind::Declare) {
            for (const Declared& d : readDeclarations(ns, s.first, s.last)) {
                types_[d.name] = d.type;
                declared_.emplace_back(d.name, PgRenderer::typeOf(d.type));
                if (d.valueFirst < d.valueLast)
                    out += quoteName(d.name) + " := " + converted(slice(d.valueFirst, d.valueLast), d.type) +
                           ";\n";
            }
        } else if (s.kind == StatementKind::Set && s.first + 1 < s.last && !ns[s.first + 1].group &&
                   ns[s.first + 1].tok.kind == TokenKind::Variable) {
            out += assignment(s.first + 1, s.last);
        } else if (s.kind == StatementKind::Select) {
            selectAssignments(s, out);
        } else if (s.kind == StatementKind::Return) {
            out += "return " + converted(slice(s.first + 1, s.last), f_.returns) + ";\n";
        } else if (first.word("break")) {
            out += "exit;\n";
        } else if (first.word("continue")) {
            out += "continue;\n";
        } else {
            refuseHere("the statement " + upper(first.tok.text));
        }
    }

    // SELECT @a = x, @b = y [FROM ...]: each variable is given its value of the last row, and kept
    // where there is none (the engine refuses one that reads a variable it gives, row by row)
    void selectAssignments(const BatchStatement& s, std::string& out) {
        const Nodes& ns = tree_.nodes;
        const std::size_t listEnd = selectListEnd(ns, s.first + 1, s.last);
        const std::vector<Span> targets = splitCommas(ns, s.first + 1, listEnd);
        std::string query = "select ";
        std::string given;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const auto [b, e] = targets[i];
            const std::string column = "palvo_" + std::to_string(i);
            query += (i ? ", " : "") + std::string("cast((") + assigned(b, e) + "\n) as " + typeOf(ns[b]) +
                     ") as " + column;
            given += quoteName(asciiLower(ns[b].tok.text)) + " := palvo_row." + column + ";\n";
        }
        query += " " + slice(listEnd, s.last);
        out += "for palvo_row in " + render(query, false) + " loop\n" + given + "end loop;\n";
    }

    const UserFunction& f_;
    Catalogue& calls_;
    const StatementTree tree_;
    PgRenderer::Types types_;
    std::vector<std::pair<std::string, std::string>> declared_;  // the variables and their PostgreSQL types
};

}  // namespace

std::string postgresFunction(std::string_view definition, Catalogue& catalogue) {
    const UserFunction f = readFunction(definition);
    if (!f.statements) refuse("PL/pgSQL of a function whose body is one RETURN");
    BodyCatalogue calls(catalogue, f, definition);
    return PlpgsqlWriter(f, calls).function();
}

std::string postgresFunctionName(std::string_view name) { return userFunctionName(name); }

}  // namespace Palvo::dialect
