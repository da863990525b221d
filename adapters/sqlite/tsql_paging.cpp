// The counts of TOP, OFFSET and FETCH given as parameters: SQLite reads a
// negative LIMIT as no limit and a negative OFFSET as none, where SQL Server
// fails the statement; tsql_rows(n, 'TOP'|'OFFSET'|'FETCH') fails it as SQL Server does; so do the offsets of
// LAG and LEAD.
#include <cmath>

#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {
constexpr const char* kMergeTwice =
    "The MERGE statement attempted to UPDATE or DELETE the same row more than once. This happens when a "
    "target "
    "row matches more than one source row. A MERGE statement cannot UPDATE/DELETE the same row of the target "
    "table "
    "multiple times. Refine the ON clause to ensure a target row matches at most one source row, or use the "
    "GROUP "
    "BY clause to group the source rows.";
}  // namespace

void fnRows(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string_view clause = textOf(argv[1]);
    const int type = sqlite3_value_type(argv[0]);
    const bool offset = clause == "OFFSET";
    // TOP and FETCH convert their count to bigint, cutting a fraction; OFFSET takes none
    if (offset && type == SQLITE_FLOAT &&
        std::trunc(sqlite3_value_double(argv[0])) != sqlite3_value_double(argv[0]))
        return resultError(ctx, "The number of rows provided for an OFFSET clause must be an integer.");
    if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
    const sqlite3_int64 n = sqlite3_value_int64(argv[0]);
    if (offset && n < 0)
        return resultError(ctx, "The offset specified in an OFFSET clause may not be negative.");
    if (clause == "FETCH" && n <= 0)
        return resultError(ctx, "The number of rows provided for a FETCH clause must be greater then zero.");
    if (clause == "TOP" && n < 0) return resultError(ctx, "A TOP N value may not be negative.");
    // MERGE: the count of target rows that several source rows match
    if (clause == "MERGE" && n > 0) return resultError(ctx, kMergeTwice);
    if (clause == "PERCENT") {
        const double p = sqlite3_value_double(argv[0]);
        if (p < 0 || p > 100) return resultError(ctx, "Percent values must be between 0 and 100.");
        return sqlite3_result_double(ctx, p);
    }
    if ((clause == "LAG" || clause == "LEAD") && n < 0)
        return resultError(ctx, "Offset parameter for Lag and Lead functions cannot be a negative value.");
    sqlite3_result_int64(ctx, n);
}

}  // namespace Palvo::sqlite::tsql
