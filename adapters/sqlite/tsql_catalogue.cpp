// The catalogue SQL Server programs read: sysobjects and syscolumns as TEMP
// views over sqlite_master, the xtype numbers and lengths of declared types,
// OBJECT_NAME, OBJECT_ID and TYPE_NAME; and what needs a column's declared type
// or a table's identity: DATALENGTH and IDENT_CURRENT.
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

// A name as IDENT_CURRENT is given it: "dbo.[T]" is T.
std::string tableNameArg(std::string_view s) {
    s = util::trimBlanks(s);
    if (auto dot = s.rfind('.'); dot != std::string_view::npos) s.remove_prefix(dot + 1);
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
    return std::string(s);
}

const char* const kViews[] = {
    "create temp view if not exists sysobjects as select rowid as id, name collate nocase as name, "
    "case type when 'table' then 'U' else 'V' end as xtype, case type when 'table' then 'U' else 'V' end as "
    "type "
    "from main.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\'",
    "create temp view if not exists syscolumns as select o.rowid as id, p.name collate nocase as name, "
    "p.cid + 1 as colid, tsql_xtype(p.type) as xtype, tsql_type_length(p.type) as length, "
    "1 - p.\"notnull\" as isnullable from main.sqlite_master o join pragma_table_xinfo(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\' and p.hidden <> 1",
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
    if (sql.empty() || util::asciiLower(sql[0]).find(" autoincrement") == std::string::npos)
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

int createCatalogueViews(sqlite3* db, char** error) {
    for (const char* sql : kViews) {
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, error);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite::tsql
