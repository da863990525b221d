// Logic and system functions: IIF, CHOOSE, NEWID, the names of the database, host and user.
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

int registerSystemFunctions(sqlite3* /*db*/) { return SQLITE_OK; }

}  // namespace Palvo::sqlite
