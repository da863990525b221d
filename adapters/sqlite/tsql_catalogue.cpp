// The catalogue SQL Server programs read: sysobjects, syscolumns, the
// INFORMATION_SCHEMA views and sys.tables, .columns, .objects, .types and
// .indexes as TEMP views over sqlite_master, the xtype numbers and lengths of
// declared types, OBJECT_NAME, OBJECT_ID, TYPE_NAME and COL_LENGTH; and what
// needs a column's declared type or a table's identity: DATALENGTH and IDENT_CURRENT.
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "palvo/text.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {

struct XType {
    const char* name;
    int xtype;
    int length;
};
constexpr XType kTypes[] = {
    {"image", 34, 16},        {"text", 35, 16},     {"uniqueidentifier", 36, 16},
    {"tinyint", 48, 1},       {"smallint", 52, 2},  {"int", 56, 4},
    {"smalldatetime", 58, 4}, {"real", 59, 4},      {"money", 60, 8},
    {"datetime", 61, 8},      {"float", 62, 8},     {"ntext", 99, 16},
    {"bit", 104, 1},          {"decimal", 106, 17}, {"numeric", 108, 17},
    {"smallmoney", 122, 4},   {"bigint", 127, 8},   {"varbinary", 165, 0},
    {"varchar", 167, 0},      {"binary", 173, 0},   {"char", 175, 0},
    {"nvarchar", 231, 0},     {"nchar", 239, 0},    {"sql_variant", 98, 8016},
    {"date", 40, 3},
};

// Maps a declared type ("nvarchar(50)", "INTEGER", "double") to its SQL Server xtype.
const XType* typeOfDeclared(std::string_view decl, long* sizeArg) {
    std::size_t i = 0;
    while (i < decl.size() && decl[i] == ' ') ++i;
    std::size_t e = i;
    while (e < decl.size() && decl[e] != '(' && decl[e] != ' ') ++e;
    std::string base = base::asciiLower(decl.substr(i, e - i));
    if (sizeArg) {
        *sizeArg = -2;
        if (auto p = decl.find('('); p != std::string_view::npos) {
            std::string inner(decl.substr(p + 1));
            *sizeArg = inner.rfind("max", 0) == 0 ? -1 : std::strtol(inner.c_str(), nullptr, 10);
        }
    }
    if (base == "integer")
        base = "int";
    else if (base == "double")
        base = "float";
    else if (base == "dec")
        base = "decimal";
    else if (base == "character")
        base = "char";
    else if (base == "blob")
        base = "varbinary";
    else if (base.empty())
        base = "varchar";
    for (const auto& t : kTypes) {
        if (base == t.name) return &t;
    }
    return nullptr;
}

// A declared type as SQL Server reads it: "nvarchar(50)", "decimal real(18, 2)"
// (a decimal with a fraction, as the translator stores it), "varchar(-1)" (max).
struct Declared {
    const XType* type = nullptr;
    long length = -2;  // the first number written; -1 max, -2 none
    long scale = 0;    // the second
};

Declared readDeclared(std::string_view decl) {
    Declared d;
    d.type = typeOfDeclared(decl, &d.length);
    if (auto comma = decl.find(','); comma != std::string_view::npos)
        d.scale = std::strtol(std::string(decl.substr(comma + 1)).c_str(), nullptr, 10);
    return d;
}

bool isOneOf(int xtype, std::initializer_list<int> ids) {
    for (int id : ids) {
        if (id == xtype) return true;
    }
    return false;
}

// xtypes of the types INFORMATION_SCHEMA gives a numeric precision: integers, money, exact and approximate
// numbers
constexpr std::initializer_list<int> kExact = {48, 52, 56, 60, 106, 108, 122, 127};
constexpr int kReal = 59, kFloat = 62;

// sys.columns.precision and .scale
long sysPrecision(const Declared& d) {
    switch (d.type->xtype) {
        case 48:
            return 3;
        case 52:
            return 5;
        case 56:
            return 10;
        case 127:
            return 19;
        case 106:
        case 108:
            return d.length > 0 ? d.length : 18;
        case 60:
            return 19;
        case 122:
            return 10;
        case kFloat:
            return 53;
        case kReal:
            return 24;
        case 104:
            return 1;
        case 61:
            return 23;
        case 58:
            return 16;
        case 40:
            return 10;
        default:
            return 0;
    }
}

long sysScale(const Declared& d) {
    switch (d.type->xtype) {
        case 106:
        case 108:
            return d.length > 0 ? d.scale : 0;
        case 60:
        case 122:
            return 4;
        case 61:
            return 3;
        default:
            return 0;
    }
}

bool isCharacter(int xtype) { return isOneOf(xtype, {167, 175, 231, 239, 165, 173}); }
bool isWide(int xtype) { return xtype == 231 || xtype == 239; }

// Bytes a column of this type holds at most (sys.columns.max_length, COL_LENGTH): -1 for max.
long maxLength(const Declared& d) {
    const int xt = d.type->xtype;
    if (xt == 106 || xt == 108) {
        const long p = sysPrecision(d);
        return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    }
    if (!isCharacter(xt)) return d.type->length;
    if (d.length == -1) return -1;
    const long n = d.length == -2 ? 1 : d.length;  // char without a length is char(1) in a column
    return isWide(xt) ? 2 * n : n;
}

// The facts of INFORMATION_SCHEMA.COLUMNS and sys.columns a declared type gives; Null where SQL Server has
// none.
void columnTypeFact(sqlite3_context* ctx, const Declared& d, std::string_view what) {
    const int xt = d.type->xtype;
    auto number = [&](long long v) { sqlite3_result_int64(ctx, v); };
    if (what == "name") return resultText(ctx, d.type->name);
    if (what == "type_id") return number(xt);
    if (what == "max_length") return number(maxLength(d));
    if (what == "sys_precision") return number(sysPrecision(d));
    if (what == "sys_scale") return number(sysScale(d));
    if (what == "chars" || what == "octets") {
        if (isCharacter(xt)) {
            const long bytes = maxLength(d);
            return number(what == "chars" && isWide(xt) && bytes > 0 ? bytes / 2 : bytes);
        }
        if (xt == 35 || xt == 34) return number(2147483647);                     // text, image
        if (xt == 99) return number(what == "chars" ? 1073741823 : 2147483646);  // ntext
        return sqlite3_result_null(ctx);
    }
    const bool exact = isOneOf(xt, kExact);
    if (what == "precision" && (exact || xt == kReal || xt == kFloat)) return number(sysPrecision(d));
    if (what == "radix" && (exact || xt == kReal || xt == kFloat)) return number(exact ? 10 : 2);
    if (what == "scale" && exact) return number(sysScale(d));
    if (what == "datetime" && isOneOf(xt, {61, 58, 40})) return number(xt == 61 ? 3 : 0);
    sqlite3_result_null(ctx);
}

// A name as OBJECT_ID, IDENT_CURRENT and COL_LENGTH are given it: "dbo.[T]" is T.
std::string tableNameArg(std::string_view s);

// The object ids of the procedures, functions and triggers: their rowid in palvo_modules past this,
// apart from the tables' and views'.
constexpr long long kModuleIds = 1'000'000'000;

// Looks one value up with a statement on the calling connection.
void lookup(sqlite3_context* ctx, const char* sql, sqlite3_value* arg) {
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        resultError(ctx, sqlite3_errmsg(db));
        return;
    }
    sqlite3_bind_value(st, 1, arg);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

// Runs `sql` with text arguments and collects the first column of its rows.
std::vector<std::string> column(sqlite3* db, const char* sql, std::initializer_list<std::string_view> args) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return out;
    int i = 0;
    for (auto a : args) sqlite3_bind_text(st, ++i, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(st);
    return out;
}

// The declared type of a column named in a statement: of the table `qualifier`
// names, else the one type all tables and views holding such a column agree on;
// "" when unknown.
std::string declaredType(sqlite3* db, std::string_view qualifier, std::string_view name) {
    if (!qualifier.empty()) {
        auto t = column(db, "select type from pragma_table_xinfo(?1) where name = ?2 collate nocase",
                        {qualifier, name});
        if (!t.empty()) return t[0];
    }
    auto t =
        column(db,
               "select distinct lower(p.type) from main.sqlite_master m join pragma_table_xinfo(m.name) p "
               "where m.type in ('table','view') and p.name = ?1 collate nocase",
               {name});
    return t.size() == 1 ? t[0] : std::string();
}

// Bytes of a text in the Chinese code page (two per character beyond ASCII, as
// the varchar columns count) or in UTF-16.
std::int64_t textBytes(std::string_view s, bool wide) {
    std::int64_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) == 0x80) continue;
        n += c < 0x80 ? (wide ? 2 : 1) : (wide && c >= 0xF0 ? 4 : 2);
    }
    return n;
}

std::string tableNameArg(std::string_view s) {
    s = base::trimBlanks(s);
    if (auto dot = s.rfind('.'); dot != std::string_view::npos) s.remove_prefix(dot + 1);
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
    return std::string(s);
}

const char* const kViews[] = {
    "create temp view if not exists sysobjects as select rowid as id, name collate nocase as name, "
    "case type when 'table' then 'U' else 'V' end as xtype, case type when 'table' then 'U' else 'V' end as "
    "type "
    "from main.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\' and "
    "name not like 'palvo\\_modules%' escape '\\' and name not like '##%' "
    // the procedures, functions and triggers (tsql_modules)
    "union all select json_extract(value, '$[0]'), json_extract(value, '$[1]'), json_extract(value, '$[2]'), "
    "json_extract(value, '$[2]') from json_each(tsql_modules())",
    "create temp view if not exists syscolumns as select o.rowid as id, p.name collate nocase as name, "
    "p.cid + 1 as colid, tsql_xtype(p.type) as xtype, tsql_type_length(p.type) as length, "
    "1 - p.\"notnull\" as isnullable from main.sqlite_master o join pragma_table_xinfo(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\' and o.name not like "
    "'palvo\\_modules%' escape '\\' and o.name not like '##%' and p.hidden <> 1",
    // SQL Server's catalogue views by their two-part names, which the translator
    // reads as one name ("sys.tables"); char(2) types keep their blank as there
    "create temp view if not exists \"information_schema.tables\" as select tsql_db_name() as TABLE_CATALOG, "
    "'dbo' as TABLE_SCHEMA, name collate nocase as TABLE_NAME, case type when 'table' then 'BASE TABLE' "
    "else 'VIEW' end as TABLE_TYPE from main.sqlite_master where type in ('table','view') "
    "and name not like 'sqlite\\_%' escape '\\' and name not like 'palvo\\_modules%' escape '\\' and name "
    "not like '##%'",
    "create temp view if not exists \"information_schema.views\" as select tsql_db_name() as TABLE_CATALOG, "
    "'dbo' as TABLE_SCHEMA, name collate nocase as TABLE_NAME, 'NONE' as CHECK_OPTION, 'NO' as IS_UPDATABLE "
    "from main.sqlite_master where type = 'view'",
    "create temp view if not exists \"information_schema.columns\" as select tsql_db_name() as "
    "TABLE_CATALOG, "
    "'dbo' as TABLE_SCHEMA, o.name collate nocase as TABLE_NAME, p.name collate nocase as COLUMN_NAME, "
    "p.cid + 1 as ORDINAL_POSITION, case when p.\"notnull\" or p.pk > 0 then 'NO' else 'YES' end as "
    "IS_NULLABLE, "
    "tsql_column_type(p.type, 'name') as DATA_TYPE, tsql_column_type(p.type, 'chars') as "
    "CHARACTER_MAXIMUM_LENGTH, "
    "tsql_column_type(p.type, 'octets') as CHARACTER_OCTET_LENGTH, "
    "tsql_column_type(p.type, 'precision') as NUMERIC_PRECISION, "
    "tsql_column_type(p.type, 'radix') as NUMERIC_PRECISION_RADIX, "
    "tsql_column_type(p.type, 'scale') as NUMERIC_SCALE, "
    "tsql_column_type(p.type, 'datetime') as DATETIME_PRECISION "
    "from main.sqlite_master o join pragma_table_xinfo(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\' and o.name not like "
    "'palvo\\_modules%' escape '\\' and o.name not like '##%' and p.hidden <> 1",
    "create temp view if not exists \"sys.objects\" as select name collate nocase as name, rowid as "
    "object_id, "
    "null as principal_id, 1 as schema_id, 0 as parent_object_id, "
    "(case type when 'table' then 'U ' else 'V ' end) collate zh_ci_as as type, "
    "case type when 'table' then 'USER_TABLE' else 'VIEW' end as type_desc, 0 as is_ms_shipped "
    "from main.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\' and "
    "name not like 'palvo\\_modules%' escape '\\' and name not like '##%' "
    "union all select json_extract(value, '$[1]'), json_extract(value, '$[0]'), null, 1, json_extract(value, "
    "'$[3]'), "
    "substr(json_extract(value, '$[2]') || ' ', 1, 2), case json_extract(value, '$[2]') "
    "when 'P' then 'SQL_STORED_PROCEDURE' when 'FN' then 'SQL_SCALAR_FUNCTION' "
    "when 'IF' then 'SQL_INLINE_TABLE_VALUED_FUNCTION' else 'SQL_TRIGGER' end, 0 "
    "from json_each(tsql_modules())",
    "create temp view if not exists \"sys.tables\" as select name collate nocase as name, rowid as "
    "object_id, "
    "null as principal_id, 1 as schema_id, 0 as parent_object_id, 'U ' collate zh_ci_as as type, "
    "'USER_TABLE' as type_desc, 0 as is_ms_shipped "
    "from main.sqlite_master where type = 'table' and name not like 'sqlite\\_%' escape '\\' and name not "
    "like "
    "'palvo\\_modules%' escape '\\' and name not like '##%'",
    "create temp view if not exists \"sys.columns\" as select o.rowid as object_id, p.name collate nocase as "
    "name, "
    "p.cid + 1 as column_id, tsql_column_type(p.type, 'type_id') as system_type_id, "
    "tsql_column_type(p.type, 'type_id') as user_type_id, tsql_column_type(p.type, 'max_length') as "
    "max_length, "
    "tsql_column_type(p.type, 'sys_precision') as precision, tsql_column_type(p.type, 'sys_scale') as scale, "
    "case when p.\"notnull\" or p.pk > 0 then 0 else 1 end as is_nullable, "
    "case when p.pk = 1 and lower(p.type) = 'integer' and instr(lower(o.sql), ' autoincrement') > 0 "
    "then 1 else 0 end as is_identity "
    "from main.sqlite_master o join pragma_table_xinfo(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\' and o.name not like "
    "'palvo\\_modules%' escape '\\' and o.name not like '##%' and p.hidden <> 1",
    "create temp view if not exists \"sys.types\" (name, system_type_id, user_type_id, schema_id, "
    "max_length, "
    "precision, scale, is_nullable, is_user_defined) as values "
    "('image', 34, 34, 4, 16, 0, 0, 1, 0), ('text', 35, 35, 4, 16, 0, 0, 1, 0), "
    "('uniqueidentifier', 36, 36, 4, 16, 0, 0, 1, 0), ('date', 40, 40, 4, 3, 10, 0, 1, 0), "
    "('tinyint', 48, 48, 4, 1, 3, 0, 1, 0), ('smallint', 52, 52, 4, 2, 5, 0, 1, 0), "
    "('int', 56, 56, 4, 4, 10, 0, 1, 0), ('smalldatetime', 58, 58, 4, 4, 16, 0, 1, 0), "
    "('real', 59, 59, 4, 4, 24, 0, 1, 0), ('money', 60, 60, 4, 8, 19, 4, 1, 0), "
    "('datetime', 61, 61, 4, 8, 23, 3, 1, 0), ('float', 62, 62, 4, 8, 53, 0, 1, 0), "
    "('sql_variant', 98, 98, 4, 8016, 0, 0, 1, 0), ('ntext', 99, 99, 4, 16, 0, 0, 1, 0), "
    "('bit', 104, 104, 4, 1, 1, 0, 1, 0), ('decimal', 106, 106, 4, 17, 38, 38, 1, 0), "
    "('numeric', 108, 108, 4, 17, 38, 38, 1, 0), ('smallmoney', 122, 122, 4, 4, 10, 4, 1, 0), "
    "('bigint', 127, 127, 4, 8, 19, 0, 1, 0), ('varbinary', 165, 165, 4, 8000, 0, 0, 1, 0), "
    "('varchar', 167, 167, 4, 8000, 0, 0, 1, 0), ('binary', 173, 173, 4, 8000, 0, 0, 1, 0), "
    "('char', 175, 175, 4, 8000, 0, 0, 1, 0), ('nvarchar', 231, 231, 4, 8000, 0, 0, 1, 0), "
    "('nchar', 239, 239, 4, 8000, 0, 0, 1, 0), ('sysname', 231, 256, 4, 256, 0, 0, 0, 0)",
    // a table without a primary key is a heap (index 0); its primary key the
    // clustered index 1; its unique constraints and indexes 2, 3, ... as made
    "create temp view if not exists \"sys.indexes\" as "
    "with t as (select o.rowid as id, o.name as name, exists (select 1 from pragma_table_info(o.name, "
    "'main') p "
    "where p.pk > 0) as keyed from main.sqlite_master o where o.type = 'table' "
    "and o.name not like 'sqlite\\_%' escape '\\' and o.name not like 'palvo\\_modules%' escape '\\' and "
    "o.name not like '##%') "
    "select t.id as object_id, case when t.keyed then 'PK_' || t.name end collate nocase as name, "
    "t.keyed as index_id, t.keyed as type, case when t.keyed then 'CLUSTERED' else 'HEAP' end as type_desc, "
    "t.keyed as is_unique, t.keyed as is_primary_key, 0 as is_unique_constraint from t "
    "union all select t.id, case when l.origin = 'u' then 'UQ_' || t.name || '_' || "
    "(row_number() over (partition by t.id, l.origin = 'u' order by i.rowid)) else i.name end collate "
    "nocase, "
    "1 + row_number() over (partition by t.id order by i.rowid), 2, 'NONCLUSTERED', l.\"unique\", 0, "
    "l.origin = 'u' from t join main.sqlite_master i on i.type = 'index' and i.tbl_name = t.name "
    "join pragma_index_list(t.name, 'main') l on l.name = i.name where l.origin <> 'pk'",
};

}  // namespace

void fnXtype(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const XType* t = typeOfDeclared(textOf(argv[0]), nullptr);
    sqlite3_result_int(ctx, t ? t->xtype : 167);
}

void fnTypeLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long arg = -2;
    const XType* t = typeOfDeclared(textOf(argv[0]), &arg);
    if (!t) return sqlite3_result_int(ctx, 8000);
    if (t->length != 0) return sqlite3_result_int(ctx, t->length);
    long n = arg == -2 ? 1 : arg == -1 ? -1 : arg;
    bool wide = t->xtype == 231 || t->xtype == 239;
    sqlite3_result_int64(ctx, n < 0 ? -1 : (wide ? n * 2 : n));
}

void fnTypeName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    int x = sqlite3_value_int(argv[0]);
    for (const auto& t : kTypes) {
        if (t.xtype == x) return resultText(ctx, t.name);
    }
    sqlite3_result_null(ctx);
}

void fnObjectName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_int64(argv[0]) > kModuleIds) {
        const std::string id = std::to_string(sqlite3_value_int64(argv[0]) - kModuleIds);
        auto found = column(sqlite3_context_db_handle(ctx),
                            "select name from main.palvo_modules where rowid = ?1", {id});
        if (found.empty()) return sqlite3_result_null(ctx);
        return resultText(ctx, found[0]);
    }
    lookup(ctx,
           "select name from main.sqlite_master where rowid = ?1 and type in ('table','view') and name not "
           "like 'palvo\\_modules%' escape '\\' and name not like '##%'",
           argv[0]);
}

// The module's object id (OBJECT_ID); Null when there is none of that name, or of that type when one is
// given.
static void moduleId(sqlite3_context* ctx, const std::string& name, const std::string& type) {
    auto found = column(
        sqlite3_context_db_handle(ctx),
        type.empty() ? "select rowid from main.palvo_modules where name = ?1"
                     : "select rowid from main.palvo_modules where name = ?1 and type = ?2 collate nocase",
        {name, type});
    if (found.empty()) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, kModuleIds + std::strtoll(found[0].c_str(), nullptr, 10));
}

void fnModules(sqlite3_context* ctx, int, sqlite3_value**) {
    // none before the first module made the table
    const std::string sql =
        "select json_group_array(json_array(" + std::to_string(kModuleIds) +
        " + m.rowid, m.name, m.type, coalesce((select t.rowid from main.sqlite_master t where "
        "t.type = 'table' and t.name = m.parent collate nocase), 0))) from main.palvo_modules m";
    auto found = column(sqlite3_context_db_handle(ctx), sql.c_str(), {});
    resultText(ctx, found.empty() ? std::string("[]") : found[0]);
}

void fnNoBatchNestLevel(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int(ctx, 0); }

// OBJECT_ID('T'[, 'type']): the table or view T ("dbo." and brackets ignored), of
// that type when one is given ('U' a table, 'V' a view; any other type has no objects here).
void fnObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string kind = "table','view";
    if (argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL) {
        const std::string type = base::asciiLower(base::trimBlanks(textOf(argv[1])));
        if (type == "p" || type == "fn" || type == "if" || type == "tr")
            return moduleId(ctx, tableNameArg(base::trimBlanks(textOf(argv[0]))), type);
        if (type != "u" && type != "v") return sqlite3_result_null(ctx);
        kind = type == "u" ? "table" : "view";
    }
    const std::string_view given = base::trimBlanks(textOf(argv[0]));
    const std::string name = tableNameArg(given);
    // a temporary table (#t) is tempdb's, named with it ('tempdb..#t'); tempdb holds nothing else here
    const bool inTempdb = base::asciiLower(given).starts_with("tempdb.");
    if (inTempdb != name.starts_with('#')) return sqlite3_result_null(ctx);
    if (inTempdb && kind == "view") return sqlite3_result_null(ctx);
    // a global one (##t) is a table of the main database under its own name
    const char* const tempdb = name.starts_with("##")
                                   ? "select rowid from main.sqlite_master where name = ?1 "
                                     "collate nocase and type = 'table'"
                                   : "select rowid from temp.sqlite_master where name = ?1 "
                                     "collate nocase and type = 'table'";
    const std::string sql = inTempdb
                                ? tempdb
                                : "select rowid from main.sqlite_master where name = ?1 collate nocase and "
                                  "type in ('" +
                                      kind + "')";
    auto found = column(sqlite3_context_db_handle(ctx), sql.c_str(), {name});
    if (found.empty() && !inTempdb && argc < 2) return moduleId(ctx, name, "");
    if (found.empty() || base::asciiLower(name).starts_with("palvo_modules")) return sqlite3_result_null(ctx);
    // tempdb's objects have negative numbers, as SQL Server gives its temporary tables: none is a table's
    // here
    const long long id = std::strtoll(found[0].c_str(), nullptr, 10);
    sqlite3_result_int64(ctx, inTempdb ? -id : id);
}

// tsql_column_type(declared type, fact): see columnTypeFact.
void fnColumnType(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const Declared d = readDeclared(textOf(argv[0]));
    if (!d.type) return sqlite3_result_null(ctx);
    columnTypeFact(ctx, d, textOf(argv[1]));
}

// COL_LENGTH('T', 'c'): the bytes column c of T holds at most, -1 for max; Null
// when either is not there.
void fnColLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const std::string table = tableNameArg(textOf(argv[0]));
    auto type = column(db,
                       "select p.type from main.sqlite_master m join pragma_table_info(m.name, 'main') p "
                       "where m.type in ('table','view') and m.name = ?1 collate nocase "
                       "and p.name = ?2 collate nocase",
                       {table, base::trimBlanks(textOf(argv[1]))});
    if (type.empty()) return sqlite3_result_null(ctx);
    const Declared d = readDeclared(type[0]);
    if (!d.type) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, maxLength(d));
}

// tsql_datalength(x, declared type, qualifier, column): the bytes SQL Server
// keeps for x. The type is the one a CONVERT or literal gave, else that of the
// column x names (kept for the statement), else read from the value.
void fnDatalength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* x = argv[0];
    const int t = sqlite3_value_type(x);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string decl(textOf(argv[1]));
    if (decl.empty() && !textOf(argv[3]).empty()) {
        if (const auto* kept = static_cast<const std::string*>(sqlite3_get_auxdata(ctx, 3))) {
            decl = *kept;
        } else {
            decl = declaredType(sqlite3_context_db_handle(ctx), textOf(argv[2]), textOf(argv[3]));
            sqlite3_set_auxdata(ctx, 3, new std::string(decl),
                                [](void* p) { delete static_cast<std::string*>(p); });
        }
    }
    long arg = -2;
    const XType* type = decl.empty() ? nullptr : typeOfDeclared(decl, &arg);
    const int xt = type ? type->xtype : 0;
    if (xt == 106 || xt == 108) {  // decimal and numeric by their precision
        const long p = arg > 0 ? arg : 18;
        return sqlite3_result_int(ctx, p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17);
    }
    if (type && type->length != 0 && xt != 34 && xt != 35 && xt != 99)
        return sqlite3_result_int(ctx, type->length);
    if (t == SQLITE_BLOB) return sqlite3_result_int64(ctx, sqlite3_value_bytes(x));
    if (xt == 175 || xt == 239 || xt == 173) {  // char(n), nchar(n), binary(n) keep n
        const long n = arg == -2 ? 1 : arg;
        return sqlite3_result_int64(ctx, xt == 239 ? 2 * n : n);
    }
    if (!type && t == SQLITE_INTEGER) {
        const std::int64_t v = sqlite3_value_int64(x);
        return sqlite3_result_int(ctx, v >= INT32_MIN && v <= INT32_MAX ? 4 : 8);
    }
    if (!type && t == SQLITE_FLOAT) return sqlite3_result_int(ctx, 8);
    const bool wide = xt == 231 || xt == 99;
    sqlite3_result_int64(ctx, textBytes(t == SQLITE_TEXT ? textOf(x) : numberText(x), wide));
}

// IDENT_CURRENT('T'): the last identity value made for T by any connection; its
// seed (1) before the first; Null for a table without an identity.
void fnIdentCurrent(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const std::string name = tableNameArg(textOf(argv[0]));
    auto sql = column(
        db, "select sql from main.sqlite_master where type = 'table' and name = ?1 collate nocase", {name});
    if (sql.empty() || base::asciiLower(sql[0]).find(" autoincrement") == std::string::npos)
        return sqlite3_result_null(ctx);
    auto seq = column(db, "select seq from main.sqlite_sequence where name = ?1 collate nocase", {name});
    sqlite3_result_int64(ctx, seq.empty() ? 1 : std::strtoll(seq[0].c_str(), nullptr, 10));
}

// @@IDENTITY where no connection keeps it (the extension): SQLite's last rowid inserted.
void fnLastIdentity(sqlite3_context* ctx, int, sqlite3_value**) {
    const sqlite3_int64 id = sqlite3_last_insert_rowid(sqlite3_context_db_handle(ctx));
    if (id == 0) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, id);
}

// Another SQLite host runs statements, not batches: no CATCH block, no batch's counts.
void fnNoBatchValue(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_null(ctx); }
void fnNoBatchError(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int(ctx, 0); }
// no cursor of a batch's here: no FETCH found a row
void fnNoFetch(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int(ctx, -1); }
void fnNoBatchRowCount(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, sqlite3_changes(sqlite3_context_db_handle(ctx)));
}
void fnNoBatchTranCount(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, sqlite3_get_autocommit(sqlite3_context_db_handle(ctx)) ? 0 : 1);
}

int createCatalogueViews(sqlite3* db, char** error) {
    for (const char* sql : kViews) {
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, error);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite::tsql
