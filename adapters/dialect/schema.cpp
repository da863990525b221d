// Schema statements: CREATE TABLE and ALTER TABLE ... ADD with SQL Server
// column types (kept, as they drive the column metadata), the collation text
// columns take, the triggers that store dates in one form and check values on
// their way in; CREATE VIEW and CREATE INDEX.
#include <cstdlib>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

using DateColumns = std::vector<std::pair<std::string, std::string>>;  // column, conversion

bool isTextType(std::string_view lw) {
    return lw == "char" || lw == "character" || lw == "varchar" || lw == "nchar" || lw == "nvarchar" ||
           lw == "text" || lw == "ntext";
}

bool isDateType(std::string_view lw) { return lw == "datetime" || lw == "smalldatetime" || lw == "date"; }

bool isIntegerType(std::string_view lw) {
    return lw == "int" || lw == "integer" || lw == "bigint" || lw == "smallint" || lw == "tinyint" ||
           lw == "numeric" || lw == "decimal";
}

// The numbers in a type's parentheses: "decimal(18, 2)" gives 18 and 2, "(-1)" is max.
long typeArg(const std::string& typeText, std::size_t index, long dflt) {
    auto p = typeText.find('(');
    for (std::size_t i = 0; p != std::string::npos; ++i) {
        if (i == index) return std::strtol(typeText.c_str() + p + 1, nullptr, 10);
        p = typeText.find(',', p + 1);
    }
    return dflt;
}

bool isExactWithFraction(std::string_view lw, const std::string& typeText) {
    return lw == "money" || lw == "smallmoney" ||
           ((lw == "decimal" || lw == "dec" || lw == "numeric") && typeArg(typeText, 1, 0) > 0);
}

// A whole number of more digits than bigint holds (decimal(19,0) to decimal(38,0)) is
// kept as its decimal text: SQLite would make a double of it. The column has TEXT
// affinity (" text" after the type name) and compares by numtext, the numbers' order.
bool wholeAsText(std::string_view lw, const std::string& typeText) {
    return (lw == "decimal" || lw == "dec" || lw == "numeric") && typeArg(typeText, 0, 18) > 18 &&
           typeArg(typeText, 1, 0) == 0;
}

// Decimals with a fraction are stored as doubles (SQLite's REAL affinity, named by
// " real" after the type name): their check keeps only doubles that read back as
// the same decimal, and a whole amount stays apart from an integer for avg.
std::string storedTypeText(std::string_view lw, const std::string& typeText) {
    if (wholeAsText(lw, typeText)) {
        return typeText.substr(0, typeText.find('(')) + " text(" + std::to_string(typeArg(typeText, 0, 18)) +
               ",0)";
    }
    if (!isExactWithFraction(lw, typeText)) return typeText;
    auto p = typeText.find('(');
    return p == std::string::npos ? typeText + " real" : typeText.substr(0, p) + " real" + typeText.substr(p);
}

// The conversion SQL Server applies to a value stored into a column of this type,
// as a call on `value`; "" when the type needs none here.
std::string valueCheck(std::string_view lw, const std::string& typeText, const std::string& value) {
    if (lw == "tinyint" || lw == "smallint" || lw == "int" || lw == "integer" || lw == "bigint") {
        return "tsql_check_int(" + value + ", '" + std::string(lw == "integer" ? "int" : lw) + "')";
    }
    if (lw == "decimal" || lw == "dec" || lw == "numeric") {
        return "tsql_check_decimal(" + value + ", " + std::to_string(typeArg(typeText, 0, 18)) + ", " +
               std::to_string(typeArg(typeText, 1, 0)) + (wholeAsText(lw, typeText) ? ", 1)" : ")");
    }
    // a time keeps the digits of its scale: 'hh:mm:ss.fffffff'
    if (lw == "time")
        return "tsql_convert('time(" + std::to_string(typeArg(typeText, 0, 7)) + ")', " + value + ", null)";
    if (lw == "money") return "tsql_check_decimal(" + value + ", 19, 4)";
    if (lw == "smallmoney") return "tsql_check_decimal(" + value + ", 10, 4)";
    if (lw == "char" || lw == "character" || lw == "varchar" || lw == "nchar" || lw == "nvarchar") {
        const long n = typeArg(typeText, 0, 1);
        if (n < 0) return "";
        return "tsql_check_text(" + value + ", " + std::to_string(n) + ", " + (lw[0] == 'n' ? "1" : "0") +
               ")";
    }
    return "";
}

// Triggers that pass every new or changed value of the checked columns through its
// check: a value the type cannot hold fails the statement, which then changes nothing.
void appendValueChecks(Translation& tr, const std::string& tableName, const std::vector<ValueCheck>& checks,
                       const std::string& suffix) {
    if (checks.empty()) return;
    const std::string table = quoteName(tableName);
    std::string sets, when, cols;
    for (const auto& c : checks) {
        sets += (sets.empty() ? "" : ", ") + c.quoted + " = " + c.check;
        // texts compare byte for byte here: the column's collation ignores the trailing
        // blanks the check drops
        const bool text = c.check.starts_with("tsql_check_text(") || c.check.ends_with(", 1)");
        when += (when.empty() ? "new." : " or new.") + c.quoted + " is not " + c.check +
                (text ? " collate binary" : "");
        cols += (cols.empty() ? "" : ", ") + c.quoted;
    }
    const std::string body = " for each row when " + when + " begin update " + table + " set " + sets +
                             " where rowid = new.rowid; end";
    tr.statements.push_back("create trigger " + quoteName(tableName + "__check" + suffix + "_insert") +
                            " after insert on " + table + body);
    tr.statements.push_back("create trigger " + quoteName(tableName + "__check" + suffix + "_update") +
                            " after update of " + cols + " on " + table + body);
}

// Triggers that store every value of the date columns in the one text form.
void appendDateTriggers(Translation& tr, const std::string& tableName, const DateColumns& dateColumns) {
    if (dateColumns.empty()) return;
    const std::string table = quoteName(tableName);
    std::string sets, when, cols;
    for (const auto& [c, fn] : dateColumns) {
        sets += (sets.empty() ? "" : ", ") + c + " = " + fn + "(new." + c + ")";
        when += (when.empty() ? "" : " or ") + std::string("new.") + c + " is not " + fn + "(new." + c + ")";
        cols += (cols.empty() ? "" : ", ") + c;
    }
    std::string body = " for each row when " + when + " begin update " + table + " set " + sets +
                       " where rowid = new.rowid; end";
    tr.statements.push_back("create trigger " + quoteName(tableName + "__datetime_insert") +
                            " after insert on " + table + body);
    tr.statements.push_back("create trigger " + quoteName(tableName + "__datetime_update") +
                            " after update of " + cols + " on " + table + body);
}

}  // namespace

bool knownType(std::string_view lw) {
    static const char* const types[] = {
        "bigint",   "int",           "integer", "smallint",   "tinyint",   "bit",     "decimal",
        "dec",      "numeric",       "money",   "smallmoney", "float",     "real",    "double",
        "datetime", "smalldatetime", "date",    "char",       "character", "varchar", "nchar",
        "nvarchar", "text",          "ntext",   "binary",     "varbinary", "image",   "uniqueidentifier",
        "time"};
    for (const char* t : types) {
        if (lw == t) return true;
    }
    return false;
}

void checkTypeLength(std::string_view lw, std::string_view length, const std::string& givenTo) {
    const bool wide = lw == "nchar" || lw == "nvarchar";
    if (!(wide || lw == "char" || lw == "character" || lw == "varchar" || lw == "binary" ||
          lw == "varbinary"))
        return;
    while (!length.empty() && length.front() == ' ') length.remove_prefix(1);
    std::size_t digits = 0;
    while (digits < length.size() && length[digits] >= '0' && length[digits] <= '9') ++digits;
    const std::string_view n = length.substr(0, digits);
    const std::string_view limit = wide ? "4000" : "8000";
    // compared as digits: a length beyond any integer type is refused too
    std::string_view significant = n;
    while (significant.size() > 1 && significant.front() == '0') significant.remove_prefix(1);
    if (significant.size() < limit.size() || (significant.size() == limit.size() && significant <= limit))
        return;
    throw Error(ErrorNumber::Database,
                "The size (" + std::string(n) + ") given to the " + givenTo +
                    " exceeds the maximum allowed for any data type (" + std::string(limit) + ").",
                131);
}

std::string sqliteCollation(std::string_view sqlServerName) {
    const std::string c = asciiLower(sqlServerName);
    const bool bytes = c.find("_cs") != std::string::npos || c.find("_bin") != std::string::npos ||
                       c == "binary" || c == "rtrim";
    return bytes ? "rtrim" : std::string(kTextCollation);
}

// One column definition as read.
struct Rewriter::ColumnDef {
    std::string name;      // as written
    std::string type;      // the type's name, lower case
    std::string typeText;  // the type as written, with its arguments
    std::string tail;      // the options, rendered
    bool identity = false;
    bool explicitCollate = false;
};

// CREATE TABLE with SQL Server column types. Declared types are kept (they
// drive the column metadata); text columns compare without regard to case;
// datetime columns get triggers that store every value in one text form.
Translation Rewriter::createTable(const Nodes& ns) {
    std::size_t i = 2;
    if (i >= ns.size() || !ns[i].isName()) unsupported("CREATE TABLE without a name");
    std::string tableName = ns[i].tok.text;
    const bool shared = globalTemporary(tableName);
    const bool temporary = !tableName.empty() && tableName[0] == '#' && !shared;
    if (temporary) tableName = temporaryName(tableName);
    std::string table = quoteName(tableName);
    ++i;
    if (i >= ns.size() || !ns[i].group) unsupported("CREATE TABLE without a column list");
    const Node& defs = ns[i];
    if (i + 1 != ns.size())
        unsupported("CREATE TABLE options after the column list ('" + plain(ns, i + 1, ns.size()) + "')");
    const Nodes& d = defs.kids;
    auto parts = splitCommas(d, 0, d.size());

    bool identitySeen = false;
    for (auto [b, e] : parts) {
        for (std::size_t k = b; k < e; ++k) {
            if (d[k].word("identity")) identitySeen = true;
        }
    }
    std::vector<std::string> columns;
    DateColumns dateColumns;
    checks_.clear();
    ownColumns_.clear();
    for (auto [b, e] : parts) {
        if (b == e) unsupported("an empty column definition in CREATE TABLE");
        std::string lw = d[b].isName() && d[b].tok.kind == TokenKind::Word ? asciiLower(d[b].tok.text) : "";
        if (lw == "constraint" || lw == "primary" || lw == "unique" || lw == "check" || lw == "foreign") {
            columns.push_back(constraintDef(d, b, e, identitySeen));
            continue;
        }
        columns.push_back(columnDef(d, b, e, dateColumns));
    }
    Translation tr;
    std::string create = std::string(temporary ? "create temp table " : "create table ") + table + " (";
    for (std::size_t c = 0; c < columns.size(); ++c) create += (c ? ", " : "") + columns[c];
    create += ")";
    tr.statements.push_back(std::move(create));
    appendDateTriggers(tr, tableName, dateColumns);
    appendValueChecks(tr, tableName, checks_, "");
    if (shared) {
        // who made it, so that its connection's close (or, when its process died, the next open) drops it;
        // REPLACE, not INSERT: SELECT ... INTO counts the rows its INSERTs put
        tr.statements.push_back(std::string("create table if not exists main.") + kGlobalMakers +
                                " (name text not null collate nocase primary key, maker text not null)");
        tr.statements.push_back(std::string("replace into main.") + kGlobalMakers + " values (" +
                                quoteString(tableName) + ", tsql_global_maker())");
    }
    return tr;
}

// A table constraint; a primary key beside an IDENTITY column (which becomes
// the rowid's primary key) becomes unique.
std::string Rewriter::constraintDef(const Nodes& d, std::size_t b, std::size_t e, bool identitySeen) {
    std::string c;
    for (std::size_t k = b; k < e; ++k) {
        if (d[k].word("clustered") || d[k].word("nonclustered")) continue;
        if (identitySeen && d[k].word("primary") && k + 1 < e && d[k + 1].word("key")) {
            put(c, "unique", d[k].tok.spaceBefore);
            ++k;
            continue;
        }
        if (d[k].group)
            put(c, "(" + seq(d[k].kids, 0, d[k].kids.size()) + ")", d[k].tok.spaceBefore);
        else
            put(c, d[k]);
    }
    return c[0] == ' ' ? c.substr(1) : c;
}

// A column definition: its type, its options, and what the type asks for (the
// text collation, the date triggers, the value check).
std::string Rewriter::columnDef(const Nodes& d, std::size_t b, std::size_t e, DateColumns& dateColumns) {
    if (!d[b].isName()) unsupported("the column definition '" + plain(d, b, e) + "'");
    if (b + 1 < e && d[b + 1].word("as")) return computedColumnDef(d, b, e);
    ColumnDef c;
    c.name = d[b].tok.text;
    std::size_t k = columnType(d, b + 1, e, c);
    ownColumns_[asciiLower(c.name)] = storedTypeText(c.type, c.typeText);
    std::string col = quoteName(c.name);
    columnOptions(d, k, e, c);
    if (c.identity) {
        if (!isIntegerType(c.type)) unsupported("IDENTITY on a " + c.typeText + " column");
        // "not null" is implied by the rowid alias.
        std::string cleaned = c.tail;
        for (const char* drop : {" not null", " NOT NULL", " Not Null"}) {
            if (auto p = cleaned.find(drop); p != std::string::npos)
                cleaned.erase(p, std::string(drop).size());
        }
        return col + " integer primary key autoincrement" + cleaned;
    }
    if (isTextType(c.type) && !c.explicitCollate) c.tail = kCollateText + c.tail;
    if (wholeAsText(c.type, c.typeText) && !c.explicitCollate) c.tail = " collate numtext" + c.tail;
    if (isDateType(c.type)) {
        dateColumns.emplace_back(col, c.type == "date"            ? "tsql_date"
                                      : c.type == "smalldatetime" ? "tsql_smalldatetime"
                                                                  : "tsql_datetime");
    }
    if (auto check = valueCheck(c.type, c.typeText, "new." + col); !check.empty()) {
        checks_.push_back({c.name, col, std::move(check)});
    }
    return col + " " + storedTypeText(c.type, c.typeText) + c.tail;
}

// name AS expression [PERSISTED [NOT NULL]]: SQLite's generated column, virtual or
// stored, declared with the type SQL Server gives the expression (computed from
// the columns before it), so that it reads as that type.
std::string Rewriter::computedColumnDef(const Nodes& d, std::size_t b, std::size_t e) {
    const std::string name = d[b].tok.text;
    Expr x;
    std::size_t end = b + 2;
    {
        const ScopeGuard scope(*this, Scope{Source{"", &ownColumns_}});
        const Nesting level(depth_);
        x = expr(d, end, e, 1);  // up to PERSISTED or the options
        if (x.empty) unsupported("the computed column " + name + " without an expression");
    }
    std::size_t k = end;
    const bool persisted = k < e && d[k].word("persisted");
    if (persisted) ++k;
    const bool notNull = persisted && k + 1 < e && d[k].word("not") && d[k + 1].word("null");
    if (notNull) k += 2;
    if (k != e) unsupported("'" + plain(d, end, e) + "' on the computed column " + name);
    const std::string type = typeOf(x);
    const std::string base = type.substr(0, type.find('('));
    std::string def = quoteName(name);
    if (!type.empty()) {
        def += " " + storedTypeText(base, type) + (isTextType(base) ? kCollateText : "") +
               (wholeAsText(base, type) ? " collate numtext" : "");
    }
    ownColumns_[asciiLower(name)] = type.empty() ? "" : storedTypeText(base, type);
    def += " generated always as (" + x.text + ") " + (persisted ? "stored" : "virtual");
    return notNull ? def + " not null" : def;
}

// The column's type from d[k] on; returns where its options start.
std::size_t Rewriter::columnType(const Nodes& d, std::size_t k, std::size_t e, ColumnDef& c) {
    if (k >= e || d[k].group || d[k].tok.kind != TokenKind::Word)
        unsupported("a column without a type: " + c.name);
    c.type = asciiLower(d[k].tok.text);
    c.typeText = d[k].tok.text;
    ++k;
    if (c.type == "double" && k < e && d[k].word("precision")) {
        c.typeText += " " + d[k].tok.text;
        ++k;
    }
    if (!knownType(c.type)) unsupported("the column type " + c.typeText);
    if (k < e && d[k].group) {
        // (max) becomes (-1): SQLite type arguments are numbers; the metadata reads -1 as max.
        std::string args = plain(d[k].kids, 0, d[k].kids.size());
        if (equalsNoCase(args, "max")) args = "-1";
        checkTypeLength(c.type, args, "column '" + c.name + "'");
        c.typeText += "(" + args + ")";
        ++k;
    }
    return k;
}

// IDENTITY (seed 1, step 1 only), DEFAULT, COLLATE and the options SQLite reads as written.
void Rewriter::columnOptions(const Nodes& d, std::size_t k, std::size_t e, ColumnDef& c) {
    for (; k < e; ++k) {
        const Node& x = d[k];
        if (x.word("identity")) {
            c.identity = true;
            if (k + 1 < e && d[k + 1].group) {
                std::string args = plain(d[k + 1].kids, 0, d[k + 1].kids.size());
                if (args != "1,1" && args != "1, 1")
                    unsupported("IDENTITY(" + args + ") (only seed 1, step 1)");
                ++k;
            }
            continue;
        }
        if (x.word("clustered") || x.word("nonclustered")) continue;
        if (x.word("primary") && c.identity) {
            if (k + 1 < e && d[k + 1].word("key")) ++k;
            continue;
        }
        if (x.word("default")) {
            ++k;
            Expr v = expr(d, k, e, 1);
            if (v.empty) unsupported("DEFAULT without a value for column " + c.name);
            --k;
            c.tail += " default (" + v.text + ")";
            continue;
        }
        if (x.word("collate") && k + 1 < e) {
            std::string coll = asciiLower(d[k + 1].tok.text);
            c.tail += " collate " + sqliteCollation(coll);
            c.explicitCollate = true;
            ++k;
            continue;
        }
        if (x.word("rowguidcol") || x.word("timestamp") || x.word("sparse") || x.word("filestream")) {
            unsupported("the column option " + upper(x.tok.text));
        }
        if (x.group)
            c.tail += " (" + seq(x.kids, 0, x.kids.size()) + ")";
        else
            c.tail += " " + renderToken(x.tok);
    }
}

// T-SQL: ALTER TABLE t ADD c type: the definition rewritten as CREATE TABLE does.
Translation Rewriter::alterTableAdd(const Nodes& ns) {
    Translation tr;
    std::string s = plain(ns, 0, 4);
    if (ns.size() > 4 && ns[4].word("column")) unsupported("ALTER TABLE ... ADD COLUMN");
    Nodes fake;
    fake.push_back(ns[0]);
    fake.push_back(ns[1]);
    fake.push_back(ns[2]);
    Node g;
    g.group = true;
    // WITH VALUES: the rows there get the default too (SQLite's ADD COLUMN gives it them always)
    bool withValues = false, hasDefault = false, notNull = false;
    for (std::size_t k = 4; k < ns.size(); ++k) {
        if (k + 1 < ns.size() && ns[k].word("with") && ns[k + 1].word("values")) {
            withValues = true;
            ++k;
            continue;
        }
        hasDefault = hasDefault || ns[k].word("default");
        notNull = notNull || (k + 1 < ns.size() && ns[k].word("not") && ns[k + 1].word("null"));
        g.kids.push_back(ns[k]);
    }
    fake.push_back(std::move(g));
    Translation t = createTable(fake);
    if (t.statements.size() > (checks_.empty() ? 1u : 3u))
        unsupported("ALTER TABLE ... ADD of a datetime column");
    const std::string& c = t.statements[0];
    std::string def = c.substr(c.find('(') + 1);
    def.pop_back();
    if (def.find(',') != std::string::npos && def.find('(') == std::string::npos) {
        unsupported("ALTER TABLE ... ADD of several columns");
    }
    tr.statements.push_back(s + " column " + def);
    // SQL Server gives the rows already there Null in a column that may hold it
    if (hasDefault && !notNull && !withValues && ns[4].isName())
        tr.statements.push_back("update " + quoteName(ns[2].tok.text) + " set " + quoteName(ns[4].tok.text) +
                                " = null");
    // the new column's check gets triggers of its own: the table's cannot be extended
    if (!checks_.empty()) appendValueChecks(tr, ns[2].tok.text, checks_, "_" + checks_[0].column);
    return tr;
}

// ALTER TABLE t DROP COLUMN c and ALTER TABLE t ALTER COLUMN c type [null | not null]
// [collate x]: handed to the connection, which rebuilds the table.
Translation Rewriter::alterTableColumn(const Nodes& ns) {
    Translation tr;
    const bool drop = ns[3].word("drop");
    if (ns.size() < 6 || !ns[4].word("column") || !ns[5].isName())
        unsupported("this form of ALTER TABLE ... " + upper(ns[3].tok.text));
    if (!ns[2].isName()) unsupported("ALTER TABLE of '" + plain(ns, 2, 3) + "'");
    tr.change.table = ns[2].tok.text;
    tr.change.column = ns[5].tok.text;
    if (drop) {
        if (ns.size() != 6) unsupported("ALTER TABLE ... DROP COLUMN of several columns");
        tr.change.kind = SchemaChange::Kind::DropColumn;
        return tr;
    }
    for (std::size_t k = 6; k < ns.size(); ++k) {
        if (ns[k].word("default") || ns[k].word("identity") || ns[k].word("primary") ||
            ns[k].word("unique") || ns[k].word("check") || ns[k].word("constraint"))
            unsupported("ALTER COLUMN with " + upper(ns[k].tok.text));
    }
    Nodes fake(ns.begin(), ns.begin() + 3);
    Node g;
    g.group = true;
    g.kids.assign(ns.begin() + 5, ns.end());
    fake.push_back(std::move(g));
    const Translation t = createTable(fake);
    const std::string& c = t.statements[0];
    tr.change.kind = SchemaChange::Kind::AlterColumn;
    tr.change.definition = c.substr(c.find('(') + 1);
    tr.change.definition.pop_back();
    return tr;
}

// [EXEC] sp_rename 'table', 'new' and sp_rename 'table.column', 'new', 'COLUMN'.
Translation Rewriter::rename(const Nodes& ns, std::size_t at) {
    std::vector<std::string> args;
    for (auto [b, e] : splitCommas(ns, at, ns.size())) {
        if (e != b + 1 || ns[b].group ||
            (ns[b].tok.kind != TokenKind::String && ns[b].tok.kind != TokenKind::NString))
            unsupported("sp_rename with arguments other than texts");
        args.push_back(ns[b].tok.text);
    }
    if (args.size() < 2 || args.size() > 3)
        unsupported("sp_rename with " + std::to_string(args.size()) + " arguments");
    auto bare = [](std::string_view s) {
        s = s.substr(s.find_first_not_of(' ') == std::string_view::npos ? s.size()
                                                                        : s.find_first_not_of(' '));
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
        return std::string(s);
    };
    const std::string type = args.size() == 3 ? asciiLower(bare(args[2])) : "";
    Translation tr;
    std::string object = args[0];
    if (type == "column") {
        const auto dot = object.rfind('.');
        if (dot == std::string::npos)
            throw Error(
                ErrorNumber::Database,
                "Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong.",
                15248);
        tr.change.kind = SchemaChange::Kind::RenameColumn;
        tr.change.column = bare(object.substr(dot + 1));
        object.resize(dot);
    } else if (type.empty() || type == "object") {
        tr.change.kind = SchemaChange::Kind::RenameTable;
    } else {
        unsupported("sp_rename of the object type '" + args[2] + "'");
    }
    if (auto dot = object.rfind('.'); dot != std::string::npos) object.erase(0, dot + 1);  // dbo.
    tr.change.table = bare(object);
    tr.change.newName = bare(args[1]);
    return tr;
}

// CREATE VIEW name AS query
namespace {

// Marks the types a view's text records for its columns (recordedViewTypes reads them).
constexpr std::string_view kViewTypes = "/* palvo column types:";

}  // namespace

// CREATE VIEW V [(columns)] AS select: SQLite keeps no type for a column that is an
// expression, so the view's text records the types of its columns in a comment,
// which SQLite keeps with it (also through a table's rename) and drops with it.
std::string Rewriter::createView(const Nodes& ns) {
    std::size_t as = 2;
    while (as < ns.size() && !ns[as].word("as")) ++as;
    if (as == ns.size()) unsupported("CREATE VIEW without AS");
    const std::string select = seq(ns, as + 1, ns.size());
    std::vector<std::pair<std::string, std::string>> columns;
    std::string recorded;
    if (selectListTypes(ns, as + 1, ns.size(), columns)) {
        if (ns[as - 1].group) {
            // a column list names the columns in their order
            const Nodes& names = ns[as - 1].kids;
            const auto parts = splitCommas(names, 0, names.size());
            for (std::size_t k = 0; k < parts.size() && k < columns.size(); ++k) {
                const auto [b, e] = parts[k];
                columns[k].first = e == b + 1 && names[b].isName() ? asciiLower(names[b].tok.text) : "";
            }
        }
        for (const auto& [name, type] : columns) {
            if (name.empty() || type.empty() || name.find("*/") != std::string::npos) continue;
            std::string quoted = "\"";
            for (char ch : name) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            recorded += " " + quoted + "\" " + type + ";";
        }
    }
    if (!recorded.empty()) recorded = " " + std::string(kViewTypes) + recorded + " */";
    return plain(ns, 0, as) + recorded + plain(ns, as, as + 1) + select;
}

Catalogue::Columns recordedViewTypes(std::string_view createView) {
    Catalogue::Columns types;
    // the comment stands before the view's query: the same words inside one of its texts are no record
    const auto at = createView.find(kViewTypes);
    if (at == std::string_view::npos || createView.find('\'') < at) return types;
    std::size_t i = at + kViewTypes.size();
    const std::size_t end = createView.find("*/", i);
    while (i < end) {
        while (i < end && createView[i] == ' ') ++i;
        if (i >= end || createView[i] != '"') break;
        std::string name;
        for (++i; i < end; ++i) {
            if (createView[i] == '"') {
                if (i + 1 < end && createView[i + 1] == '"') {
                    name += '"';
                    ++i;
                    continue;
                }
                break;
            }
            name += createView[i];
        }
        const std::size_t semicolon = createView.find(';', i);
        if (i >= end || semicolon > end) break;
        types[name] = trimLead(std::string(createView.substr(i + 1, semicolon - i - 1)));
        i = semicolon + 1;
    }
    return types;
}

// CREATE [UNIQUE] INDEX without SQL Server's CLUSTERED and NONCLUSTERED
std::string Rewriter::createIndex(const Nodes& ns) {
    std::string s;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        if (ns[k].word("clustered") || ns[k].word("nonclustered")) continue;
        put(s, ns[k].group ? "(" + plain(ns[k].kids, 0, ns[k].kids.size()) + ")" : renderToken(ns[k].tok),
            ns[k].tok.spaceBefore);
    }
    return s.substr(s[0] == ' ' ? 1 : 0);
}

namespace {

// A statement that fails with SQL Server's 3701 unless the schema holds the object
// `exists` looks for.
std::string unlessExists(const std::string& kind, const std::string& shown, const std::string& exists) {
    return "select tsql_cannot_drop('" + kind + "', " + quoteString(shown) + ") where not exists (" + exists +
           ")";
}

// The schema's rows of `type` named `name` (and of table `table`, when given), temporary ones too.
std::string schemaRows(const char* type, std::string_view name, std::string_view table) {
    std::string where =
        "type = '" + std::string(type) + "' and name = " + quoteString(name) + " collate nocase";
    if (!table.empty()) where += " and tbl_name = " + quoteString(table) + " collate nocase";
    return "select 1 from main.sqlite_master where " + where +
           " union all select 1 from temp.sqlite_master where " + where;
}

}  // namespace

// DROP TABLE | VIEW [IF EXISTS] a[, b ...] and DROP INDEX [IF EXISTS] T.ix | ix ON T [, ...]: a
// statement a name, run together. SQL Server's 3701 for a view or an index that is not there;
// a table's comes from the connection, which knows the temporary ones.
Translation Rewriter::dropStatement(const Nodes& ns) {
    const std::string kind = asciiLower(ns[1].tok.text);
    std::size_t k = 2;
    const bool ifExists = k + 1 < ns.size() && ns[k].word("if") && ns[k + 1].word("exists");
    if (ifExists) k += 2;
    Translation tr;
    for (const Span& item : splitCommas(ns, k, ns.size())) {
        const std::size_t b = item.first, e = item.second;
        const auto refuse = [&] {
            unsupported("DROP " + upper(kind) + " of '" + trimLead(plain(ns, b, e)) + "'");
        };
        if (kind != "index") {
            if (e != b + 1 || !ns[b].isName()) refuse();
            if (kind == "view" && !ifExists)
                tr.statements.push_back(
                    unlessExists("view", ns[b].tok.text, schemaRows("view", ns[b].tok.text, {})));
            tr.statements.push_back("drop " + kind + (ifExists ? " if exists " : " ") +
                                    renderToken(ns[b].tok));
            continue;
        }
        // SQL Server's two forms: table.index, and index ON table
        if (e != b + 3 || !ns[b].isName() || !ns[b + 2].isName() ||
            !(ns[b + 1].op(".") || ns[b + 1].word("on")))
            refuse();
        const bool on = ns[b + 1].word("on");
        const std::string& table = ns[on ? b + 2 : b].tok.text;
        const Token& index = ns[on ? b : b + 2].tok;
        if (ifExists) {
            // SQLite names an index in the whole database: one of another table must stay
            tr.statements.push_back("select tsql_refuse(" +
                                    quoteString("DROP INDEX IF EXISTS " + table + "." + index.text +
                                                " where " + index.text + " is an index of another table") +
                                    ") where exists (" + schemaRows("index", index.text, {}) + " except " +
                                    schemaRows("index", index.text, table) + ")");
        } else {
            tr.statements.push_back(
                unlessExists("index", table + "." + index.text, schemaRows("index", index.text, table)));
        }
        tr.statements.push_back(std::string("drop index ") + (ifExists ? "if exists " : "") +
                                renderToken(index));
    }
    return tr;
}

}  // namespace Palvo::dialect
