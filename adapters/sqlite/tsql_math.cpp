// Numbers: rounding, the math functions, ISNUMERIC and the conversions that try.
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

int registerMathFunctions(sqlite3* /*db*/) { return SQLITE_OK; }

}  // namespace Palvo::sqlite
