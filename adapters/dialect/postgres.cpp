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
        "concat", "pi",
        // the schema palvo's
        "len", "isnull", "getdate", "charindex", "datediff", "dateadd", "datepart", "year", "month", "day",
        "newid", "ceiling", "square", "space", "replicate", "object_name", "type_name", "object_id",
        "scope_identity", "str", "patindex", "stuff", "iif", "eomonth", "log10", "ascii", "unicode", "char",
        "nchar"};
    for (std::string_view n : names) {
        if (fn == n) return true;
    }
    return false;
}

class PgRenderer {
public:
    using Types = std::unordered_map<std::string, std::string>;
    explicit PgRenderer(const Types* variables = nullptr) : variables_(variables) {}

    // The batch variables and session values the statement reads, in the order of its parameters.
    std::vector<std::string>& bound() { return bound_; }

    std::string statement(const ReadStatement& s) {
        switch (s.kind) {
            case StatementKind::Select:
            case StatementKind::With:
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
    std::vector<std::string> bound_;

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
        const RowLock outerLock = std::exchange(lock_, RowLock::None);
        std::size_t topAt = e, topEnd = e;
        std::string limit;
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
                if (topEnd + 1 < e && ns[topEnd].word("with") && ns[topEnd + 1].word("ties"))
                    refuse("TOP ... WITH TIES");
            }
            break;
        }
        if (topAt != e) {
            for (std::size_t k = b; k < e; ++k) {
                if (ns[k].word("union") || ns[k].word("except") || ns[k].word("intersect"))
                    refuse("TOP in a query with " + upper(ns[k].tok.text));
            }
        }
        const std::vector<Span> aliased = aliasedItems(ns, b, e);
        std::size_t nextAlias = 0;
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
            node(out, ns, k, e);
        }
        if (!limit.empty()) out += " limit " + limit;
        if (lock_ != RowLock::None) {
            bool query = false;
            for (std::size_t k = b; k < e && !query; ++k) query = ns[k].word("select");
            if (!query) refuse("the table hints UPDLOCK, XLOCK and HOLDLOCK outside a SELECT's own FROM");
            out += lock_ == RowLock::Update ? " for update" : " for share";
        }
        lock_ = outerLock;
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
        if (k + 1 < e && ns[k + 1].group && isFunctionCall(ns, k) &&
            (sameFunction(lw) || !bareHints(ns[k + 1]))) {
            put(out, call(lw, ns[k + 1]), t.spaceBefore);
            k += 2;
            return;
        }
        put(out, t.text, t.spaceBefore);
        ++k;
    }

    // A word before a group calls a function, unless it names a table (INSERT INTO T (...)) or is a
    // clause's word.
    static bool isFunctionCall(const Nodes& ns, std::size_t k) {
        const std::string lw = asciiLower(ns[k].tok.text);
        if (lw == "left" || lw == "right") return true;  // LEFT JOIN has no parentheses after LEFT
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
            if (fn == "datename") refuse("the function DATENAME()");
            return "palvo." + fn + "('" + part + "'" + trimLead(seq(a, 1, a.size())) + ")";
        }
        if (fn == "log") return "ln(" + args(a) + ")";
        if (fn == "getdate" || fn == "sysdatetime" || fn == "current_timestamp") return "palvo.getdate()";
        if (fn == "getutcdate") return "palvo.getutcdate()";
        if (const char* type = sessionValueType(fn + "()")) {
            if (!a.empty()) refuse(upper(fn) + "() with arguments");
            return parameter(fn + "()", type);
        }
        if (!sameFunction(fn)) refuse("the function " + upper(fn) + "()");
        const bool own = fn == "len" || fn == "isnull" || fn == "charindex" || fn == "year" ||
                         fn == "month" || fn == "day" || fn == "newid" || fn == "ceiling" || fn == "square" ||
                         fn == "space" || fn == "replicate" || fn == "object_name" || fn == "type_name" ||
                         fn == "object_id" || fn == "scope_identity" || fn == "str" || fn == "patindex" ||
                         fn == "stuff" || fn == "iif" || fn == "eomonth" || fn == "log10" || fn == "ascii" ||
                         fn == "unicode" || fn == "char" || fn == "nchar" || fn == "round";
        if (fn == "scope_identity") return "palvo.identity()";
        return (own ? "palvo." + fn : fn) + "(" + args(a) + ")";
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
    // (bit, also a smallint here, is 1 for any number but 0, which a plain cast gives for most)
    static std::string castTo(const std::string& value, const std::string& type, const Node& written) {
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
        return "cast(palvo.convert_style(" + value + ", " + style + ") as " + type + ")";
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
            if (d[b].word("constraint") || d[b].word("primary") || d[b].word("unique") ||
                d[b].word("foreign") || d[b].word("check")) {
                out += trimLead(constraintSeq(d, b, e));
                continue;
            }
            out += columnDef(d, b, e);
        }
        return out + ")";
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
            std::string out = "drop index";
            if (k + 1 < ns.size() && ns[k].word("if") && ns[k + 1].word("exists")) {
                out += " if exists";
                k += 2;
            }
            if (k + 2 < ns.size() && ns[k + 1].op("."))
                k += 2;  // T.ix: PostgreSQL's index names are the schema's
            if (k >= ns.size()) refuse("DROP INDEX without its name");
            out += " " + renderAt(ns, k);
            if (k + 1 < ns.size() && !ns[k + 1].word("on")) refuse("DROP INDEX of several indexes");
            return out;
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
    Error sqlServerError(const Error& failure, std::string_view database) const override {
        return postgresFailure(failure, database);
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
        tr.variables = std::move(r.bound());
        return tr;
    }
};

}  // namespace

const Target& postgresTarget() {
    static const PostgresTarget target;
    return target;
}

}  // namespace Palvo::dialect
