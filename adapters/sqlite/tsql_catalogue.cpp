// The catalogue SQL Server programs read: sysobjects and syscolumns as TEMP
// views over sqlite_master, the xtype numbers and lengths of declared types,
// and OBJECT_NAME, OBJECT_ID and TYPE_NAME.
#include <cstdlib>

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
    std::string base = util::asciiLower(decl.substr(i, e - i));
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

const char* const kViews[] = {
    "create temp view if not exists sysobjects as select rowid as id, name collate nocase as name, "
    "case type when 'table' then 'U' else 'V' end as xtype, case type when 'table' then 'U' else 'V' end as "
    "type "
    "from main.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\'",
    "create temp view if not exists syscolumns as select o.rowid as id, p.name collate nocase as name, "
    "p.cid + 1 as colid, tsql_xtype(p.type) as xtype, tsql_type_length(p.type) as length, "
    "1 - p.\"notnull\" as isnullable from main.sqlite_master o join pragma_table_info(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\'",
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
    lookup(ctx, "select name from main.sqlite_master where rowid = ?1 and type in ('table','view')", argv[0]);
}

void fnObjectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    lookup(ctx,
           "select rowid from main.sqlite_master where name = ?1 collate nocase and type in ('table','view')",
           argv[0]);
}

int createCatalogueViews(sqlite3* db, char** error) {
    for (const char* sql : kViews) {
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, error);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite::tsql
