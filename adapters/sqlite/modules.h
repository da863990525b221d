// The database's stored procedures, functions and triggers: their definitions in a
// table of the library's own, which the host's catalogue does not show.
#pragma once

#include <sqlite3.h>

namespace Palvo::sqlite {

inline constexpr const char* kModuleTable = "palvo_modules";

/// Makes the table when the file has none yet; SQLite's result code.
int ensureModuleTable(sqlite3* db);

}  // namespace Palvo::sqlite
