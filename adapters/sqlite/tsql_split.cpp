// What APPLY runs: STRING_SPLIT(text, separator) as the table-valued function
// tsql_string_split, an eponymous virtual table whose hidden columns take the two
// arguments, one row per piece in the column `value`, empty pieces kept, none for a
// Null text (a separator other than one character fails as SQL Server refuses it);
// and tsql_picked_row, the rowids a correlated subquery picks.
#include <cstring>
#include <new>
#include <string>

#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

constexpr const char* kSeparatorError =
    "Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'.";

enum Column { kValue, kInput, kSeparator };

struct Cursor {
    sqlite3_vtab_cursor base{};
    std::string text, separator;
    bool null = true;
    std::size_t from = 0, to = 0;  // the current piece, [from, to) of text
    sqlite3_int64 row = 0;
    bool done = true;
};

// The length of the UTF-8 character starting with `lead`.
std::size_t charBytes(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

int connect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**) {
    // the pieces of nvarchar text compare as the database's text does
    const int rc = sqlite3_declare_vtab(
        db, "create table x(value text collate zh_ci_as, input hidden, separator hidden)");
    if (rc != SQLITE_OK) return rc;
    auto* vtab = static_cast<sqlite3_vtab*>(sqlite3_malloc(sizeof(sqlite3_vtab)));
    if (!vtab) return SQLITE_NOMEM;
    std::memset(vtab, 0, sizeof(*vtab));
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    *out = vtab;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vtab) {
    sqlite3_free(vtab);
    return SQLITE_OK;
}

// Both arguments are needed, each by equality: idxNum holds which were given.
int bestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    int input = -1, separator = -1;
    for (int k = 0; k < info->nConstraint; ++k) {
        const auto& c = info->aConstraint[k];
        if (c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
        if (!c.usable) return SQLITE_CONSTRAINT;
        if (c.iColumn == kInput) input = k;
        if (c.iColumn == kSeparator) separator = k;
    }
    if (input < 0 || separator < 0) return SQLITE_CONSTRAINT;
    info->aConstraintUsage[input].argvIndex = 1;
    info->aConstraintUsage[input].omit = 1;
    info->aConstraintUsage[separator].argvIndex = 2;
    info->aConstraintUsage[separator].omit = 1;
    info->estimatedCost = 10;
    info->estimatedRows = 10;
    return SQLITE_OK;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* c = new (std::nothrow) Cursor;
    if (!c) return SQLITE_NOMEM;
    *out = &c->base;
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cur) {
    delete reinterpret_cast<Cursor*>(cur);
    return SQLITE_OK;
}

// The piece starting at c.from ends at the next separator or at the end.
void findEnd(Cursor& c) {
    const std::size_t at = c.text.find(c.separator, c.from);
    c.to = at == std::string::npos ? c.text.size() : at;
}

int filter(sqlite3_vtab_cursor* cur, int, const char*, int argc, sqlite3_value** argv) {
    auto& c = *reinterpret_cast<Cursor*>(cur);
    c.done = true;
    c.row = 0;
    if (argc != 2) return SQLITE_ERROR;
    const std::string_view sep = tsql::textOf(argv[1]);
    // one character of the Basic Multilingual Plane: nchar(1) holds no more
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sep.empty() ||
        charBytes(static_cast<unsigned char>(sep[0])) != sep.size() || sep.size() > 3) {
        sqlite3_free(cur->pVtab->zErrMsg);
        cur->pVtab->zErrMsg = sqlite3_mprintf("%s", kSeparatorError);
        return SQLITE_ERROR;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return SQLITE_OK;
    c.text = std::string(tsql::textOf(argv[0]));
    c.separator = std::string(sep);
    c.from = 0;
    findEnd(c);
    c.done = false;
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* cur) {
    auto& c = *reinterpret_cast<Cursor*>(cur);
    if (c.to >= c.text.size()) {
        c.done = true;
    } else {
        c.from = c.to + c.separator.size();
        findEnd(c);
    }
    ++c.row;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* cur) { return reinterpret_cast<Cursor*>(cur)->done ? 1 : 0; }

int column(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int n) {
    auto& c = *reinterpret_cast<Cursor*>(cur);
    if (n == kValue)
        tsql::resultText(ctx, std::string_view(c.text).substr(c.from, c.to - c.from));
    else if (n == kInput)
        tsql::resultText(ctx, c.text);
    else
        tsql::resultText(ctx, c.separator);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
    *out = reinterpret_cast<Cursor*>(cur)->row;
    return SQLITE_OK;
}

const sqlite3_module kModule = {0,       nullptr, connect, bestIndex, disconnect, nullptr, open,    close,
                                filter,  next,    eof,     column,    rowid,      nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr,   nullptr,    nullptr, nullptr, nullptr};

// tsql_picked_row(rowid, table): the rowid of a row an APPLY's subquery picks; a view's
// rows have none, and the row would silently match nothing.
void fnPickedRow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    tsql::resultError(ctx, "Not supported by the embedded database: APPLY over a subquery of the view " +
                               std::string(tsql::textOf(argv[1])) +
                               " correlated otherwise than by equalities (name its table).");
}

}  // namespace

int registerSplitTable(sqlite3* db) {
    const int rc = sqlite3_create_function_v2(db, "tsql_picked_row", 2, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                                              nullptr, fnPickedRow, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    return sqlite3_create_module_v2(db, "tsql_string_split", &kModule, nullptr, nullptr);
}

}  // namespace Palvo::sqlite
