// The SQL Server functions and catalogue views the translated statements call.
#pragma once

struct sqlite3;

namespace Palvo::sqlite {

/// Registers the tsql_* functions on `db` and creates the TEMP views sysobjects
/// and syscolumns. Returns an SQLite result code; on failure `*error` holds a
/// message allocated with sqlite3_malloc (may be null).
int registerTsqlFunctions(sqlite3* db, char** error);

}  // namespace Palvo::sqlite
