// SQL Server semantics for the functions the dialect layer calls, registered on
// a connection: dates (tsql_dates.cpp), conversions and '+' (tsql_convert.cpp),
// text (tsql_text.cpp), the catalogue (tsql_catalogue.cpp) and the checks of
// stored values (tsql_numbers.cpp). With PALVO_TSQL_EXTENSION the same files,
// linked with the core, make the loadable extension that other SQLite hosts
// (the SQLite ODBC driver) load; this file then holds its entry points.
#ifdef PALVO_TSQL_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1
#endif

#include <utility>

#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

using tsql::Fn;

struct Registration {
    const char* name;
    int args;
    Fn fn;
    bool deterministic;
};

constexpr Registration kFunctions[] = {
    {"tsql_getdate", 0, tsql::fnGetdate, false},
    {"tsql_datetime", 1, tsql::fnDatetime, true},
    {"tsql_smalldatetime", 1, tsql::fnSmalldatetime, true},
    {"tsql_date", 1, tsql::fnDate, true},
    {"tsql_datelit", 2, tsql::fnDatelit, true},
    {"tsql_add", 2, tsql::fnAdd, true},
    {"tsql_arith", -1, tsql::fnArith, true},
    {"tsql_negate", 2, tsql::fnNegate, true},
    {"tsql_abs", 2, tsql::fnAbs, true},
    {"tsql_convert", 3, tsql::fnConvert, true},
    {"tsql_left", 2, tsql::fnLeft, true},
    {"tsql_right", 2, tsql::fnRight, true},
    {"tsql_len", 1, tsql::fnLen, true},
    {"tsql_substring", 3, tsql::fnSubstring, true},
    {"tsql_charindex", 2, tsql::fnCharindex, true},
    {"tsql_charindex", 3, tsql::fnCharindex, true},
    {"tsql_replace", 3, tsql::fnReplace, true},
    {"tsql_char", 1, tsql::fnChar, true},
    {"tsql_nchar", 1, tsql::fnNchar, true},
    {"tsql_ascii", 1, tsql::fnAscii, true},
    {"tsql_unicode", 1, tsql::fnUnicode, true},
    {"tsql_refuse", 1, tsql::fnRefuse, false},
    {"tsql_cannot_drop", 2, tsql::fnCannotDrop, false},
    {"tsql_datepart", 2, tsql::fnDatepart, true},
    {"tsql_dateadd", 3, tsql::fnDateadd, true},
    {"tsql_datediff", 3, tsql::fnDatediff, true},
    {"tsql_xtype", 1, tsql::fnXtype, true},
    {"tsql_type_length", 1, tsql::fnTypeLength, true},
    {"tsql_type_name", 1, tsql::fnTypeName, true},
    // the counts of TOP, OFFSET and FETCH given as parameters
    {"tsql_rows", 2, tsql::fnRows, true},
};

}  // namespace

int registerTsqlFunctions(sqlite3* db, char** error) {
    for (const auto& r : kFunctions) {
        int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
        int rc =
            sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    // These read the schema, so they are not offered to triggers and views of untrusted files.
    struct Direct {
        const char* name;
        int args;
        Fn fn;
    };
    for (auto [name, args, fn] : {Direct{"tsql_object_name", 1, tsql::fnObjectName},
                                  {"tsql_object_id", 1, tsql::fnObjectId},
                                  {"tsql_datalength", 4, tsql::fnDatalength},
                                  {"tsql_ident_current", 1, tsql::fnIdentCurrent},
                                  {"tsql_identity", 0, tsql::fnLastIdentity},
                                  {"tsql_scope_identity", 0, tsql::fnNoBatchValue},
                                  {"tsql_trancount", 0, tsql::fnNoBatchTranCount},
                                  {"tsql_xact_state", 0, tsql::fnNoBatchTranCount},
                                  {"tsql_error", 0, tsql::fnNoBatchError},
                                  {"tsql_rowcount", 0, tsql::fnNoBatchRowCount},
                                  {"tsql_fetch_status", 0, tsql::fnNoFetch},
                                  {"tsql_cursor_rows", 0, tsql::fnNoBatchError},
                                  {"tsql_error_number", 0, tsql::fnNoBatchValue},
                                  {"tsql_error_message", 0, tsql::fnNoBatchValue},
                                  {"tsql_error_severity", 0, tsql::fnNoBatchValue},
                                  {"tsql_error_state", 0, tsql::fnNoBatchValue},
                                  {"tsql_error_line", 0, tsql::fnNoBatchValue},
                                  {"tsql_error_procedure", 0, tsql::fnNoBatchValue},
                                  {"tsql_nestlevel", 0, tsql::fnNoBatchNestLevel},
                                  {"tsql_modules", 0, tsql::fnModules}}) {
        int rc = sqlite3_create_function_v2(db, name, args, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, fn,
                                            nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    if (int rc = registerStoredValueFunctions(db); rc != SQLITE_OK) return rc;
    if (int rc = registerMathFunctions(db); rc != SQLITE_OK) return rc;
    if (int rc = registerSystemFunctions(db); rc != SQLITE_OK) return rc;
    if (int rc = registerFormatFunctions(db); rc != SQLITE_OK) return rc;
    if (int rc = registerStringFunctions(db); rc != SQLITE_OK) return rc;
    if (int rc = registerSplitTable(db); rc != SQLITE_OK) return rc;
    if (int rc = registerXmlRows(db); rc != SQLITE_OK) return rc;
    return tsql::createCatalogueViews(db, error);
}

}  // namespace Palvo::sqlite

#ifdef PALVO_TSQL_EXTENSION
#include "collation.h"

extern "C" {
// Entry points: the generic name (used when no entry point is given) and our own.
__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error,
                                                                  const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    int rc = Palvo::sqlite::registerTsqlFunctions(db, error);
    if (rc == SQLITE_OK) rc = Palvo::sqlite::registerChineseCollation(db, error);
    // declared foreign keys hold on this connection too, as on the library's own
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "pragma foreign_keys = on", nullptr, nullptr, error);
    return rc;
}
__attribute__((visibility("default"))) int sqlite3_palvotsql_init(sqlite3* db, char** error,
                                                                  const sqlite3_api_routines* api) {
    return sqlite3_extension_init(db, error, api);
}
}
#endif
